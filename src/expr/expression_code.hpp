// An expression flattened for evaluation: one array of nodes per statement
// expression, evaluated by a single switch. The parse tree stays for
// listing; this form only removes the levels that pass a value through
// unchanged (a term without operator, a factor without exponent) and the
// pointer chasing between them.
#pragma once

#include <cstdint>
#include <vector>

#include "expr/eval_state.hpp"
#include "values/number.hpp"

namespace ombrix {

struct Expression;

enum class EvalOp : uint8_t {
  variable,   // the slot's value
  literal,    // the stored literal
  negate,     // -1 * a
  canonical,  // a + integer 0: a lone term's value (a real -0 becomes +0)
  add,        // a + b
  mul,        // a * b
  div,        // a / b
  idiv,       // a \ b
  mod,        // a MOD b
  pow,        // a ^ b
  function,   // a one-argument built-in of a
  rnd,
  time,
};

struct EvalNode {
  explicit EvalNode(EvalOp operation) : op(operation) {}

  EvalOp op;
  uint8_t slot = 0;      // variable
  uint8_t function = 0;  // the built-in's token kind
  uint32_t a = 0;        // operand indices into the same array
  uint32_t b = 0;
  Number literal{};
};

struct ExpressionCode {
  std::vector<EvalNode> nodes;  // children before parents; the root is last
  bool empty() const { return nodes.empty(); }
};

// Flattens the whole tree, nested expressions included.
ExpressionCode expression_compile(const Expression& expression);
// Evaluates operands left to right, as the tree walk does, with the same bits.
Value expression_code_eval(const ExpressionCode& code, EvalState& state);
// The same, stored straight into `destination` (the absent value empties
// it): a value returned inside a std::optional is built on the stack in
// pieces and read back whole, which costs more than the store.
void expression_code_eval_into(const ExpressionCode& code, EvalState& state, Value& destination);

}  // namespace ombrix
