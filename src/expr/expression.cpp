#include "expr/expression.hpp"

#include <cstdio>

#include "expr/builtins.hpp"

namespace ombrix {

// sign -> "+" | "-"
std::optional<Sign> sign_parse(Scanner& scanner) {
  scan_next(scanner);
  if (scanner.kind == TOK_PLUS || scanner.kind == TOK_MINUS) return Sign{scanner.kind};
  scan_unget(scanner);
  return std::nullopt;
}

// mulop -> "*" | "/" | "\" | "MOD"
std::optional<MulOp> mulop_parse(Scanner& scanner) {
  scan_next(scanner);
  switch (scanner.kind) {
    case TOK_TIMES:
    case TOK_DIVIDE:
    case TOK_INTDIV:
    case TOK_MOD: return MulOp{scanner.kind};
    default: scan_unget(scanner); return std::nullopt;
  }
}

// variable -> letter
std::optional<Variable> variable_parse(Scanner& scanner) {
  scan_next(scanner);
  if (scanner.kind == TOK_VARIABLE) {
    const char letter = scanner.text()[0];
    return Variable{letter, static_cast<uint8_t>(variable_slot(letter))};
  }
  scan_unget(scanner);
  return std::nullopt;
}

// primary -> variable | number | "(" expression ")" | builtin
std::optional<Primary> primary_parse(Scanner& scanner) {
  if (std::optional<Variable> variable = variable_parse(scanner)) return Primary{TOK_VARIABLE, *variable};
  if (std::optional<Number> literal = number_parse(scanner)) return Primary{TOK_NUMBER, *literal};
  if (scan_expect(scanner, TOK_LPAREN)) {
    std::unique_ptr<Expression> inner = expression_parse(scanner);
    if (!inner) return std::nullopt;  // "(" and what the inner parse read stay consumed
    if (!scan_expect(scanner, TOK_RPAREN)) return std::nullopt;
    return Primary{PRIMARY_PARENS, Parens{std::move(inner)}};
  }
  return builtin_parse(scanner);
}

// factor -> primary ["^" primary]
std::optional<Factor> factor_parse(Scanner& scanner) {
  std::optional<Primary> base = primary_parse(scanner);
  if (!base) return std::nullopt;
  if (!scan_expect(scanner, TOK_POWER)) return Factor{std::move(*base), nullptr};
  std::optional<Primary> exponent = primary_parse(scanner);  // "^" stays consumed on failure
  if (!exponent) return std::nullopt;
  return Factor{std::move(*base), std::make_unique<Primary>(std::move(*exponent))};
}

// term -> factor [mulop factor]
std::optional<Term> term_parse(Scanner& scanner) {
  std::optional<Factor> first = factor_parse(scanner);
  if (!first) return std::nullopt;
  std::optional<MulOp> op = mulop_parse(scanner);
  if (!op) return Term{std::move(*first), std::nullopt, nullptr};
  std::optional<Factor> second = factor_parse(scanner);
  if (!second) return std::nullopt;
  return Term{std::move(*first), op, std::make_unique<Factor>(std::move(*second))};
}

// expression -> [sign] term [sign term]
std::unique_ptr<Expression> expression_parse(Scanner& scanner) {
  NestingGuard guard(scanner);
  if (!guard.entered()) return nullptr;
  std::optional<Sign> first_sign = sign_parse(scanner);
  std::optional<Term> first = term_parse(scanner);
  if (!first) return nullptr;
  std::optional<Sign> second_sign = sign_parse(scanner);
  if (!second_sign) {
    return std::make_unique<Expression>(Expression{first_sign, std::move(*first), std::nullopt, nullptr});
  }
  std::optional<Term> second = term_parse(scanner);
  if (!second) return nullptr;
  return std::make_unique<Expression>(
      Expression{first_sign, std::move(*first), second_sign, std::make_unique<Term>(std::move(*second))});
}

int32_t sign_eval(Sign sign) { return sign.kind == TOK_MINUS ? -1 : 1; }

namespace {

// The value of sign * x, as the integer product (+1 or -1) * x gives it.
// For a real, a product with +1 changes no bit and a product with -1 flips
// the sign bit of every value but a NaN, which the multiplication passes on
// unchanged.
Value apply_negation(bool negate, Value x) {
  if (!negate || !x) return x;
  if (x->is_integer()) return number_from_int(static_cast<int32_t>(0u - x->payload));
  const float f = x->real();
  return f != f ? x : number_from_float(-f);
}

Value term_operation(TokenKind op, Value a, Value b) {
  switch (op) {
    case TOK_MOD: return number_mod(a, b);
    case TOK_INTDIV: return number_idiv(a, b);
    case TOK_DIVIDE: return number_div(a, b);
    default: return number_mul(a, b);
  }
}

}  // namespace

// (sign1 * term1) + (sign2 * term2), a missing term counting as integer 0:
// so a lone real term gains "+ 0", which turns a negative zero positive.
Value expression_eval(const Expression& expression, EvalState& state) {
  const auto negative = [](const std::optional<Sign>& sign) { return sign && sign_eval(*sign) < 0; };
  const Value x1 = apply_negation(negative(expression.first_sign), term_eval(expression.first, state));
  if (!expression.second) return number_add(x1, number_from_int(0));
  const Value x2 = apply_negation(negative(expression.second_sign), term_eval(*expression.second, state));
  return number_add(x1, x2);
}

// A term without operator is its factor times integer 1, which leaves every
// value as it is.
Value term_eval(const Term& term, EvalState& state) {
  const Value a = factor_eval(term.first, state);
  if (!term.op) return a;
  const Value b = factor_eval(*term.second, state);
  return term_operation(term.op->kind, a, b);
}

Value factor_eval(const Factor& factor, EvalState& state) {
  const Value base = primary_eval(factor.base, state);
  if (!factor.exponent) return base;
  const Value exponent = primary_eval(*factor.exponent, state);
  return number_pow(base, exponent);
}

Value primary_eval(const Primary& primary, EvalState& state) {
  switch (primary.kind) {
    case TOK_VARIABLE: return variable_eval(std::get<Variable>(primary.payload), state);
    case TOK_NUMBER: return std::get<Number>(primary.payload);
    case PRIMARY_PARENS: return expression_eval(*std::get<Parens>(primary.payload).inner, state);
    default: return builtin_eval(primary, state);
  }
}

void sign_list(Sign sign, std::FILE* out) { std::fputc(sign.kind == TOK_MINUS ? '-' : '+', out); }

void mulop_list(MulOp op, std::FILE* out) {
  switch (op.kind) {
    case TOK_DIVIDE: std::fputs("/", out); break;
    case TOK_INTDIV: std::fputs("\\", out); break;
    case TOK_MOD: std::fputs("MOD", out); break;
    default: std::fputs("*", out); break;
  }
}

void variable_list(Variable variable, std::FILE* out) { std::fputc(variable.letter, out); }

void expression_list(const Expression& expression, std::FILE* out) {
  if (expression.first_sign) sign_list(*expression.first_sign, out);
  term_list(expression.first, out);
  if (expression.second_sign) sign_list(*expression.second_sign, out);
  if (expression.second) term_list(*expression.second, out);
}

void term_list(const Term& term, std::FILE* out) {
  factor_list(term.first, out);
  if (!term.op) return;
  std::fputc(' ', out);
  mulop_list(*term.op, out);
  std::fputc(' ', out);
  factor_list(*term.second, out);
}

void factor_list(const Factor& factor, std::FILE* out) {
  primary_list(factor.base, out);
  if (!factor.exponent) return;
  std::fputc('^', out);
  primary_list(*factor.exponent, out);
}

void primary_list(const Primary& primary, std::FILE* out) {
  switch (primary.kind) {
    case TOK_VARIABLE: variable_list(std::get<Variable>(primary.payload), out); break;
    case TOK_NUMBER: number_print(std::get<Number>(primary.payload), out); break;
    case PRIMARY_PARENS:
      std::fputc('(', out);
      expression_list(*std::get<Parens>(primary.payload).inner, out);
      std::fputc(')', out);
      break;
    default: builtin_list(primary, out); break;
  }
}

}  // namespace ombrix
