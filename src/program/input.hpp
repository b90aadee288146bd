// INPUT: assigning the fields of a typed reply through synthesized LET lines.
#pragma once

#include "program/statement.hpp"

namespace ombrix {

// input -> INPUT variable {"," variable} [","]
std::optional<Statement> input_parse(Scanner& scanner);
void input_list(const InputStatement& statement, std::FILE* out);
int32_t input_execute(const InputStatement& statement, Interpreter& interpreter);

class Compiler;
void input_compile(const InputStatement& statement, Compiler& compiler);

// For each variable in order, the next comma-separated field of the reply
// ("0" once the fields run out) goes into "LET <letter> = <field>", which the
// host dispatches as a direct statement.
void input_assign(const InputStatement& statement, const char* reply, LineHost& host);

}  // namespace ombrix
