// The line dispatcher: decides what one input line is and acts on it.
#pragma once

#include "driver/session_commands.hpp"
#include "program/interpreter.hpp"

namespace ombrix {

enum class LineOrigin {
  typed,        // read from the input: a command, a statement, a numbered line or a bare number
  synthesized,  // made by INPUT: a direct statement or an error, never a numbered line
};

// In order: an immediate command; a direct statement, run at once with line
// numbers -1 and released; a line number followed by a statement (stored) or
// by nothing valid (that line deleted); a session command (SAVE, LOAD, ...).
// Anything else gets
// "ERROR: INVALID STATEMENT" on standard error, and so does a line nested
// deeper than the parser allows (nothing of it runs, is stored or deleted).
// Whatever follows a complete command or statement is ignored. An absent or
// empty text does nothing.
void interpret_line(Session& session, const char* text, LineOrigin origin = LineOrigin::typed);
// The same in a session of its own, with no terminal: for a line that needs
// no state of the read loop (INPUT's synthesized lines, tests).
void interpret_line(Interpreter& interpreter, const char* text, LineOrigin origin = LineOrigin::typed);

}  // namespace ombrix
