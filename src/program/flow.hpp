// IF, GOTO, GOSUB and RETURN, the relational operators and the return stack.
#pragma once

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
// holds RETURN_STACK_LIMIT lines: the GOSUB then ends the run.
bool return_push(Interpreter& interpreter, int32_t line);
int32_t return_pop(Interpreter& interpreter);

// if -> IF expression relop expression THEN statement
std::unique_ptr<Statement> if_parse(Scanner& scanner);
// goto -> GOTO expression; gosub -> GOSUB expression
std::unique_ptr<Statement> goto_parse(Scanner& scanner);
std::unique_ptr<Statement> gosub_parse(Scanner& scanner);

int32_t if_execute(const IfStatement& statement, Interpreter& interpreter, int32_t current, int32_t following);
int32_t goto_execute(const GotoStatement& statement, Interpreter& interpreter);
int32_t gosub_execute(const GosubStatement& statement, Interpreter& interpreter, int32_t following);
int32_t return_execute(Interpreter& interpreter);

void if_list(const IfStatement& statement, std::FILE* out);

}  // namespace ombrix
