// Expressions: parse, evaluate, list.
//
//   expression -> [sign] term [sign term]
//   term       -> factor [mulop factor]
//   factor     -> primary ["^" primary]
//   primary    -> variable | number | "(" expression ")" | builtin
//
// Each level takes at most one operator: "1+2+3" parses as "1+2" and leaves
// "+3" unread. That is the language, not a shortcut.
//
// An expression's tree is stored as one array of nodes, each operator after
// its operands (postfix), the root last: one allocation per expression
// instead of one per level, 8 bytes a node. A level without its operator
// (a term of one factor, a factor without exponent) has no node of its
// own; its one operand stands for it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "expr/block_pool.hpp"
#include "expr/code.hpp"
#include "expr/eval_state.hpp"
#include "lexer/scanner.hpp"
#include "values/number.hpp"

namespace ombrix {

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

enum class NodeKind : uint8_t {
  // Primaries.
  VARIABLE,  // letter and slot
  INTEGER,   // a literal: value holds the integer's bits
  REAL,      // a literal: value holds the real's bits
  PARENS,    // "(" expression ")": the operand is the inner expression
  CALL,      // a one-argument built-in, token its keyword: the operand is the argument's expression
  RND,
  TIME,
  // Operators.
  POWER,  // factor: base "^" exponent
  MULOP,  // term: factor, token (TOK_TIMES ...), factor
  SIGN,   // expression: token (TOK_PLUS or TOK_MINUS), then the first term
  SUM,    // expression: the first term (with its sign), token (the second sign), the second term
};

// A plain record, so that a buffer of them costs nothing until it is used.
struct Node {
  NodeKind kind;
  uint8_t token;  // VARIABLE: the letter as typed; MULOP, SIGN, SUM, CALL: the TokenKind
  uint8_t slot;   // VARIABLE: variable_slot(letter)
  // INTEGER, REAL: the literal's payload bits. POWER, MULOP, SUM: the index
  // of the first operand's root; the second operand's root is just before
  // the node itself, as is the one operand of PARENS, CALL and SIGN.
  uint32_t value;
};

// The value of an INTEGER or REAL node.
inline Number node_literal(const Node& node) {
  return number_make(node.kind == NodeKind::INTEGER ? NUMBER_INTEGER : NUMBER_REAL, node.value);
}

// One expression's nodes, owned. Empty (false) where there is no
// expression, as the step of a FOR without STEP.
class Expression {
 public:
  Expression() = default;
  // The nodes of a parse, copied into one allocation of their own size.
  Expression(const Node* nodes, uint32_t count);

  explicit operator bool() const { return block_ != nullptr; }
  // Nodes are at 1 .. root(); the root is the last.
  uint32_t root() const { return block_[0].value; }
  const Node& operator[](uint32_t index) const { return block_[index]; }
  // The operands of the node at `index` (see Node::value).
  uint32_t first_operand(uint32_t index) const { return block_[index].value; }
  static uint32_t last_operand(uint32_t index) { return index - 1; }

  // The literal's value when the whole expression is one unsigned literal,
  // as in GOTO 100. Inline: the compile asks it of every jump target.
  std::optional<Number> literal() const {
    if (!block_ || root() != 1) return std::nullopt;
    const Node& node = block_[1];
    if (node.kind != NodeKind::INTEGER && node.kind != NodeKind::REAL) return std::nullopt;
    return node_literal(node);
  }

 private:
  // Gives the block back to the pool, whose size is in its first node.
  struct Release {
    void operator()(Node* block) const { block_free(block, (block[0].value + 1) * sizeof(Node)); }
  };
  std::unique_ptr<Node[], Release> block_;  // block_[0].value: the number of nodes after it
};

// The nodes of an expression while it is parsed. Most expressions fit in
// the room on the stack; longer ones move to the heap.
class NodeBuffer {
 public:
  uint32_t size() const { return size_; }
  const Node* data() const { return heap_.empty() ? local_ : heap_.data(); }
  // Appends a node; returns its index in the expression (from 1).
  uint32_t push(const Node& node) {
    if (size_ >= LOCAL || !heap_.empty()) return push_on_heap(node);
    local_[size_] = node;
    return ++size_;
  }
  // Drops the nodes after the first `size`, which a failed parse appended.
  void truncate(uint32_t size);

 private:
  uint32_t push_on_heap(const Node& node);

  static constexpr uint32_t LOCAL = 64;
  Node local_[LOCAL];
  std::vector<Node> heap_;
  uint32_t size_ = 0;
};

// Parsers take one token at a time and give back only the token that did not
// fit: tokens read before it stay consumed. The expression parsers append
// the nodes of what they read to the buffer and return whether it parsed.
std::optional<Variable> variable_parse(Scanner& scanner);
bool primary_parse(Scanner& scanner, NodeBuffer& nodes);
bool expression_parse(Scanner& scanner, NodeBuffer& nodes);
// A whole expression, or an empty one when it does not parse.
Expression expression_parse(Scanner& scanner);

// Evaluation by walking the tree, step by step as the language defines it:
// direct statements and traced runs take this path, and it is the
// reference that compiled code (expr/code.hpp) is held to. It reads operands
// left to right (that fixes the order of RND draws) and allocates nothing.
// The level functions take the index of the level's root node.
Value expression_eval(const Expression& expression, EvalState& state);
Value expression_eval(const Expression& expression, uint32_t root, EvalState& state);
Value term_eval(const Expression& expression, uint32_t root, EvalState& state);
Value factor_eval(const Expression& expression, uint32_t root, EvalState& state);
Value primary_eval(const Expression& expression, uint32_t root, EvalState& state);
int32_t sign_eval(Sign sign);
inline Value variable_eval(Variable variable, const EvalState& state) { return value_of(state.cells[variable.slot]); }

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

// Canonical text on `out`, without a line end.
void expression_list(const Expression& expression, std::FILE* out);
void expression_list(const Expression& expression, uint32_t root, std::FILE* out);
void sign_list(Sign sign, std::FILE* out);
void mulop_list(MulOp op, std::FILE* out);
void variable_list(Variable variable, std::FILE* out);

}  // namespace ombrix
