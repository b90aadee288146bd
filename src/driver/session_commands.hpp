// The session commands: words that take over lines the language rejects
// (SAVE, LOAD and the workbench's commands). They are rows of one table: the
// dispatcher runs a row's handler, Tab completion offers its name and HELP
// shows its text, so a new command is one row.
//
// A session command is recognised only at the start of a line (after
// blanks), in any letter case, as a whole word: the name is followed by the
// line's end, a blank or a double quote, so that SAVEX stays what it was.
// The dispatcher offers a line here only where it would otherwise report it
// as "ERROR: INVALID STATEMENT": nothing the language defines changes.
#pragma once

#include <span>
#include <string_view>

#include "program/interpreter.hpp"

namespace ombrix {

class Terminal;

// What one session of the read loop keeps beside the interpreter, for the
// session commands: the terminal (null on a pipe or a file) and the state
// that lives from one line to the next.
struct Session {
  explicit Session(Interpreter& interpreter, Terminal* terminal = nullptr)
      : interpreter(interpreter), terminal(terminal) {}
  Interpreter& interpreter;
  Terminal* terminal;
};

struct SessionCommand {
  std::string_view name;  // upper case
  // Runs the command; `rest` is the text after the name. Every failure is
  // reported on standard error as one "ERROR: ..." line.
  void (*run)(Session& session, const char* rest);
  // Reaches outside the interpreter (reads or writes files by any name,
  // starts a process): such rows are off while the interpreter's
  // file_commands is false, as under fuzzing.
  bool outside;
  std::string_view syntax;   // "SAVE [\"name\"]"
  std::string_view summary;  // one line: what it does
};

// Every session command, in alphabetical order of name.
std::span<const SessionCommand> session_commands();

// The row whose name starts `text` as a whole word, with `rest` set to the
// text after the name; null when the line is no session command.
const SessionCommand* session_command_find(const char* text, const char** rest);

// Runs the line when it is a session command that is on, and returns true;
// returns false, having done nothing, for any other line.
bool session_command_run(Session& session, const char* text);

}  // namespace ombrix
