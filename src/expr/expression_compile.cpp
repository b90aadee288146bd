// Expressions compiled into instructions (expr/code.hpp). Each operator of
// the tree becomes one instruction whose operands are cells: a variable or a
// literal is read from its own cell where it stands, so the levels that pass
// a value through unchanged (a term without operator, a factor without
// exponent) cost nothing. Instructions come in the order in which the tree
// walk evaluates, left operand first, so RND draws in the same order.
#include <optional>

#include "expr/builtins.hpp"
#include "expr/expression.hpp"

namespace ombrix {

namespace {

// A compiled part of an expression: the cell that holds its value, and
// whether the last instruction emitted wrote it into a temporary (which
// nothing else reads, so that instruction may be changed). A plain record,
// so that the compiler's stack of them costs nothing until it is used.
struct Part {
  uint32_t cell;
  bool written_last;
  // The value is already what a lone term's expression gives (no real -0).
  bool lone_ready;
};

// The parts waiting for their operator: at most one for each of the three
// levels (expression, term, factor) of each nesting the parser allows, and
// the value of the innermost.
constexpr std::size_t MOST_PENDING = 3 * static_cast<std::size_t>(MAX_NESTING) + 1;

// Where the value goes: nowhere but its cell, or a variable's.
constexpr uint32_t NO_DESTINATION = UINT32_MAX;

// An instruction that writes a new temporary. This and the two lone steps are
// always inlined into compile(): a call would move its locals to memory.
[[gnu::always_inline]] inline Part result(Code& code, Op op, uint32_t b, uint32_t c, bool lone_ready) {
  const uint32_t t = code.temporary();
  code.emit({op, 0, t, b, c});
  return Part{t, true, lone_ready};
}

// Makes x a lone term's value (x + 0) where no new instruction is needed:
// it is one already, or the instruction that computed it does that on its
// own result. True when x is a lone term's value now.
[[gnu::always_inline]] inline bool lone_in_place(Part& x, Code& code) {
  if (x.lone_ready) return true;
  if (!x.written_last || x.cell != code.last().a) return false;
  code.last().mode |= LONE;
  x.lone_ready = true;
  return true;
}

// The lone term's value + 0, with a MOVE only where it cannot be had in place.
[[gnu::always_inline]] inline Part lone_value_of(Part x, Code& code) {
  if (lone_in_place(x, code)) return x;
  return result(code, Op::MOVE, x.cell, 0, true);
}

Op mulop_op(uint8_t token) {
  switch (token) {
    case TOK_MOD: return Op::MODULO;
    case TOK_INTDIV: return Op::INT_DIVIDE;
    case TOK_DIVIDE: return Op::DIVIDE;
    default: return Op::MULTIPLY;
  }
}

// The nodes are stored each operator after its operands (postfix), and the
// parser keeps only the nodes of the tree it returns; so one pass over them
// in order, with a stack of the parts computed so far, compiles the tree
// left operand first, as a recursive walk would, without a call per level.
// Every node kind belongs to one level of the grammar, so its kind alone
// says what it is.
//
// One function with everything inline and its state in locals (the stack,
// its height, the node pointer): they stay in registers, where the members
// of an object that a call sees are stored and loaded again around every
// instruction written.
uint32_t compile(const Expression& expression, Code& code, ExpressionUse use, uint32_t destination) {
  const Node* const nodes = &expression[0];
  const uint32_t root = expression.root();
  Part stack[MOST_PENDING];
  std::size_t size = 0;
  for (const Node* at = nodes + 1; at <= nodes + root; ++at) {
    const Node& node = *at;
    Op op = Op::POWER;
    switch (node.kind) {
      case NodeKind::VARIABLE: stack[size++] = Part{node.slot, false, false}; continue;
      // A literal is never a -0: it has no sign.
      case NodeKind::INTEGER:
      case NodeKind::REAL: stack[size++] = Part{code.constant(node_literal(node)), false, true}; continue;
      // The inner expression's value, a lone term gaining its "+ 0".
      case NodeKind::PARENS:
        if (at[-1].kind != NodeKind::SUM) stack[size - 1] = lone_value_of(stack[size - 1], code);
        continue;
      // RND is never -0, TIME is an integer.
      case NodeKind::RND: stack[size++] = result(code, Op::RND, 0, 0, true); continue;
      case NodeKind::TIME: stack[size++] = result(code, Op::TIME, 0, 0, true); continue;
      case NodeKind::CALL: {
        // The argument is an expression of its own, a lone term gaining
        // its "+ 0": where the instruction that computed it cannot add
        // it, the call does, instead of a MOVE of its own.
        Part& x = stack[size - 1];
        const uint8_t mode = at[-1].kind != NodeKind::SUM && !lone_in_place(x, code) ? ARGUMENT_LONE : 0;
        const uint32_t t = code.temporary();
        code.emit({Op::CALL, mode, t, x.cell, node.token});
        x = Part{t, true, false};
        continue;
      }
      // A sign of +1 changes nothing.
      case NodeKind::SIGN:
        if (node.token == TOK_MINUS) stack[size - 1] = result(code, Op::NEGATE, stack[size - 1].cell, 0, false);
        continue;
      case NodeKind::POWER: break;
      case NodeKind::SUM: op = node.token == TOK_MINUS ? Op::SUBTRACT : Op::ADD; break;
      case NodeKind::MULOP: op = mulop_op(node.token); break;
      // The parser makes no other kind: no range test before the jump.
      default: __builtin_unreachable();
    }
    // The operator on the two parts on top, the first computed first: one
    // place, so that it is compiled inline once.
    --size;
    stack[size - 1] = result(code, op, stack[size - 1].cell, stack[size].cell, false);
  }
  Part x = stack[0];
  // (sign1 * term1) + (sign2 * term2), a lone term gaining "+ 0".
  if (use == ExpressionUse::exact && nodes[root].kind != NodeKind::SUM) x = lone_value_of(x, code);
  if (destination != NO_DESTINATION) {
    if (x.written_last && x.cell == code.last().a) {
      // The last instruction computed the value into a temporary: it writes
      // the destination instead, having read its operands first.
      code.last().a = destination;
      code.release_temporary();
    } else {
      code.emit({Op::MOVE, 0, destination, x.cell, 0});
    }
    x.cell = destination;
  }
  return x.cell;
}

}  // namespace

uint32_t expression_compile(const Expression& expression, Code& code, ExpressionUse use) {
  // A lone literal or variable, as IF and GOTO mostly have, is read from its
  // own cell: no instruction, and none of the compiler's setting up. (A
  // variable's exact value would need its "+ 0".)
  if (expression.root() == 1) {
    const Node& node = expression[1];
    if (node.kind == NodeKind::INTEGER || node.kind == NodeKind::REAL) return code.constant(node_literal(node));
    if (node.kind == NodeKind::VARIABLE && use == ExpressionUse::any_zero) return node.slot;
  }
  return compile(expression, code, use, NO_DESTINATION);
}

void expression_compile_into(const Expression& expression, Code& code, uint32_t destination) {
  compile(expression, code, ExpressionUse::exact, destination);
}

}  // namespace ombrix
