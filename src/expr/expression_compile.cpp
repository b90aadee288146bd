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

  // (sign1 * term1) + (sign2 * term2). The lone term's "+ 0" is left to the
  // caller, which knows whether its use can tell -0 from +0.
  Part expression_without_lone(uint32_t root, bool& lone) {
    lone = e_[root].kind != NodeKind::SUM;
    if (lone) return signed_term(root);
    const Part x = signed_term(e_.first_operand(root));
    const Part y = term(Expression::last_operand(root));
    return binary(e_[root].token == TOK_MINUS ? Op::SUBTRACT : Op::ADD, x, y);
  }

  Part expression(uint32_t root) {
    bool lone = false;
    const Part x = expression_without_lone(root, lone);
    return lone ? lone_value_of(x) : x;
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

 private:
  Part signed_term(uint32_t root) {
    if (e_[root].kind != NodeKind::SIGN) return term(root);
    const Part x = term(Expression::last_operand(root));
    return e_[root].token == TOK_MINUS ? unary(Op::NEGATE, x) : x;
  }

  Part term(uint32_t root) {
    if (e_[root].kind != NodeKind::MULOP) return factor(root);
    const Part a = factor(e_.first_operand(root));
    const Part b = factor(Expression::last_operand(root));
    switch (e_[root].token) {
      case TOK_MOD: return binary(Op::MODULO, a, b);
      case TOK_INTDIV: return binary(Op::INT_DIVIDE, a, b);
      case TOK_DIVIDE: return binary(Op::DIVIDE, a, b);
      default: return binary(Op::MULTIPLY, a, b);
    }
  }

  Part factor(uint32_t root) {
    if (e_[root].kind != NodeKind::POWER) return primary(root);
    const Part base = primary(e_.first_operand(root));
    return binary(Op::POWER, base, primary(Expression::last_operand(root)));
  }

  Part primary(uint32_t root) {
    const Node& node = e_[root];
    switch (node.kind) {
      case NodeKind::VARIABLE: return Part{node.slot};
      // A literal is never a -0: it has no sign.
      case NodeKind::INTEGER:
      case NodeKind::REAL: return Part{code_.constant(node_literal(node)), false, true};
      case NodeKind::PARENS: return expression(Expression::last_operand(root));
      // RND is never -0, TIME is an integer.
      case NodeKind::RND: return result(Op::RND, 0, 0, true);
      case NodeKind::TIME: return result(Op::TIME, 0, 0, true);
      default: {
        const Part x = expression(Expression::last_operand(root));
        return result(Op::CALL, x.cell, node.token, false);
      }
    }
  }

  Part unary(Op op, Part x) { return result(op, x.cell, 0, false); }
  Part binary(Op op, Part x, Part y) { return result(op, x.cell, y.cell, false); }

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
  bool lone = false;
  return compiler.expression_without_lone(expression.root(), lone).cell;
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
