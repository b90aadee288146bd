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

// The nodes are stored each operator after its operands (postfix), and the
// parser keeps only the nodes of the tree it returns; so one pass over
// them in order, with a stack of the parts computed so far, compiles the
// tree left operand first, as a recursive walk would, without a call per
// level.
class ExpressionCompiler {
 public:
  ExpressionCompiler(const Expression& expression, Code& code) : e_(expression), code_(code) {}

  // The value of the whole tree; the "+ 0" of a lone term is the caller's.
  Part value() {
    const uint32_t root = e_.root();
    for (uint32_t index = 1; index <= root; ++index) node(index);
    return stack_[0];
  }

  // (sign1 * term1) + (sign2 * term2), a lone term gaining "+ 0".
  Part expression() {
    const Part x = value();
    return e_[e_.root()].kind == NodeKind::SUM ? x : lone_value_of(x);
  }

 private:
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

  // The node at `index`, whose operands are on top of the stack: every kind
  // belongs to one level of the grammar, so its kind alone says what it is.
  void node(uint32_t index) {
    const Node& node = e_[index];
    Op op = Op::POWER;
    switch (node.kind) {
      case NodeKind::VARIABLE: push(Part{node.slot, false, false}); return;
      // A literal is never a -0: it has no sign.
      case NodeKind::INTEGER:
      case NodeKind::REAL: push(Part{code_.constant(node_literal(node)), false, true}); return;
      // The inner expression's value, a lone term gaining its "+ 0".
      case NodeKind::PARENS: inner_expression(index); return;
      // RND is never -0, TIME is an integer.
      case NodeKind::RND: push(result(Op::RND, 0, 0, true)); return;
      case NodeKind::TIME: push(result(Op::TIME, 0, 0, true)); return;
      case NodeKind::CALL: {
        const Part x = inner_expression(index);
        top() = result(Op::CALL, x.cell, node.token, false);
        return;
      }
      // A sign of +1 changes nothing.
      case NodeKind::SIGN:
        if (node.token == TOK_MINUS) top() = result(Op::NEGATE, top().cell, 0, false);
        return;
      case NodeKind::POWER: break;
      case NodeKind::SUM: op = node.token == TOK_MINUS ? Op::SUBTRACT : Op::ADD; break;
      case NodeKind::MULOP: op = mulop_op(node.token); break;
    }
    // The operator on the two parts on top, the first computed first: one
    // place, so that it is compiled inline once.
    const Part y = stack_[--size_];
    Part& x = top();
    x = result(op, x.cell, y.cell, false);
  }

  static Op mulop_op(uint8_t token) {
    switch (token) {
      case TOK_MOD: return Op::MODULO;
      case TOK_INTDIV: return Op::INT_DIVIDE;
      case TOK_DIVIDE: return Op::DIVIDE;
      default: return Op::MULTIPLY;
    }
  }

  // The one operand of PARENS or CALL, an expression of its own.
  Part inner_expression(uint32_t index) {
    Part& x = top();
    if (e_[Expression::last_operand(index)].kind != NodeKind::SUM) x = lone_value_of(x);
    return x;
  }

  // An instruction that writes a new temporary.
  Part result(Op op, uint32_t b, uint32_t c, bool lone_ready) {
    const uint32_t t = code_.temporary();
    code_.emit({op, 0, t, b, c});
    return Part{t, true, lone_ready};
  }

  void push(Part part) { stack_[size_++] = part; }
  Part& top() { return stack_[size_ - 1]; }

  const Expression& e_;
  Code& code_;
  std::size_t size_ = 0;
  Part stack_[MOST_PENDING];
};

}  // namespace

uint32_t expression_compile(const Expression& expression, Code& code, ExpressionUse use) {
  ExpressionCompiler compiler(expression, code);
  if (use == ExpressionUse::exact) return compiler.expression().cell;
  return compiler.value().cell;
}

void expression_compile_into(const Expression& expression, Code& code, uint32_t destination) {
  ExpressionCompiler compiler(expression, code);
  const Part x = compiler.expression();
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
