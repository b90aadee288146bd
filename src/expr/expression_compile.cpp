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
  explicit ExpressionCompiler(Code& code) : code_(code) {}

  // (sign1 * term1) + (sign2 * term2). The lone term's "+ 0" is left to the
  // caller, which knows whether its use can tell -0 from +0.
  Part expression_without_lone(const Expression& e, bool& lone) {
    Part x = term(e.first);
    if (e.first_sign && sign_eval(*e.first_sign) < 0) x = unary(Op::NEGATE, x);
    lone = !e.second;
    if (lone) return x;
    const Part y = term(*e.second);
    const bool minus = e.second_sign && sign_eval(*e.second_sign) < 0;
    return binary(minus ? Op::SUBTRACT : Op::ADD, x, y);
  }

  Part expression(const Expression& e) {
    bool lone = false;
    const Part x = expression_without_lone(e, lone);
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
  Part term(const Term& t) {
    const Part a = factor(t.first);
    if (!t.op) return a;
    const Part b = factor(*t.second);
    switch (t.op->kind) {
      case TOK_MOD: return binary(Op::MODULO, a, b);
      case TOK_INTDIV: return binary(Op::INT_DIVIDE, a, b);
      case TOK_DIVIDE: return binary(Op::DIVIDE, a, b);
      default: return binary(Op::MULTIPLY, a, b);
    }
  }

  Part factor(const Factor& f) {
    const Part base = primary(f.base);
    if (!f.exponent) return base;
    return binary(Op::POWER, base, primary(*f.exponent));
  }

  Part primary(const Primary& p) {
    switch (p.kind) {
      case TOK_VARIABLE: return Part{std::get<Variable>(p.payload).slot};
      // A literal is never a -0: it has no sign.
      case TOK_NUMBER: return Part{code_.constant(std::get<Number>(p.payload)), false, true};
      case PRIMARY_PARENS: return expression(*std::get<Parens>(p.payload).inner);
      // RND is never -0, TIME is an integer.
      case TOK_RND: return result(Op::RND, 0, 0, true);
      case TOK_TIME: return result(Op::TIME, 0, 0, true);
      default: {
        const Part x = expression(*std::get<BuiltinCall>(p.payload).argument);
        return result(Op::CALL, x.cell, static_cast<uint32_t>(p.kind), false);
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

  Code& code_;
};

}  // namespace

uint32_t expression_compile(const Expression& expression, Code& code, ExpressionUse use) {
  ExpressionCompiler compiler(code);
  if (use == ExpressionUse::exact) return compiler.expression(expression).cell;
  bool lone = false;
  return compiler.expression_without_lone(expression, lone).cell;
}

void expression_compile_into(const Expression& expression, Code& code, uint32_t destination) {
  ExpressionCompiler compiler(code);
  const Part x = compiler.expression(expression);
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
