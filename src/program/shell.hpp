// SHELL: running a command through /bin/sh.
#pragma once

#include <cstdint>
#include <memory>

#include "program/statement.hpp"

namespace ombrix {

using ShellRunner = int32_t (*)(const char* command);

// Runs "/bin/sh -c command" and waits for it. Returns the command's exit
// status, or -1 when no child process could be made. Standard output and
// standard error are flushed first, so the command's output comes after
// everything printed before it.
int32_t shell_run(const char* command);

// shell -> SHELL string
std::optional<Statement> shell_parse(Scanner& scanner);
void shell_list(const ShellStatement& statement, std::FILE* out);

class Compiler;
void shell_compile(const ShellStatement& statement, Compiler& compiler);

}  // namespace ombrix
