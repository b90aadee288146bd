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

#include "expr/eval_state.hpp"
#include "expr/expression_code.hpp"
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

// A variable or a literal standing alone as a term's factor.
struct FastOperand {
  bool is_variable;
  uint8_t slot;
  Value literal;  // always present for a literal; a Value so both kinds read alike
};

// The shapes that most expressions have, recognised once when the line is
// parsed so that evaluation reads its operands directly instead of walking
// the tree. Each gives exactly the bits that the tree walk gives.
enum class FastShape : uint8_t {
  none,     // evaluate by walking the tree
  leaf,     // [sign] a
  sum,      // [sign] a sign b
  product,  // [sign] a op b, where op is one of * / \ MOD
};

struct FastForm {
  FastShape shape = FastShape::none;
  bool negate_first = false;
  bool negate_second = false;
  TokenKind op = TOK_TIMES;
  FastOperand a{};
  FastOperand b{};
};

struct Expression {
  std::optional<Sign> first_sign;
  Term first;
  std::optional<Sign> second_sign;
  std::unique_ptr<Term> second;  // present exactly when second_sign is
  // Filled in for the outermost expression of a statement only: the shapes
  // decided inline, and the flattened form for everything else.
  FastForm fast;
  ExpressionCode code;
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
// The same parse without recognising the fast shapes: the plain tree walk.
std::unique_ptr<Expression> expression_parse_tree(Scanner& scanner);

// Evaluation reads operands left to right (it fixes the order of RND draws)
// and allocates nothing.
Value expression_eval_general(const Expression& expression, EvalState& state);

// The integer cases of the fast shapes, decided inline where a statement
// evaluates: true with the result in `out`, or false when the general path
// must evaluate the expression.
inline bool expression_eval_integer(const Expression& expression, const EvalState& state, int32_t& out) {
  const FastForm& fast = expression.fast;
  if (fast.shape == FastShape::none || fast.negate_first) return false;
  const Value& a = fast.a.is_variable ? state.variables[fast.a.slot] : fast.a.literal;
  if (!a || !a->is_integer()) return false;
  if (fast.shape == FastShape::leaf) {
    out = a->integer();  // (+1 * a) + 0
    return true;
  }
  const Value& b = fast.b.is_variable ? state.variables[fast.b.slot] : fast.b.literal;
  if (!b || !b->is_integer()) return false;
  if (fast.shape == FastShape::sum) {
    const uint32_t addend = fast.negate_second ? 0u - b->payload : b->payload;
    out = static_cast<int32_t>(a->payload + addend);
    return true;
  }
  // A product of two integers. Divisions that have no 32-bit result (by 0,
  // and -2^31 by -1) take the general path, which knows their answers.
  const int32_t x = a->integer();
  const int32_t y = b->integer();
  if (fast.op == TOK_TIMES) {
    out = static_cast<int32_t>(a->payload * b->payload);
    return true;
  }
  if (y == 0 || y == -1) return false;
  out = fast.op == TOK_MOD ? x % y : x / y;  // "/" and "\" agree on two integers
  return true;
}

inline Value expression_eval(const Expression& expression, EvalState& state) {
  int32_t integer;
  if (expression_eval_integer(expression, state, integer)) return number_from_int(integer);
  return expression_eval_general(expression, state);
}

// Evaluates and stores the value into `destination` (LET's variable).
inline void expression_eval_into(const Expression& expression, EvalState& state, Value& destination) {
  int32_t integer;
  if (expression_eval_integer(expression, state, integer)) {
    destination = number_from_int(integer);
  } else if (expression.fast.shape == FastShape::none && !expression.code.empty()) {
    expression_code_eval_into(expression.code, state, destination);
  } else {
    destination = expression_eval_general(expression, state);
  }
}
Value term_eval(const Term& term, EvalState& state);
Value factor_eval(const Factor& factor, EvalState& state);
Value primary_eval(const Primary& primary, EvalState& state);
int32_t sign_eval(Sign sign);
inline Value variable_eval(Variable variable, const EvalState& state) { return state.variables[variable.slot]; }

// Canonical text on `out`, without a line end.
void expression_list(const Expression& expression, std::FILE* out);
void term_list(const Term& term, std::FILE* out);
void factor_list(const Factor& factor, std::FILE* out);
void primary_list(const Primary& primary, std::FILE* out);
void sign_list(Sign sign, std::FILE* out);
void mulop_list(MulOp op, std::FILE* out);
void variable_list(Variable variable, std::FILE* out);

}  // namespace ombrix
