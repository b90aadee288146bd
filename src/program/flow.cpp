#include "program/flow.hpp"

#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "program/compile.hpp"
#include "program/interpreter.hpp"

namespace ombrix {

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

std::optional<Statement> if_parse(Scanner& scanner) {
  Expression left = expression_parse(scanner);
  if (!left) return std::nullopt;
  std::optional<RelationalOperator> op = relop_parse(scanner);
  if (!op) return std::nullopt;
  Expression right = expression_parse(scanner);
  if (!right) return std::nullopt;
  if (!scan_expect(scanner, TOK_THEN)) return std::nullopt;
  // Any statement may follow, another IF too, but not a bare line number.
  std::optional<Statement> then = statement_parse(scanner);
  if (!then) return std::nullopt;
  return parsed(IfStatement(std::move(left), *op, std::move(right), block_new<Statement>(std::move(*then))));
}

std::optional<Statement> goto_parse(Scanner& scanner) {
  Expression target = expression_parse(scanner);
  if (!target) return std::nullopt;
  return parsed(GotoStatement{std::move(target)});
}

std::optional<Statement> gosub_parse(Scanner& scanner) {
  Expression target = expression_parse(scanner);
  if (!target) return std::nullopt;
  return parsed(GosubStatement{std::move(target)});
}

int32_t if_execute(const IfStatement& statement, Interpreter& interpreter, int32_t current, int32_t following) {
  const Value left = expression_eval(statement.left, interpreter.eval);
  const Value right = expression_eval(statement.right, interpreter.eval);
  if (!relop_test(statement.op, left, right)) return FLOW_CONTINUE;
  return statement_execute(*statement.then, interpreter, current, following);
}

// The target as a line number; an absent target jumps nowhere.
int32_t goto_execute(const GotoStatement& statement, Interpreter& interpreter) {
  const Value target = expression_eval(statement.target, interpreter.eval);
  return target ? number_to_int(*target) : FLOW_CONTINUE;
}

int32_t gosub_execute(const GosubStatement& statement, Interpreter& interpreter, int32_t following) {
  const Value target = expression_eval(statement.target, interpreter.eval);
  if (!target) return FLOW_CONTINUE;
  if (following > 0 && !return_push(interpreter, following)) return FLOW_END;
  return number_to_int(*target);
}

int32_t return_execute(Interpreter& interpreter) {
  const int32_t line = return_pop(interpreter);
  return line < 0 ? FLOW_CONTINUE : line;
}

namespace {

// The instructions of IF's operators: the ones that skip the THEN statement
// when the test fails, and the ones that jump when it passes.
struct RelopOps {
  TokenKind kind;
  Op skip;
  Op jump;
};
constexpr RelopOps relop_ops[] = {
    {TOK_LE, Op::IF_LE, Op::JUMP_LE}, {TOK_LTGT, Op::IF_NE, Op::JUMP_NE}, {TOK_LT, Op::IF_LT, Op::JUMP_LT},
    {TOK_GE, Op::IF_GE, Op::JUMP_GE}, {TOK_GTLT, Op::IF_NE, Op::JUMP_NE}, {TOK_GT, Op::IF_GT, Op::JUMP_GT},
    {TOK_EQ, Op::IF_EQ, Op::JUMP_EQ},
};

constexpr bool relop_ops_in_token_order() {
  for (std::size_t i = 0; i < std::size(relop_ops); ++i) {
    if (relop_ops[i].kind != TOK_LE + static_cast<int>(i)) return false;
  }
  return true;
}
static_assert(relop_ops_in_token_order(), "relop_ops is indexed by kind - TOK_LE");

// By index, as the operators' tokens are consecutive; nothing for a kind
// out of their range (a corrupt one).
const RelopOps* relop_ops_of(RelationalOperator op) {
  const uint32_t at = static_cast<uint32_t>(op.kind) - static_cast<uint32_t>(TOK_LE);
  return at < std::size(relop_ops) ? &relop_ops[at] : nullptr;
}

}  // namespace

// IF ... THEN GOTO to a constant line is one instruction, the test and the
// jump together: the loops of most programs close that way. Any other THEN
// statement follows the test inline, which skips over it when it fails.
// Neither side of a comparison needs the "+ 0" of a lone term: -0 and +0
// compare alike.
void if_compile(const IfStatement& statement, Compiler& compiler) {
  Code& code = compiler.code();
  const uint32_t left = expression_compile(statement.left, code, ExpressionUse::any_zero);
  const uint32_t right = expression_compile(statement.right, code, ExpressionUse::any_zero);
  const RelopOps* ops = relop_ops_of(statement.op);
  if (ops == nullptr) {
    code.emit({Op::BAD_RELOP, 0, static_cast<uint32_t>(statement.op.kind), left, right});
    return;
  }
  if (const auto* go = std::get_if<GotoStatement>(&statement.then->body)) {
    const std::optional<int32_t> target = constant_target(go->target);
    if (target && *target != FLOW_CONTINUE && *target != FLOW_END) {
      compiler.jump_to_line(code.emit({ops->jump, 0, 0, left, right}), *target);
      return;
    }
  }
  const uint32_t test = code.emit({ops->skip, 0, 0, left, right});
  statement_compile(*statement.then, compiler);
  code.instructions[test].a = code.pc();
}

// A constant target is a jump resolved once; a computed one looks its line
// up when it runs.
void goto_compile(const GotoStatement& statement, Compiler& compiler) {
  Code& code = compiler.code();
  const std::optional<int32_t> target = constant_target(statement.target);
  if (target && *target == FLOW_CONTINUE) return;
  if (target && *target == FLOW_END) {
    code.emit({Op::END});
    return;
  }
  if (target) {
    compiler.jump_to_line(code.emit({Op::JUMP}), *target);
    return;
  }
  code.emit({Op::GOTO, 0, expression_compile(statement.target, code, ExpressionUse::any_zero)});
}

void gosub_compile(const GosubStatement& statement, Compiler& compiler) {
  Code& code = compiler.code();
  const auto following = static_cast<uint32_t>(compiler.following);
  const std::optional<int32_t> target = constant_target(statement.target);
  if (target && *target != FLOW_CONTINUE && *target != FLOW_END) {
    compiler.jump_to_line(code.emit({Op::GOSUB, 0, 0, following}), *target);
    return;
  }
  code.emit({Op::GOSUB_TO, 0, expression_compile(statement.target, code, ExpressionUse::any_zero), following});
}

void if_list(const IfStatement& statement, std::FILE* out) {
  std::fputs("IF ", out);
  expression_list(statement.left, out);
  relop_list(statement.op, out);
  expression_list(statement.right, out);
  std::fputs(" THEN ", out);
  statement_list(*statement.then, out);
}

}  // namespace ombrix
