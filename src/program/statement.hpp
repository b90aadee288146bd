// Statements: one record per kind, and the four operations over them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "expr/block_pool.hpp"
#include "expr/expression.hpp"
#include "lexer/scanner.hpp"

namespace ombrix {

struct Interpreter;
class LineHost;
struct Statement;

// Flow codes: what an executed statement tells the run loop. Any other value
// is the number of the line to go on at.
inline constexpr int32_t FLOW_CONTINUE = -1;
inline constexpr int32_t FLOW_END = -2;

struct StringLiteral {
  std::string text;  // between the quotes; never holds a double quote
};

// One PRINT item: exactly one of the two is set.
struct PrintItem {
  Expression expression;
  std::unique_ptr<StringLiteral> string;
};

struct PrintStatement {
  std::vector<PrintItem> items;
};

struct LetStatement {
  Variable variable;
  Expression value;
};

struct RemStatement {
  std::string text;  // the keyword as typed and the rest of the line
};

// A comparison of IF, kept as the token kind of its operator so that "<>"
// and "><" list as typed.
struct RelationalOperator {
  int32_t kind;  // TOK_LE .. TOK_EQ
};

struct IfStatement {
  IfStatement(Expression l, RelationalOperator o, Expression r, BlockPtr<Statement> t);
  IfStatement(IfStatement&&) noexcept;
  IfStatement& operator=(IfStatement&&) noexcept;
  ~IfStatement();

  Expression left;
  RelationalOperator op;
  Expression right;
  BlockPtr<Statement> then;  // runs with the IF's own line numbers
};

struct GotoStatement {
  Expression target;
};

struct GosubStatement {
  Expression target;
};

struct ForStatement {
  Variable variable;
  Expression start;
  Expression limit;
  Expression step;  // empty when no STEP was written
};

struct NextStatement {
  Variable variable;
};

struct InputStatement {
  std::vector<Variable> variables;  // in the order typed; a letter may repeat
};

struct ShellStatement {
  StringLiteral command;
};

// The statements that are their keyword alone.
struct ReturnStatement {};
struct EndStatement {};
struct StopStatement {};
struct ClsStatement {};
struct BeepStatement {};
struct RandomizeStatement {};

struct Statement {
  // From any one kind: Statement{LetStatement{...}}. The kind is moved into
  // place, which needs no look at which kind the variant holds.
  template <typename Kind>
  requires(!std::is_same_v<std::remove_cvref_t<Kind>, Statement>) Statement(Kind&& kind)
      : body(std::forward<Kind>(kind)) {}

  std::variant<PrintStatement, IfStatement, GotoStatement, InputStatement, LetStatement, GosubStatement,
               ReturnStatement, EndStatement, RemStatement, RandomizeStatement, StopStatement, ClsStatement,
               ShellStatement, BeepStatement, ForStatement, NextStatement>
      body;
};

// IF's members, defined where Statement is complete: inline, so that a
// statement's move and destruction (every stored line has both) need no call.
inline IfStatement::IfStatement(Expression l, RelationalOperator o, Expression r, BlockPtr<Statement> t)
    : left(std::move(l)), op(o), right(std::move(r)), then(std::move(t)) {}
inline IfStatement::IfStatement(IfStatement&&) noexcept = default;
inline IfStatement& IfStatement::operator=(IfStatement&&) noexcept = default;
inline IfStatement::~IfStatement() = default;

// The stored program's lines in order of number (see program/program.hpp):
// each line's number and statement side by side, in blocks of several lines.
using ProgramLines = std::deque<std::pair<int32_t, Statement>>;

// The stored line of that number, or end().
ProgramLines::const_iterator line_find(const ProgramLines& lines, int32_t number);

// A parser's result, built where it is returned: the statement is not moved
// out of a temporary on the way, a step that costs every stored line a look
// at the kind it holds.
template <typename Kind>
std::optional<Statement> parsed(Kind&& kind) {
  return std::optional<Statement>(std::in_place, std::forward<Kind>(kind));
}

// The token kind of the statement's keyword.
TokenKind statement_kind(const Statement& statement);

// variable "=" expression: the whole of LET, and the head of FOR.
std::optional<LetStatement> assignment_parse(Scanner& scanner);

// Reads one statement. On failure everything built is released and only the
// token that did not fit is given back: the keyword and the tokens before
// that one stay consumed. Nothing after a complete statement is read.
std::optional<Statement> statement_parse(Scanner& scanner);

// Runs the statement with its line's number and the next stored line's
// number (-1 for none, and both -1 for a statement typed without a number).
int32_t statement_execute(const Statement& statement, Interpreter& interpreter, int32_t current, int32_t following);

// The canonical text on `out`, keywords in upper case, without line number or
// line end.
void statement_list(const Statement& statement, std::FILE* out);

}  // namespace ombrix
