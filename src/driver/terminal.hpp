// The terminal session: line editing, history and completion for the lines
// typed at a terminal, and Ctrl-C that stops a run instead of ombrix.
//
// Both readers of standard input, the read loop and INPUT's reply, read
// through terminal_read_line. On a pipe or a file no session exists and that
// is read_line itself, so every byte read and written stays as it was.
#pragma once

#include <csignal>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "driver/byte_buffer.hpp"

namespace ombrix {

class Terminal;
struct TerminalClose {
  void operator()(Terminal* terminal) const;
};
using TerminalPtr = std::unique_ptr<Terminal, TerminalClose>;

enum class LineKind {
  program,  // a line for the dispatcher: kept in the history (and its file)
  reply,    // a reply to INPUT: editable, kept apart for this session only
};

// Opens a session when standard input is a terminal; otherwise returns null
// and changes nothing. Lines are edited when ombrix was built with libedit,
// standard error (where the prompt and the edited line are drawn) is a
// terminal too, and TERM names a terminal that is not "dumb"; otherwise they
// are read as on a pipe.
//
// `interactive` is true when no program file was named. Only then is the
// history file used, and only then does Ctrl-C record HALT_INTERRUPT in
// `halt` (which a run checks) instead of ending the process, unless SIGINT
// was ignored when ombrix started, which is left so.
TerminalPtr terminal_open(volatile std::sig_atomic_t* halt, bool interactive);

// Appends one line, without its line end, and a NUL to `buffer`, as
// read_line does, and returns false once the input has ended (the line read
// then, possibly empty, still counts). Through the session when there is
// one: standard output is flushed first, so that what a program printed is
// on the screen before the prompt; Ctrl-C while waiting gives an empty line
// and leaves HALT_INTERRUPT set; Ctrl-D on an empty line ends the input.
// Without a session it is read_line(input, prompt, buffer).
bool terminal_read_line(Terminal* terminal, std::FILE* input, const char* prompt, ByteBuffer* buffer, LineKind kind);

// The words Tab completes `typed` to (any letter case), in upper case and in
// alphabetical order: the keywords, commands and built-in functions.
std::vector<std::string_view> terminal_completions(std::string_view typed);

}  // namespace ombrix
