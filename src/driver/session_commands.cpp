#include "driver/session_commands.hpp"

#include <strings.h>

#include <algorithm>
#include <array>

#include "driver/save_load.hpp"

namespace ombrix {

namespace {

// One row per command, in alphabetical order of name.
constexpr std::array SESSION_COMMANDS = {
    SessionCommand{"LOAD", load_command, true, "LOAD \"name\"",
                   "replaces the program with the lines of a file, unsetting the variables; runs nothing"},
    SessionCommand{"SAVE", save_command, true, "SAVE [\"name\"]",
                   "writes the program to a file as LIST shows it; alone, to the file last saved or loaded"},
};
static_assert(std::is_sorted(SESSION_COMMANDS.begin(), SESSION_COMMANDS.end(),
                             [](const SessionCommand& a, const SessionCommand& b) { return a.name < b.name; }));

// The blanks the scanner skips between tokens.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n'; }

}  // namespace

std::span<const SessionCommand> session_commands() { return SESSION_COMMANDS; }

const SessionCommand* session_command_find(const char* text, const char** rest) {
  while (is_blank(*text)) ++text;
  for (const SessionCommand& command : SESSION_COMMANDS) {
    const std::size_t size = command.name.size();
    if (strncasecmp(text, command.name.data(), size) != 0) continue;
    const char after = text[size];
    if (after != '\0' && after != '"' && !is_blank(after)) continue;
    *rest = text + size;
    return &command;
  }
  return nullptr;
}

bool session_command_run(Session& session, const char* text) {
  const char* rest = nullptr;
  const SessionCommand* command = session_command_find(text, &rest);
  if (command == nullptr || (command->outside && !session.interpreter.file_commands)) return false;
  command->run(session, rest);
  return true;
}

}  // namespace ombrix
