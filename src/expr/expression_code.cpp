#include "expr/expression_code.hpp"

#include "expr/builtins.hpp"
#include "expr/expression.hpp"

namespace ombrix {

namespace {

class Compiler {
 public:
  explicit Compiler(std::size_t size) { nodes_.reserve(size); }

  uint32_t expression(const Expression& e) {
    uint32_t x = term(e.first);
    if (e.first_sign && sign_eval(*e.first_sign) < 0) x = unary(EvalOp::negate, x);
    if (!e.second) return unary(EvalOp::canonical, x);
    uint32_t y = term(*e.second);
    if (e.second_sign && sign_eval(*e.second_sign) < 0) y = unary(EvalOp::negate, y);
    return binary(EvalOp::add, x, y);
  }

  std::vector<EvalNode> take() { return std::move(nodes_); }

 private:
  uint32_t term(const Term& t) {
    const uint32_t a = factor(t.first);
    if (!t.op) return a;
    const uint32_t b = factor(*t.second);
    switch (t.op->kind) {
      case TOK_MOD: return binary(EvalOp::mod, a, b);
      case TOK_INTDIV: return binary(EvalOp::idiv, a, b);
      case TOK_DIVIDE: return binary(EvalOp::div, a, b);
      default: return binary(EvalOp::mul, a, b);
    }
  }

  uint32_t factor(const Factor& f) {
    const uint32_t base = primary(f.base);
    if (!f.exponent) return base;
    return binary(EvalOp::pow, base, primary(*f.exponent));
  }

  uint32_t primary(const Primary& p) {
    switch (p.kind) {
      case TOK_VARIABLE: {
        EvalNode node{EvalOp::variable};
        node.slot = std::get<Variable>(p.payload).slot;
        return push(node);
      }
      case TOK_NUMBER: {
        EvalNode node{EvalOp::literal};
        node.literal = std::get<Number>(p.payload);
        return push(node);
      }
      case PRIMARY_PARENS: return expression(*std::get<Parens>(p.payload).inner);
      case TOK_RND: return push(EvalNode{EvalOp::rnd});
      case TOK_TIME: return push(EvalNode{EvalOp::time});
      default: {
        const uint32_t argument = expression(*std::get<BuiltinCall>(p.payload).argument);
        EvalNode node{EvalOp::function};
        node.function = static_cast<uint8_t>(p.kind);
        node.a = argument;
        return push(node);
      }
    }
  }

  uint32_t unary(EvalOp op, uint32_t a) {
    EvalNode node{op};
    node.a = a;
    return push(node);
  }

  uint32_t binary(EvalOp op, uint32_t a, uint32_t b) {
    EvalNode node{op};
    node.a = a;
    node.b = b;
    return push(node);
  }

  uint32_t push(const EvalNode& node) {
    nodes_.push_back(node);
    return static_cast<uint32_t>(nodes_.size() - 1);
  }

  std::vector<EvalNode> nodes_;
};

// Inside the evaluator a value travels as a bare Number, and the absent
// value as a Number with a tag no real Number has. A std::optional carries a
// flag beside the number, which costs a store and a reload on every return.
constexpr NumberTag ABSENT_TAG = static_cast<NumberTag>(2);
constexpr Number absent_number{ABSENT_TAG, 0};
inline bool is_absent(Number n) { return n.tag == ABSENT_TAG; }
inline Number from_value(const Value& v) { return v ? *v : absent_number; }
inline Value to_value(Number n) { return is_absent(n) ? Value() : Value(n); }

Number eval_node(const EvalNode* nodes, uint32_t index, EvalState& state) {
  const EvalNode& node = nodes[index];
  switch (node.op) {
    case EvalOp::variable: return from_value(state.variables[node.slot]);
    case EvalOp::literal: return node.literal;
    case EvalOp::negate: {
      const Number x = eval_node(nodes, node.a, state);
      if (is_absent(x)) return x;
      if (x.is_integer()) return number_from_int(static_cast<int32_t>(0u - x.payload));
      const float f = x.real();
      return f != f ? x : number_from_float(-f);  // the product with -1 passes a NaN on unchanged
    }
    case EvalOp::canonical: {
      const Number x = eval_node(nodes, node.a, state);
      if (x.tag != NUMBER_REAL) return x;
      return number_from_float(x.real() + 0.0f);
    }
    case EvalOp::function: {
      const Number x = eval_node(nodes, node.a, state);
      if (is_absent(x)) return x;
      return builtin_apply(static_cast<TokenKind>(node.function), x);
    }
    case EvalOp::rnd: return number_from_float(random_next(state));
    case EvalOp::time: return number_from_int(time_of_day(state));
    default: break;
  }
  // Binary operations: the left operand is evaluated first.
  const Number a = eval_node(nodes, node.a, state);
  const Number b = eval_node(nodes, node.b, state);
  if (is_absent(a) || is_absent(b)) return absent_number;
  switch (node.op) {
    case EvalOp::add: return number_add(a, b);
    case EvalOp::mul: return number_mul(a, b);
    case EvalOp::div: return number_div(a, b);
    case EvalOp::idiv: return number_idiv(a, b);
    case EvalOp::mod: return number_mod(a, b);
    default: return number_pow(a, b);
  }
}

}  // namespace

namespace {

// Nodes the flattened form of a tree will have, so that its array is
// allocated once at its final size.
std::size_t count_nodes(const Expression& e);

std::size_t count_nodes(const Primary& p) {
  switch (p.kind) {
    case TOK_VARIABLE:
    case TOK_NUMBER:
    case TOK_RND:
    case TOK_TIME: return 1;
    case PRIMARY_PARENS: return count_nodes(*std::get<Parens>(p.payload).inner);
    default: return 1 + count_nodes(*std::get<BuiltinCall>(p.payload).argument);
  }
}

std::size_t count_nodes(const Factor& f) {
  return count_nodes(f.base) + (f.exponent ? 1 + count_nodes(*f.exponent) : 0);
}

std::size_t count_nodes(const Term& t) { return count_nodes(t.first) + (t.op ? 1 + count_nodes(*t.second) : 0); }

std::size_t count_nodes(const Expression& e) {
  const auto negated = [](const std::optional<Sign>& sign) { return sign && sign_eval(*sign) < 0 ? 1 : 0; };
  std::size_t n = count_nodes(e.first) + negated(e.first_sign) + 1;  // + the add or canonical node
  if (e.second) n += count_nodes(*e.second) + negated(e.second_sign);
  return n;
}

}  // namespace

ExpressionCode expression_compile(const Expression& expression) {
  Compiler compiler(count_nodes(expression));
  compiler.expression(expression);
  return ExpressionCode{compiler.take()};
}

Value expression_code_eval(const ExpressionCode& code, EvalState& state) {
  return to_value(eval_node(code.nodes.data(), static_cast<uint32_t>(code.nodes.size() - 1), state));
}

void expression_code_eval_into(const ExpressionCode& code, EvalState& state, Value& destination) {
  const Number n = eval_node(code.nodes.data(), static_cast<uint32_t>(code.nodes.size() - 1), state);
  if (is_absent(n)) {
    destination.reset();
  } else {
    destination = n;
  }
}

}  // namespace ombrix
