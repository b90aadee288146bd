// The session commands SAVE and LOAD, which keep the program in a file and
// bring it back (rows of the session command table).
//
//   save -> SAVE [string]
//   load -> LOAD string
//
// Whatever follows the file name is ignored, as after any command.
#pragma once

#include "driver/session_commands.hpp"

namespace ombrix {

// Every failure is reported on standard error as one "ERROR: ..." line and
// changes nothing. `rest` is the line after the command's name.
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
void save_command(Session& session, const char* rest);
void load_command(Session& session, const char* rest);

}  // namespace ombrix
