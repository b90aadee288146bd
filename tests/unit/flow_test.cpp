#include "program/flow.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "capture.hpp"
#include "helpers.hpp"
#include "program/interpreter.hpp"

namespace ombrix {
namespace {

constexpr TokenKind OPERATORS[] = {TOK_LE, TOK_LTGT, TOK_LT, TOK_GE, TOK_GTLT, TOK_GT, TOK_EQ};
constexpr const char* OPERATOR_TEXT[] = {"<=", "<>", "<", ">=", "><", ">", "="};

// One pair of sides and the outcome of each operator, in the order of
// OPERATORS: <=, <>, <, >=, ><, >, =.
struct CompareCase {
  Value left;
  Value right;
  bool outcome[7];
};

TEST(RelopTest, ComparesBothSidesAsSingleReals) {
  constexpr bool T = true;
  constexpr bool F = false;
  const float nan = std::nanf("");
  const std::vector<CompareCase> cases = {
      {I(1), I(2), {T, T, T, F, T, F, F}},
      {I(2), I(2), {T, F, F, T, F, F, T}},
      {I(3), I(2), {F, T, F, T, T, T, F}},
      {I(-5), I(3), {T, T, T, F, T, F, F}},
      {R(1.5f), I(2), {T, T, T, F, T, F, F}},
      {I(2), R(2.0f), {T, F, F, T, F, F, T}},
      {R(2.5f), R(-1.0f), {F, T, F, T, T, T, F}},
      {R(-0.0f), I(0), {T, F, F, T, F, F, T}},
      {R(INF), R(INF), {T, F, F, T, F, F, T}},
      {R(-INF), I(INT32_MIN), {T, T, T, F, T, F, F}},
      // Integers beyond 2^24 are rounded to single precision first.
      {I(16777217), I(16777216), {T, F, F, T, F, F, T}},
      {I(INT32_MAX), R(2147483648.0f), {T, F, F, T, F, F, T}},
      {I(2147483600), I(2147483647), {T, F, F, T, F, F, T}},
      // A NaN on either side: only the not-equal tests hold.
      {R(nan), I(1), {F, T, F, F, T, F, F}},
      {I(1), R(nan), {F, T, F, F, T, F, F}},
      {R(nan), R(nan), {F, T, F, F, T, F, F}},
      {R(-nan), R(-nan), {F, T, F, F, T, F, F}},
      // An absent side compares like a NaN.
      {ABSENT, I(1), {F, T, F, F, T, F, F}},
      {R(1.0f), ABSENT, {F, T, F, F, T, F, F}},
      {ABSENT, ABSENT, {F, T, F, F, T, F, F}},
  };
  for (const CompareCase& c : cases) {
    for (std::size_t i = 0; i < 7; ++i) {
      EXPECT_EQ(relop_test(RelationalOperator{OPERATORS[i]}, c.left, c.right), c.outcome[i])
          << describe(c.left) << " " << OPERATOR_TEXT[i] << " " << describe(c.right);
    }
  }
}

TEST(RelopTest, ParseAndList) {
  struct Case {
    const char* line;
    std::optional<TokenKind> kind;  // nothing: no operator
    const char* listed;
    TokenKind next;  // the token read after the parse
  };
  // "<>" and "><" both test for inequality but each lists as written.
  const std::vector<Case> cases = {
      {"<=", TOK_LE, "<=", TOK_EOL},     {"<>", TOK_LTGT, "<>", TOK_EOL},      {"<", TOK_LT, "<", TOK_EOL},
      {">=", TOK_GE, ">=", TOK_EOL},     {"><", TOK_GTLT, "><", TOK_EOL},      {">", TOK_GT, ">", TOK_EOL},
      {"=", TOK_EQ, "=", TOK_EOL},       {"=<", TOK_EQ, "=", TOK_LT},          {"< =", TOK_LT, "<", TOK_EQ},
      {"+", std::nullopt, "", TOK_PLUS}, {"THEN", std::nullopt, "", TOK_THEN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Scanner scanner(c.line);
    const std::optional<RelationalOperator> op = relop_parse(scanner);
    scan_next(scanner);
    EXPECT_EQ(scanner.kind, c.next);
    ASSERT_EQ(op.has_value(), c.kind.has_value());
    if (!op) continue;
    EXPECT_EQ(op->kind, *c.kind);
    EXPECT_EQ(testing::capture_stdout([&] { relop_list(*op, stdout); }), c.listed);
  }
}

TEST(RelopTest, UnknownKindListsAsQuestionMark) {
  for (int32_t kind : {99, 0, 37, 45, -1}) {
    EXPECT_EQ(testing::capture_stdout([&] { relop_list(RelationalOperator{kind}, stdout); }), "?") << kind;
  }
}

// Runs `call` with standard output sent to where standard error was, and
// standard error discarded: what the death test sees on "stderr" is then
// exactly what the call wrote to standard output.
template <typename F>
void with_stdout_as_stderr(F&& call) {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDERR_FILENO);
  call();
}

TEST(RelopDeathTest, UnknownKindIsFatal) {
  EXPECT_EXIT(with_stdout_as_stderr([] { relop_test(RelationalOperator{99}, I(1), I(1)); }),
              ::testing::ExitedWithCode(1), "^Runtime error: Unknown relational operator type: 99$");
  EXPECT_EXIT(with_stdout_as_stderr([] { relop_test(RelationalOperator{-7}, ABSENT, R(0.5f)); }),
              ::testing::ExitedWithCode(1), "^Runtime error: Unknown relational operator type: -7$");
}

// The same through an IF whose operator record has been corrupted.
TEST(RelopDeathTest, IfWithUnknownKindIsFatal) {
  Scanner scanner("IF 1 = 2 THEN PRINT 5");
  std::optional<Statement> statement = statement_parse(scanner);
  ASSERT_TRUE(statement);
  std::get<IfStatement>(statement->body).op.kind = 99;
  EXPECT_EQ(testing::capture_stdout([&] { statement_list(*statement, stdout); }), "IF 1?2 THEN PRINT 5");
  EXPECT_EXIT(with_stdout_as_stderr([&] {
                Interpreter interpreter;
                statement_execute(*statement, interpreter, 10, 20);
              }),
              ::testing::ExitedWithCode(1), "^Runtime error: Unknown relational operator type: 99$");
}

}  // namespace
}  // namespace ombrix
