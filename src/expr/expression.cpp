#include "expr/expression.hpp"

#include <algorithm>
#include <cstdio>

#include "expr/builtins.hpp"

namespace ombrix {

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

Expression::Expression(const Node* nodes, uint32_t count)
    : block_(static_cast<Node*>(block_allocate((count + 1) * sizeof(Node)))) {
  block_[0] = Node{NodeKind::INTEGER, 0, 0, count};
  std::copy(nodes, nodes + count, block_.get() + 1);
}

// Once on the heap, the nodes stay there, also after a truncation.
uint32_t NodeBuffer::push_on_heap(const Node& node) {
  if (heap_.empty()) heap_.assign(local_, local_ + size_);
  heap_.resize(size_);  // after a truncation
  heap_.push_back(node);
  return ++size_;
}

void NodeBuffer::truncate(uint32_t size) { size_ = size; }

// The levels below are read one token ahead: each starts at a token that
// its caller has read already, and on success leaves the token after it
// read, for the level above to take as its operator or leave alone. So
// every token of an expression is read once, and only the one after the
// whole expression is given back, where reading each level's first token
// and giving back the token that ends each level would cost a round trip
// per level and token. What is consumed is just what reading and giving
// back level by level consumes, also where a parse fails.
namespace {

constexpr bool is_sign(TokenKind kind) { return kind == TOK_PLUS || kind == TOK_MINUS; }
constexpr bool is_mulop(TokenKind kind) {
  return kind == TOK_TIMES || kind == TOK_DIVIDE || kind == TOK_INTDIV || kind == TOK_MOD;
}

// primary -> variable | number | "(" expression ")" | builtin, from its
// first token.
bool primary_at(Scanner& scanner, NodeBuffer& nodes) {
  switch (scanner.kind) {
    case TOK_VARIABLE: {
      const char letter = scanner.token[0];
      nodes.push(
          Node{NodeKind::VARIABLE, static_cast<uint8_t>(letter), static_cast<uint8_t>(variable_slot(letter)), 0});
      return true;
    }
    case TOK_NUMBER: {
      const Number literal = number_of_token(scanner);
      nodes.push(Node{literal.is_integer() ? NodeKind::INTEGER : NodeKind::REAL, 0, 0, literal.payload});
      return true;
    }
    case TOK_LPAREN:
      // "(" and what the inner parse read stay consumed when it fails.
      if (!expression_parse(scanner, nodes) || !scan_expect(scanner, TOK_RPAREN)) return false;
      nodes.push(Node{NodeKind::PARENS, 0, 0, 0});
      return true;
    default:
      // The built-ins read their keyword themselves, form by form.
      scan_unget(scanner);
      return builtin_parse(scanner, nodes);
  }
}

// factor -> primary ["^" primary]
bool factor_at(Scanner& scanner, NodeBuffer& nodes) {
  if (!primary_at(scanner, nodes)) return false;
  scan_next(scanner);
  if (scanner.kind != TOK_POWER) return true;
  const uint32_t base = nodes.size();
  scan_next(scanner);
  if (!primary_at(scanner, nodes)) return false;  // "^" stays consumed
  nodes.push(Node{NodeKind::POWER, 0, 0, base});
  scan_next(scanner);
  return true;
}

// term -> factor [mulop factor]
bool term_at(Scanner& scanner, NodeBuffer& nodes) {
  if (!factor_at(scanner, nodes)) return false;
  if (!is_mulop(scanner.kind)) return true;
  const uint32_t first = nodes.size();
  const auto op = static_cast<uint8_t>(scanner.kind);
  scan_next(scanner);
  if (!factor_at(scanner, nodes)) return false;
  nodes.push(Node{NodeKind::MULOP, op, 0, first});
  return true;
}

// expression -> [sign] term [sign term]
bool expression_at(Scanner& scanner, NodeBuffer& nodes) {
  const TokenKind first_sign = scanner.kind;
  if (is_sign(first_sign)) scan_next(scanner);
  if (!term_at(scanner, nodes)) return false;
  if (is_sign(first_sign)) nodes.push(Node{NodeKind::SIGN, static_cast<uint8_t>(first_sign), 0, 0});
  if (!is_sign(scanner.kind)) return true;
  const uint32_t first = nodes.size();
  const auto second_sign = static_cast<uint8_t>(scanner.kind);
  scan_next(scanner);
  if (!term_at(scanner, nodes)) return false;
  nodes.push(Node{NodeKind::SUM, second_sign, 0, first});
  return true;
}

}  // namespace

bool primary_parse(Scanner& scanner, NodeBuffer& nodes) {
  scan_next(scanner);
  return primary_at(scanner, nodes);
}

bool expression_parse(Scanner& scanner, NodeBuffer& nodes) {
  NestingGuard guard(scanner);
  if (!guard.entered()) return false;
  scan_next(scanner);
  if (!expression_at(scanner, nodes)) return false;
  scan_unget(scanner);
  return true;
}

Expression expression_parse(Scanner& scanner) {
  NodeBuffer nodes;
  if (!expression_parse(scanner, nodes)) return {};
  return Expression(nodes.data(), nodes.size());
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

namespace {

// A term with the expression's first sign, where it has one.
Value signed_term_eval(const Expression& e, uint32_t root, EvalState& state) {
  if (e[root].kind != NodeKind::SIGN) return term_eval(e, root, state);
  return apply_negation(e[root].token == TOK_MINUS, term_eval(e, Expression::last_operand(root), state));
}

void signed_term_list(const Expression& e, uint32_t root, std::FILE* out);
void term_list(const Expression& e, uint32_t root, std::FILE* out);
void factor_list(const Expression& e, uint32_t root, std::FILE* out);
void primary_list(const Expression& e, uint32_t root, std::FILE* out);

}  // namespace

Value expression_eval(const Expression& expression, EvalState& state) {
  return expression_eval(expression, expression.root(), state);
}

// (sign1 * term1) + (sign2 * term2), a missing term counting as integer 0:
// so a lone real term gains "+ 0", which turns a negative zero positive.
Value expression_eval(const Expression& e, uint32_t root, EvalState& state) {
  if (e[root].kind != NodeKind::SUM) return number_add(signed_term_eval(e, root, state), number_from_int(0));
  const Value x1 = signed_term_eval(e, e.first_operand(root), state);
  const Value x2 = apply_negation(e[root].token == TOK_MINUS, term_eval(e, Expression::last_operand(root), state));
  return number_add(x1, x2);
}

// A term without operator is its factor times integer 1, which leaves every
// value as it is.
Value term_eval(const Expression& e, uint32_t root, EvalState& state) {
  if (e[root].kind != NodeKind::MULOP) return factor_eval(e, root, state);
  const Value a = factor_eval(e, e.first_operand(root), state);
  const Value b = factor_eval(e, Expression::last_operand(root), state);
  return term_operation(static_cast<TokenKind>(e[root].token), a, b);
}

Value factor_eval(const Expression& e, uint32_t root, EvalState& state) {
  if (e[root].kind != NodeKind::POWER) return primary_eval(e, root, state);
  const Value base = primary_eval(e, e.first_operand(root), state);
  const Value exponent = primary_eval(e, Expression::last_operand(root), state);
  return number_pow(base, exponent);
}

Value primary_eval(const Expression& e, uint32_t root, EvalState& state) {
  const Node& node = e[root];
  switch (node.kind) {
    case NodeKind::VARIABLE: return value_of(state.cells[node.slot]);
    case NodeKind::INTEGER:
    case NodeKind::REAL: return node_literal(node);
    case NodeKind::PARENS: return expression_eval(e, Expression::last_operand(root), state);
    default: return builtin_eval(e, root, state);
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
  expression_list(expression, expression.root(), out);
}

void expression_list(const Expression& e, uint32_t root, std::FILE* out) {
  if (e[root].kind != NodeKind::SUM) {
    signed_term_list(e, root, out);
    return;
  }
  signed_term_list(e, e.first_operand(root), out);
  sign_list(Sign{static_cast<TokenKind>(e[root].token)}, out);
  term_list(e, Expression::last_operand(root), out);
}

namespace {

void signed_term_list(const Expression& e, uint32_t root, std::FILE* out) {
  if (e[root].kind != NodeKind::SIGN) {
    term_list(e, root, out);
    return;
  }
  sign_list(Sign{static_cast<TokenKind>(e[root].token)}, out);
  term_list(e, Expression::last_operand(root), out);
}

void term_list(const Expression& e, uint32_t root, std::FILE* out) {
  if (e[root].kind != NodeKind::MULOP) {
    factor_list(e, root, out);
    return;
  }
  factor_list(e, e.first_operand(root), out);
  std::fputc(' ', out);
  mulop_list(MulOp{static_cast<TokenKind>(e[root].token)}, out);
  std::fputc(' ', out);
  factor_list(e, Expression::last_operand(root), out);
}

void factor_list(const Expression& e, uint32_t root, std::FILE* out) {
  if (e[root].kind != NodeKind::POWER) {
    primary_list(e, root, out);
    return;
  }
  primary_list(e, e.first_operand(root), out);
  std::fputc('^', out);
  primary_list(e, Expression::last_operand(root), out);
}

void primary_list(const Expression& e, uint32_t root, std::FILE* out) {
  const Node& node = e[root];
  switch (node.kind) {
    case NodeKind::VARIABLE: std::fputc(static_cast<char>(node.token), out); break;
    case NodeKind::INTEGER:
    case NodeKind::REAL: number_print(node_literal(node), out); break;
    case NodeKind::PARENS:
      std::fputc('(', out);
      expression_list(e, Expression::last_operand(root), out);
      std::fputc(')', out);
      break;
    default: builtin_list(e, root, out); break;
  }
}

}  // namespace

}  // namespace ombrix
