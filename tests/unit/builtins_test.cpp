#include "expr/builtins.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "capture.hpp"
#include "helpers.hpp"
#include "program/interpreter.hpp"
#include "program/statement.hpp"

namespace ombrix {
namespace {

// The value of one primary, without the "+ 0" that a whole expression adds
// (which would turn a negative zero positive).
Value primary_value(const std::string& line, EvalState& state) {
  Scanner scanner(line.c_str());
  NodeBuffer nodes;
  if (!primary_parse(scanner, nodes)) {
    ADD_FAILURE() << "does not parse: " << line;
    return ABSENT;
  }
  EXPECT_EQ(rest_of(scanner), std::vector<TokenKind>{TOK_EOL}) << line;
  const Expression primary(nodes.data(), nodes.size());
  return primary_eval(primary, primary.root(), state);
}

TEST(BuiltinValueTest, Results) {
  struct Case {
    const char* line;
    Value expected;
  };
  // "-0.0-0.0" is the way to hand a function a real -0: (-0) + (-0).
  const std::vector<Case> cases = {
      {"INT(2.7)", I(2)},
      {"INT(-2.5)", I(-2)},
      {"INT(-0.5)", I(0)},
      {"INT(7)", I(7)},
      {"INT(3000000000)", I(INT32_MIN)},
      {"INT(SQR(-1))", I(INT32_MIN)},
      {"ABS(-3)", I(3)},
      {"ABS(7)", I(7)},
      {"ABS(-2.5)", R(2.5f)},
      {"ABS(-0.0-0.0)", R(0.0f)},
      {"ABS(-2147483647-1)", I(INT32_MIN)},
      {"ABS(LOG(0))", R(INF)},
      {"SGN(-0.5)", I(-1)},
      {"SGN(2.5)", I(1)},
      {"SGN(1E-30)", I(1)},
      {"SGN(-7)", I(-1)},
      {"SGN(-2147483647-1)", I(-1)},
      {"SGN(0)", I(0)},
      {"SGN(0.0)", I(0)},
      {"SGN(-0.0-0.0)", I(0)},
      {"SGN(SQR(-1))", I(0)},
      {"SQR(4)", R(2.0f)},
      {"SQR(2)", R(0x1.6a09e6p+0f)},
      {"SQR(-0.0-0.0)", R(-0.0f)},
      {"SQR(-1)", R(std::sqrt(runtime_float(-1.0f)))},
      {"COS(0)", R(1.0f)},
      {"SIN(0)", R(0.0f)},
      {"SIN(-0.0-0.0)", R(-0.0f)},
      {"TAN(0)", R(0.0f)},
      {"ATN(0)", R(0.0f)},
      {"EXP(0)", R(1.0f)},
      {"EXP(100)", R(INF)},
      {"LOG(1)", R(0.0f)},
      {"LOG(0)", R(-INF)},
      {"LOG(-1)", R(std::log(runtime_float(-1.0f)))},
      {"COT(0)", R(INF)},
      {"COT(-0.0-0.0)", R(-INF)},
      {"COT(0.37)", R(1.0f / std::tan(runtime_float(static_cast<float>(0.37))))},  // differs from cos/sin
      // A form that fails after its keyword keeps it consumed; a later form
      // in the try order may then succeed on what follows.
      {"SIN COS(0)", R(1.0f)},
      {"ABS INT(-2.5)", I(-2)},
  };
  for (const Case& c : cases) {
    EvalState state;
    EXPECT_TRUE(same_value(primary_value(c.line, state), c.expected)) << c.line;
  }
}

TEST(BuiltinValueTest, Printed) {
  struct Case {
    const char* line;
    const char* printed;
  };
  const std::vector<Case> cases = {
      {"INT(2.7)", "2"},      {"ABS(-3)", "3"},       {"ABS(-2.5)", "2.500000"}, {"SGN(-0.5)", "-1"},
      {"SQR(4)", "2.000000"}, {"SQR(2)", "1.414214"}, {"COS(0)", "1.000000"},    {"SIN(0)", "0.000000"},
      {"EXP(1)", "2.718282"}, {"ATN(1)", "0.785398"}, {"TAN(1)", "1.557408"},    {"LOG(10)", "2.302585"},
      {"COT(1)", "0.642093"}, {"SIN(1)", "0.841471"}, {"INT(-2.5)", "-2"},       {"SGN(0)", "0"},
  };
  for (const Case& c : cases) {
    EvalState state;
    const Value value = primary_value(c.line, state);
    EXPECT_EQ(testing::capture_stdout([&] { number_print(value); }), c.printed) << c.line;
  }
}

TEST(BuiltinValueTest, AbsentArgumentGivesAbsent) {
  for (const char* name : {"SIN", "COS", "TAN", "COT", "ATN", "EXP", "LOG", "ABS", "SGN", "SQR", "INT"}) {
    EvalState state;
    EXPECT_TRUE(same_value(primary_value(std::string(name) + "(X)", state), ABSENT)) << name;
    EXPECT_TRUE(same_value(primary_value(std::string(name) + "(X+1)", state), ABSENT)) << name;
  }
}

TEST(BuiltinParseTest, FormsAndWhatTheyLeaveUnread) {
  struct Case {
    const char* line;
    const char* listing;  // nullptr: the parse fails
    std::vector<TokenKind> rest;
  };
  const std::vector<Case> cases = {
      {"sqr(x)", "SQR (x)", {TOK_EOL}},
      {"sin (x)", "SIN (x)", {TOK_EOL}},
      {"Cos(1)", "COS (1)", {TOK_EOL}},
      {"tan(1)", "TAN (1)", {TOK_EOL}},
      {"cot(1)", "COT (1)", {TOK_EOL}},
      {"atn(1)", "ATN (1)", {TOK_EOL}},
      {"exp(1)", "EXP (1)", {TOK_EOL}},
      {"log(1)", "LOG (1)", {TOK_EOL}},
      {"abs(-2*X)", "ABS (-2 * X)", {TOK_EOL}},
      {"sgn(1)", "SGN (1)", {TOK_EOL}},
      {"int(2.7)", "INT (2.700000)", {TOK_EOL}},
      {"rnd", "RND", {TOK_EOL}},
      {"time", "TIME", {TOK_EOL}},
      {"SIN COS(0)", "COS (0)", {TOK_EOL}},
      // RND and TIME take no parentheses: "(1)" is left for the caller.
      {"RND(1)", "RND", {TOK_LPAREN, TOK_NUMBER, TOK_RPAREN, TOK_EOL}},
      {"TIME(1)", "TIME", {TOK_LPAREN, TOK_NUMBER, TOK_RPAREN, TOK_EOL}},
      {"RND RND", "RND", {TOK_RND, TOK_EOL}},
      // SIN is tried before COS, so nothing is left to take SIN(0).
      {"COS SIN(0)", nullptr, {TOK_SIN, TOK_LPAREN, TOK_NUMBER, TOK_RPAREN, TOK_EOL}},
      {"SIN SIN(0)", nullptr, {TOK_SIN, TOK_LPAREN, TOK_NUMBER, TOK_RPAREN, TOK_EOL}},
      {"ABS 5", nullptr, {TOK_NUMBER, TOK_EOL}},
      {"SIN(1", nullptr, {TOK_EOL}},
      {"SIN()", nullptr, {TOK_RPAREN, TOK_EOL}},
      {"INT(1+2+3)", nullptr, {TOK_PLUS, TOK_NUMBER, TOK_RPAREN, TOK_EOL}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Scanner scanner(c.line);
    const Expression tree = expression_parse(scanner);
    EXPECT_EQ(rest_of(scanner), c.rest);
    if (c.listing == nullptr) {
      EXPECT_FALSE(tree);
    } else {
      ASSERT_TRUE(tree);
      EXPECT_EQ(testing::capture_stdout([&] { expression_list(tree, stdout); }), c.listing);
    }
  }
}

TEST(RandomTest, ParkMillerSequenceFromSeedOne) {
  struct Step {
    uint64_t seed;
    float value;
    const char* printed;
  };
  // The seeds above 2^24 round to the nearest single before the scaling.
  const Step steps[] = {
      {16807, 16807.0f * 0x1p-31f, "0.000008"},
      {282475249, 282475264.0f * 0x1p-31f, "0.131538"},
      {1622650073, 1622650112.0f * 0x1p-31f, "0.755605"},
  };
  EvalState direct;
  EvalState through_rnd;
  Scanner scanner("RND");
  const Expression rnd = expression_parse(scanner);
  ASSERT_TRUE(rnd);
  EXPECT_EQ(direct.random_seed, 1u);
  for (const Step& step : steps) {
    const float value = random_next(direct);
    EXPECT_EQ(direct.random_seed, step.seed);
    EXPECT_TRUE(same_value(R(value), R(step.value))) << step.seed;
    EXPECT_EQ(testing::capture_stdout([&] { number_print(R(value)); }), step.printed);
    EXPECT_TRUE(same_value(expression_eval(rnd, through_rnd), R(step.value))) << step.seed;
  }
}

TEST(RandomTest, EdgesOfTheGenerator) {
  struct Case {
    uint64_t seed;
    uint64_t next_seed;
    float value;
  };
  const Case cases[] = {
      // 2147483646 rounds to 2^31 in single precision: the value is exactly 1.
      {739806647, 2147483646, 1.0f},
      // The product is taken modulo 2^64 before the remainder.
      {UINT64_MAX, 2147466844, 2147466880.0f * 0x1p-31f},
  };
  for (const Case& c : cases) {
    EvalState state;
    state.random_seed = c.seed;
    EXPECT_TRUE(same_value(R(random_next(state)), R(c.value))) << c.seed;
    EXPECT_EQ(state.random_seed, c.next_seed) << c.seed;
  }
}

std::time_t fixed_time = 0;
std::time_t fixed_clock(std::time_t* out) {
  if (out != nullptr) *out = fixed_time;
  return fixed_time;
}

TEST(RandomTest, RandomizeSeedsFromTheClock) {
  struct Case {
    std::time_t now;
    uint64_t seed;
  };
  Scanner scanner("randomize");
  const std::optional<Statement> randomize = statement_parse(scanner);
  ASSERT_TRUE(randomize);
  EXPECT_EQ(testing::capture_stdout([&] { statement_list(*randomize, stdout); }), "RANDOMIZE");
  for (const Case& c : {Case{0, 1}, Case{1234567, 1234567}, Case{1700000000, 1700000000}}) {
    Interpreter interpreter;
    interpreter.eval.clock = fixed_clock;
    interpreter.eval.random_seed = 99;
    fixed_time = c.now;
    int32_t flow = 0;
    EXPECT_EQ(testing::capture_stdout([&] { flow = statement_execute(*randomize, interpreter, 10, 20); }), "");
    EXPECT_EQ(flow, FLOW_CONTINUE);
    EXPECT_EQ(interpreter.eval.random_seed, c.seed) << c.now;
  }
}

// Today, local time, at the given hour, minute and second.
std::time_t today_at(int hour, int minute, int second) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  return std::mktime(&local);
}

TEST(TimeTest, SecondsSinceLocalMidnight) {
  struct Case {
    int hour, minute, second;
    int32_t expected;
  };
  Scanner scanner("TIME");
  const Expression time = expression_parse(scanner);
  ASSERT_TRUE(time);
  for (const Case& c : {Case{0, 0, 30, 30}, Case{0, 0, 0, 0}, Case{0, 1, 5, 65}}) {
    EvalState state;
    state.clock = fixed_clock;
    fixed_time = today_at(c.hour, c.minute, c.second);
    EXPECT_TRUE(same_value(expression_eval(time, state), I(c.expected))) << c.expected;
    EXPECT_EQ(state.random_seed, 1u);  // TIME does not touch the generator
  }
}

}  // namespace
}  // namespace ombrix
