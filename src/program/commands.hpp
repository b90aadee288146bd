// The immediate commands CLEAR, LIST, RENUM, RUN, TROFF and TRON.
#pragma once

#include <optional>

#include "lexer/scanner.hpp"
#include "program/interpreter.hpp"

namespace ombrix {

// Reads one token: a command keyword, or nothing with the token given back.
// Nothing after the keyword is read.
std::optional<TokenKind> command_parse(Scanner& scanner);
void command_execute(Interpreter& interpreter, TokenKind command);

}  // namespace ombrix
