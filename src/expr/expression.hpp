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

#include <memory>
#include <optional>
#include <variant>

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
  char letter;  // as typed; its slot is variable_slot(letter)
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

struct Factor {
  std::unique_ptr<Primary> base;
  std::unique_ptr<Primary> exponent;  // empty without "^"
};

struct Term {
  std::unique_ptr<Factor> first;
  std::optional<MulOp> op;
  std::unique_ptr<Factor> second;  // present exactly when op is
};

struct Expression {
  std::optional<Sign> first_sign;
  std::unique_ptr<Term> first;
  std::optional<Sign> second_sign;
  std::unique_ptr<Term> second;  // present exactly when second_sign is
};

// Parsers take one token at a time and give back only the token that did not
// fit: tokens read before it stay consumed.
std::optional<Sign> sign_parse(Scanner& scanner);
std::optional<MulOp> mulop_parse(Scanner& scanner);
std::optional<Variable> variable_parse(Scanner& scanner);
std::unique_ptr<Primary> primary_parse(Scanner& scanner);
std::unique_ptr<Factor> factor_parse(Scanner& scanner);
std::unique_ptr<Term> term_parse(Scanner& scanner);
std::unique_ptr<Expression> expression_parse(Scanner& scanner);

// Evaluation reads operands left to right (it fixes the order of RND draws)
// and allocates nothing.
Value expression_eval(const Expression& expression, EvalState& state);
Value term_eval(const Term& term, EvalState& state);
Value factor_eval(const Factor& factor, EvalState& state);
Value primary_eval(const Primary& primary, EvalState& state);
int32_t sign_eval(Sign sign);
inline Value variable_eval(Variable variable, const EvalState& state) { return variable_get(state, variable.letter); }

// Canonical text on standard output, without a line end.
void expression_list(const Expression& expression);
void term_list(const Term& term);
void factor_list(const Factor& factor);
void primary_list(const Primary& primary);
void sign_list(Sign sign);
void mulop_list(MulOp op);
void variable_list(Variable variable);

}  // namespace ombrix
