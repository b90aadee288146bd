// Expressions: parse, evaluate, list.
//
//   expression -> [sign] term [sign term]
//   term       -> factor [mulop factor]
//   factor     -> primary ["^" primary]
//   primary    -> variable | number | "(" expression ")" | builtin
//
// Each level takes at most one operator: "1+2+3" parses as "1+2" and leaves
// "+3" unread. That is the language, not a shortcut.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <variant>

#include "expr/code.hpp"
#include "expr/eval_state.hpp"
#include "lexer/scanner.hpp"
#include "values/number.hpp"

namespace ombrix {

struct Expression;

struct Sign {
  TokenKind kind;  // TOK_PLUS or TOK_MINUS
};

struct MulOp {
  TokenKind kind;  // TOK_TIMES, TOK_DIVIDE, TOK_INTDIV or TOK_MOD
};

struct Variable {
  char letter;   // as typed
  uint8_t slot;  // variable_slot(letter), kept so evaluation need not compute it
};

// The argument of a one-argument built-in function.
struct BuiltinCall {
  std::unique_ptr<Expression> argument;
};

// RND and TIME take no argument.
struct BuiltinMarker {};

struct Parens {
  std::unique_ptr<Expression> inner;
};

// The kind of a parenthesised primary; every other primary's kind is the
// token kind that begins it (TOK_VARIABLE, TOK_NUMBER, TOK_RND ... TOK_INT).
inline constexpr int32_t PRIMARY_PARENS = 0;

struct Primary {
  int32_t kind;
  std::variant<Parens, Variable, Number, BuiltinCall, BuiltinMarker> payload;
};

// The first operand of each level is held by value and the optional second
// one through a pointer: most levels have no operator, and a line's tree
// then costs one allocation per expression rather than one per level.
struct Factor {
  Primary base;
  std::unique_ptr<Primary> exponent;  // empty without "^"
};

struct Term {
  Factor first;
  std::optional<MulOp> op;
  std::unique_ptr<Factor> second;  // present exactly when op is
};

struct Expression {
  std::optional<Sign> first_sign;
  Term first;
  std::optional<Sign> second_sign;
  std::unique_ptr<Term> second;  // present exactly when second_sign is
};

// Parsers take one token at a time and give back only the token that did not
// fit: tokens read before it stay consumed.
std::optional<Sign> sign_parse(Scanner& scanner);
std::optional<MulOp> mulop_parse(Scanner& scanner);
std::optional<Variable> variable_parse(Scanner& scanner);
std::optional<Primary> primary_parse(Scanner& scanner);
std::optional<Factor> factor_parse(Scanner& scanner);
std::optional<Term> term_parse(Scanner& scanner);
std::unique_ptr<Expression> expression_parse(Scanner& scanner);

// Evaluation by walking the tree, step by step as the language defines it:
// direct statements and traced runs take this path, and it is the
// reference that compiled code (expr/code.hpp) is held to. It reads operands
// left to right (that fixes the order of RND draws) and allocates nothing.
Value expression_eval(const Expression& expression, EvalState& state);

// What a compiled expression's value is used for. Only a lone term's
// expression ever turns a real -0 into +0 (it adds integer 0), and a use
// that cannot tell -0 from +0 (a comparison, a line number) skips that step.
enum class ExpressionUse { exact, any_zero };

// Compiles the expression into `code`; returns the cell that holds its value
// once the instructions emitted have run: a variable's or a literal's own
// cell where the expression is no more than that.
uint32_t expression_compile(const Expression& expression, Code& code, ExpressionUse use);
// Compiles the expression so that its value ends in `destination` (LET's
// variable): the last instruction writes it, after reading its operands.
void expression_compile_into(const Expression& expression, Code& code, uint32_t destination);

Value term_eval(const Term& term, EvalState& state);
Value factor_eval(const Factor& factor, EvalState& state);
Value primary_eval(const Primary& primary, EvalState& state);
int32_t sign_eval(Sign sign);
inline Value variable_eval(Variable variable, const EvalState& state) { return value_of(state.cells[variable.slot]); }

// Canonical text on `out`, without a line end.
void expression_list(const Expression& expression, std::FILE* out);
void term_list(const Term& term, std::FILE* out);
void factor_list(const Factor& factor, std::FILE* out);
void primary_list(const Primary& primary, std::FILE* out);
void sign_list(Sign sign, std::FILE* out);
void mulop_list(MulOp op, std::FILE* out);
void variable_list(Variable variable, std::FILE* out);

}  // namespace ombrix
