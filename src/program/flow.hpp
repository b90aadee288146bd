// IF, GOTO, GOSUB and RETURN, the relational operators and the return stack.
#pragma once

#include "expr/code.hpp"
#include "program/interpreter.hpp"
#include "program/statement.hpp"

namespace ombrix {

// What a pop of an empty return stack yields.
inline constexpr int32_t STACK_EMPTY = -3;

std::optional<RelationalOperator> relop_parse(Scanner& scanner);
void relop_list(RelationalOperator op, std::FILE* out);
// The comparison of both sides as single-precision reals; an absent side
// compares like a NaN. A corrupted operator kind ends the process with the
// runtime error message and status 1.
bool relop_test(RelationalOperator op, Value left, Value right);

// False, with the halt HALT_RETURN_STACK_FULL set, when the stack already
// holds RETURN_STACK_LIMIT lines: the GOSUB then ends the run. Inline, with
// return_pop: every GOSUB and RETURN of a run pays for them.
inline bool return_push(Interpreter& interpreter, int32_t line) {
  if (interpreter.return_stack.size() >= RETURN_STACK_LIMIT) {
    interpreter.halt = HALT_RETURN_STACK_FULL;
    return false;
  }
  interpreter.return_stack.push_back(line);
  return true;
}

inline int32_t return_pop(Interpreter& interpreter) {
  if (interpreter.return_stack.empty()) return STACK_EMPTY;
  const int32_t line = interpreter.return_stack.back();
  interpreter.return_stack.pop_back();
  return line;
}

// if -> IF expression relop expression THEN statement
std::optional<Statement> if_parse(Scanner& scanner);
// goto -> GOTO expression; gosub -> GOSUB expression
std::optional<Statement> goto_parse(Scanner& scanner);
std::optional<Statement> gosub_parse(Scanner& scanner);

int32_t if_execute(const IfStatement& statement, Interpreter& interpreter, int32_t current, int32_t following);
int32_t goto_execute(const GotoStatement& statement, Interpreter& interpreter);
int32_t gosub_execute(const GosubStatement& statement, Interpreter& interpreter, int32_t following);
int32_t return_execute(Interpreter& interpreter);

void if_list(const IfStatement& statement, std::FILE* out);

class Compiler;
void if_compile(const IfStatement& statement, Compiler& compiler);
void goto_compile(const GotoStatement& statement, Compiler& compiler);
void gosub_compile(const GosubStatement& statement, Compiler& compiler);

// The comparison of compiled IF_* and JUMP_* instructions, on two cells:
// as relop_test compares, in single precision, an absent side like a NaN.
inline bool cells_compare(Op op, Number left, Number right) {
  const float l = cell_real(left);
  const float r = cell_real(right);
  if (op == Op::IF_LE || op == Op::JUMP_LE) return l <= r;
  if (op == Op::IF_LT || op == Op::JUMP_LT) return l < r;
  if (op == Op::IF_GE || op == Op::JUMP_GE) return l >= r;
  if (op == Op::IF_GT || op == Op::JUMP_GT) return l > r;
  if (op == Op::IF_EQ || op == Op::JUMP_EQ) return l == r;
  return l != r;  // "<>" and "><": true when either side is NaN
}

}  // namespace ombrix
