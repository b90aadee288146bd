#include "program/flow.hpp"

#include <cstdio>
#include <cstdlib>

#include "program/interpreter.hpp"

namespace ombrix {

IfStatement::IfStatement(std::unique_ptr<Expression> l, RelationalOperator o, std::unique_ptr<Expression> r,
                         std::unique_ptr<Statement> t)
    : left(std::move(l)), op(o), right(std::move(r)), then(std::move(t)) {}
IfStatement::IfStatement(IfStatement&&) noexcept = default;
IfStatement& IfStatement::operator=(IfStatement&&) noexcept = default;
IfStatement::~IfStatement() = default;

std::optional<RelationalOperator> relop_parse(Scanner& scanner) {
  scan_next(scanner);
  if (scanner.kind >= TOK_LE && scanner.kind <= TOK_EQ) return RelationalOperator{scanner.kind};
  scan_unget(scanner);
  return std::nullopt;
}

void relop_list(RelationalOperator op, std::FILE* out) {
  const char* text = "?";
  switch (op.kind) {
    case TOK_LE: text = "<="; break;
    case TOK_LTGT: text = "<>"; break;
    case TOK_LT: text = "<"; break;
    case TOK_GE: text = ">="; break;
    case TOK_GTLT: text = "><"; break;
    case TOK_GT: text = ">"; break;
    case TOK_EQ: text = "="; break;
    default: break;
  }
  std::fputs(text, out);
}

namespace {

bool is_known(RelationalOperator op) { return op.kind >= TOK_LE && op.kind <= TOK_EQ; }

// The test of a known operator on two single-precision reals.
bool compare(RelationalOperator op, float l, float r) {
  switch (op.kind) {
    case TOK_LE: return l <= r;
    case TOK_LT: return l < r;
    case TOK_GE: return l >= r;
    case TOK_GT: return l > r;
    case TOK_EQ: return l == r;
    default: return l != r;  // "<>" and "><": true when either side is NaN
  }
}

}  // namespace

bool relop_test(RelationalOperator op, Value left, Value right) {
  if (!is_known(op)) {
    std::fprintf(stdout, "Runtime error: Unknown relational operator type: %d", op.kind);
    std::exit(1);
  }
  const float nan = __builtin_nanf("");
  return compare(op, left ? number_to_real(*left) : nan, right ? number_to_real(*right) : nan);
}

bool return_push(Interpreter& interpreter, int32_t line) {
  if (interpreter.return_stack.size() >= RETURN_STACK_LIMIT) {
    interpreter.halt = HALT_RETURN_STACK_FULL;
    return false;
  }
  interpreter.return_stack.push_back(line);
  return true;
}

int32_t return_pop(Interpreter& interpreter) {
  if (interpreter.return_stack.empty()) return STACK_EMPTY;
  const int32_t line = interpreter.return_stack.back();
  interpreter.return_stack.pop_back();
  return line;
}

std::unique_ptr<Statement> if_parse(Scanner& scanner) {
  std::unique_ptr<Expression> left = expression_parse(scanner);
  if (!left) return nullptr;
  std::optional<RelationalOperator> op = relop_parse(scanner);
  if (!op) return nullptr;
  std::unique_ptr<Expression> right = expression_parse(scanner);
  if (!right) return nullptr;
  if (!scan_expect(scanner, TOK_THEN)) return nullptr;
  // Any statement may follow, another IF too, but not a bare line number.
  std::unique_ptr<Statement> then = statement_parse(scanner);
  if (!then) return nullptr;
  return std::make_unique<Statement>(Statement{IfStatement(std::move(left), *op, std::move(right), std::move(then))});
}

std::unique_ptr<Statement> goto_parse(Scanner& scanner) {
  std::unique_ptr<Expression> target = expression_parse(scanner);
  if (!target) return nullptr;
  return std::make_unique<Statement>(Statement{GotoStatement{std::move(target)}});
}

std::unique_ptr<Statement> gosub_parse(Scanner& scanner) {
  std::unique_ptr<Expression> target = expression_parse(scanner);
  if (!target) return nullptr;
  return std::make_unique<Statement>(Statement{GosubStatement{std::move(target)}});
}

int32_t if_execute(const IfStatement& statement, Interpreter& interpreter, int32_t current, int32_t following) {
  int32_t left_integer;
  int32_t right_integer;
  if (is_known(statement.op) && expression_eval_integer(*statement.left, interpreter.eval, left_integer) &&
      expression_eval_integer(*statement.right, interpreter.eval, right_integer)) {
    // Two integers, compared as the single-precision reals they round to.
    const bool pass = compare(statement.op, static_cast<float>(left_integer), static_cast<float>(right_integer));
    return pass ? statement_execute(*statement.then, interpreter, current, following) : FLOW_CONTINUE;
  }
  const Value left = expression_eval(*statement.left, interpreter.eval);
  const Value right = expression_eval(*statement.right, interpreter.eval);
  if (!relop_test(statement.op, left, right)) return FLOW_CONTINUE;
  return statement_execute(*statement.then, interpreter, current, following);
}

// The target as a line number; an absent target jumps nowhere.
int32_t goto_execute(const GotoStatement& statement, Interpreter& interpreter) {
  int32_t line;
  if (expression_eval_integer(*statement.target, interpreter.eval, line)) return line;
  const Value target = expression_eval(*statement.target, interpreter.eval);
  return target ? number_to_int(*target) : FLOW_CONTINUE;
}

int32_t gosub_execute(const GosubStatement& statement, Interpreter& interpreter, int32_t following) {
  int32_t line;
  if (expression_eval_integer(*statement.target, interpreter.eval, line)) {
    if (following > 0 && !return_push(interpreter, following)) return FLOW_END;
    return line;
  }
  const Value target = expression_eval(*statement.target, interpreter.eval);
  if (!target) return FLOW_CONTINUE;
  if (following > 0 && !return_push(interpreter, following)) return FLOW_END;
  return number_to_int(*target);
}

int32_t return_execute(Interpreter& interpreter) {
  const int32_t line = return_pop(interpreter);
  return line < 0 ? FLOW_CONTINUE : line;
}

void if_list(const IfStatement& statement, std::FILE* out) {
  std::fputs("IF ", out);
  expression_list(*statement.left, out);
  relop_list(statement.op, out);
  expression_list(*statement.right, out);
  std::fputs(" THEN ", out);
  statement_list(*statement.then, out);
}

}  // namespace ombrix
