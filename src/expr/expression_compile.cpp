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
// nothing else reads, so that instruction may be changed).
struct Part {
  uint32_t cell;
  bool written_last = false;
  // The value is already what a lone term's expression gives (no real -0).
  bool lone_ready = false;
};

class ExpressionCompiler {
 public:
  ExpressionCompiler(const Expression& expression, Code& code) : e_(expression), code_(code) {}

  // (sign1 * term1) + (sign2 * term2), a lone term gaining "+ 0".
  Part expression(uint32_t root) {
    const Part x = value(root);
    return e_[root].kind == NodeKind::SUM ? x : lone_value_of(x);
  }

  // The lone term's value + 0: the instruction that computed it does that
  // on its own result where it can, so no extra instruction is needed.
  Part lone_value_of(Part x) {
    if (x.lone_ready) return x;
    if (x.written_last && x.cell == code_.last().a) {
      code_.last().mode |= LONE;
      x.lone_ready = true;
      return x;
    }
    const uint32_t t = code_.temporary();
    code_.emit({Op::MOVE, 0, t, x.cell, 0});
    return Part{t, true, true};
  }

  // The value of the node at `root`, by its kind alone: every kind belongs
  // to one level of the grammar, so one switch compiles them all, and a
  // level without its operator costs no call. The "+ 0" of a lone term
  // is the caller's (see expression).
  Part value(uint32_t root) {
    const Node& node = e_[root];
    switch (node.kind) {
      case NodeKind::VARIABLE:
      case NodeKind::INTEGER:
      case NodeKind::REAL: return leaf(node);
      case NodeKind::PARENS: return expression(Expression::last_operand(root));
      // RND is never -0, TIME is an integer.
      case NodeKind::RND: return result(Op::RND, 0, 0, true);
      case NodeKind::TIME: return result(Op::TIME, 0, 0, true);
      case NodeKind::CALL: {
        const Part x = expression(Expression::last_operand(root));
        return result(Op::CALL, x.cell, node.token, false);
      }
      // A sign of +1 changes nothing.
      case NodeKind::SIGN: {
        const Part x = value(Expression::last_operand(root));
        return node.token == TOK_MINUS ? result(Op::NEGATE, x.cell, 0, false) : x;
      }
      case NodeKind::POWER: return binary(Op::POWER, root);
      case NodeKind::SUM: return binary(node.token == TOK_MINUS ? Op::SUBTRACT : Op::ADD, root);
      case NodeKind::MULOP: break;
    }
    switch (node.token) {
      case TOK_MOD: return binary(Op::MODULO, root);
      case TOK_INTDIV: return binary(Op::INT_DIVIDE, root);
      case TOK_DIVIDE: return binary(Op::DIVIDE, root);
      default: return binary(Op::MULTIPLY, root);
    }
  }

 private:
  // A variable or a literal: its own cell, no instruction.
  Part leaf(const Node& node) {
    if (node.kind == NodeKind::VARIABLE) return Part{node.slot};
    return Part{code_.constant(node_literal(node)), false, true};  // a literal is never a -0: it has no sign
  }

  // An operand: most are leaves, taken here without a call.
  Part operand(uint32_t root) {
    const Node& node = e_[root];
    if (node.kind == NodeKind::VARIABLE || node.kind == NodeKind::INTEGER || node.kind == NodeKind::REAL) {
      return leaf(node);
    }
    return value(root);
  }

  // The operator at `root` on its two operands, the first compiled first.
  Part binary(Op op, uint32_t root) {
    const Part x = operand(e_.first_operand(root));
    const Part y = operand(Expression::last_operand(root));
    return result(op, x.cell, y.cell, false);
  }

  // An instruction that writes a new temporary.
  Part result(Op op, uint32_t b, uint32_t c, bool lone_ready) {
    const uint32_t t = code_.temporary();
    code_.emit({op, 0, t, b, c});
    return Part{t, true, lone_ready};
  }

  const Expression& e_;
  Code& code_;
};

}  // namespace

uint32_t expression_compile(const Expression& expression, Code& code, ExpressionUse use) {
  ExpressionCompiler compiler(expression, code);
  if (use == ExpressionUse::exact) return compiler.expression(expression.root()).cell;
  return compiler.value(expression.root()).cell;
}

void expression_compile_into(const Expression& expression, Code& code, uint32_t destination) {
  ExpressionCompiler compiler(expression, code);
  const Part x = compiler.expression(expression.root());
  if (x.written_last && x.cell == code.last().a) {
    // The last instruction computed the value into a temporary: it writes
    // the destination instead, having read its operands first.
    code.last().a = destination;
    code.release_temporary();
    return;
  }
  code.emit({Op::MOVE, 0, destination, x.cell, 0});
}

}  // namespace ombrix
