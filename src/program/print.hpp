// PRINT and string literals.
#pragma once

#include "program/statement.hpp"

namespace ombrix {

// string -> '"' characters '"'
std::unique_ptr<StringLiteral> string_parse(Scanner& scanner);
void string_list(const StringLiteral& literal, std::FILE* out);

// print -> PRINT item {"," item} [","]; a trailing comma is accepted and ends the list.
std::optional<Statement> print_parse(Scanner& scanner);
void print_execute(const PrintStatement& statement, EvalState& state);
void print_list(const PrintStatement& statement, std::FILE* out);

class Compiler;
void print_compile(const PrintStatement& statement, Compiler& compiler);

}  // namespace ombrix
