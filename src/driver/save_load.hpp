// The commands SAVE and LOAD, which keep the program in a file and bring it
// back. They take over lines the language rejects: the dispatcher offers a
// line here only where it would report it as invalid.
//
//   save -> SAVE [string]
//   load -> LOAD string
//
// The keyword, in any letter case, starts the line (after blanks) and is
// followed by a blank, a double quote or the line's end; whatever follows
// the file name is ignored, as after any command.
#pragma once

#include "program/interpreter.hpp"

namespace ombrix {

// Runs the line when it is a SAVE or LOAD command and returns true; returns
// false, having done nothing, for any other line. Every failure is reported
// on standard error as one "ERROR: ..." line and changes nothing.
//
// SAVE "name" writes what LIST prints into the file; SAVE alone uses the
// name that SAVE or LOAD used last with success. LOAD "name" reads the file
// as a program file given on the command line is read (a byte order mark and
// a first "#!" line skipped) into a new program, and only when the whole file
// has been read replaces the program and empties the variables, the loop
// records and the return stack, as CLEAR and typing the lines would. It runs
// nothing: a line that is not a numbered program line is reported with its
// number in the file and left out; empty and blank lines are skipped, and a
// line number alone deletes that line as typed.
bool save_load_command(Interpreter& interpreter, const char* text);

}  // namespace ombrix
