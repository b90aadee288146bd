// RUN: the run loops.
#pragma once

#include "program/interpreter.hpp"

namespace ombrix {

// RUN: executes the stored program from its first line, following the flow
// codes, until it ends, a jump finds no line, or a halt (Ctrl-C, the GOSUB
// bound) stops it at a jump or an END. It runs the compiled program; with
// the trace on it walks the statement trees instead, printing each line.
void program_run(Interpreter& interpreter);

// The run by walking the statement trees, line by line, as the language
// describes it: the traced run, and the reference the compiled run is
// tested against. Traces when the trace is on.
void program_walk(Interpreter& interpreter);

}  // namespace ombrix
