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

namespace {

// A term that is one variable or literal with no operator and no exponent.
std::optional<FastOperand> leaf_of(const Factor& factor) {
  if (factor.exponent) return std::nullopt;
  const Primary& primary = factor.base;
  if (primary.kind == TOK_VARIABLE) return FastOperand{true, std::get<Variable>(primary.payload).slot, std::nullopt};
  if (primary.kind == TOK_NUMBER) return FastOperand{false, 0, std::get<Number>(primary.payload)};
  return std::nullopt;
}

std::optional<FastOperand> leaf_of(const Term& term) {
  if (term.op) return std::nullopt;
  return leaf_of(term.first);
}

FastForm fast_form_of(const Expression& e) {
  FastForm form;
  form.negate_first = e.first_sign && e.first_sign->kind == TOK_MINUS;
  form.negate_second = e.second_sign && e.second_sign->kind == TOK_MINUS;
  const std::optional<FastOperand> a = leaf_of(e.first);
  if (e.second) {
    const std::optional<FastOperand> b = leaf_of(*e.second);
    if (a && b) {
      form.shape = FastShape::sum;
      form.a = *a;
      form.b = *b;
    }
    return form;
  }
  if (a) {
    form.shape = FastShape::leaf;
    form.a = *a;
    return form;
  }
  const Term& term = e.first;
  if (!term.op) return form;
  const std::optional<FastOperand> left = leaf_of(term.first);
  const std::optional<FastOperand> right = leaf_of(*term.second);
  if (left && right) {
    form.shape = FastShape::product;
    form.op = term.op->kind;
    form.a = *left;
    form.b = *right;
  }
  return form;
}

}  // namespace

std::unique_ptr<Expression> expression_parse_levels(Scanner& scanner);

// The outermost expression of a statement also gets its fast shape or its
// flattened form, once, here.
std::unique_ptr<Expression> expression_parse(Scanner& scanner) {
  std::unique_ptr<Expression> expression = expression_parse_tree(scanner);
  if (expression && scanner.expression_depth == 0) {
    expression->fast = fast_form_of(*expression);
    // The shapes need no flattened form: they read their operands directly.
    if (expression->fast.shape == FastShape::none) expression->code = expression_compile(*expression);
  }
  return expression;
}

std::unique_ptr<Expression> expression_parse_tree(Scanner& scanner) {
  // Expressions nested in this one are never flattened on their own.
  ++scanner.expression_depth;
  std::unique_ptr<Expression> expression = expression_parse_levels(scanner);
  --scanner.expression_depth;
  return expression;
}

// expression -> [sign] term [sign term]
std::unique_ptr<Expression> expression_parse_levels(Scanner& scanner) {
  NestingGuard guard(scanner);
  if (!guard.entered()) return nullptr;
  std::optional<Sign> first_sign = sign_parse(scanner);
  std::optional<Term> first = term_parse(scanner);
  if (!first) return nullptr;
  std::optional<Sign> second_sign = sign_parse(scanner);
  if (!second_sign) {
    return std::make_unique<Expression>(Expression{first_sign, std::move(*first), std::nullopt, nullptr, {}, {}});
  }
  std::optional<Term> second = term_parse(scanner);
  if (!second) return nullptr;
  return std::make_unique<Expression>(
      Expression{first_sign, std::move(*first), second_sign, std::make_unique<Term>(std::move(*second)), {}, {}});
}

int32_t sign_eval(Sign sign) { return sign.kind == TOK_MINUS ? -1 : 1; }

namespace {

Value load(const FastOperand& operand, const EvalState& state) {
  return operand.is_variable ? state.variables[operand.slot] : operand.literal;
}

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
Value expression_eval_general(const Expression& expression, EvalState& state) {
  const FastForm& fast = expression.fast;
  if (fast.shape == FastShape::none && !expression.code.empty()) return expression_code_eval(expression.code, state);
  switch (fast.shape) {
    case FastShape::leaf: return number_add(apply_negation(fast.negate_first, load(fast.a, state)), number_from_int(0));
    case FastShape::sum:
      return number_add(apply_negation(fast.negate_first, load(fast.a, state)),
                        apply_negation(fast.negate_second, load(fast.b, state)));
    case FastShape::product:
      return number_add(
          apply_negation(fast.negate_first, term_operation(fast.op, load(fast.a, state), load(fast.b, state))),
          number_from_int(0));
    case FastShape::none: break;
  }
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
