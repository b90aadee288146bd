#include "program/shell.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ombrix {

int32_t shell_run(const char* command) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    _exit(1);  // no exit(): the parent's buffered output must not be written twice
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    // Retry only an interrupted wait; any other failure leaves no status.
    if (errno != EINTR) return -1;
  }
  return status >> 8;
}

}  // namespace ombrix

#include "program/compile.hpp"
#include "program/print.hpp"

namespace ombrix {

std::optional<Statement> shell_parse(Scanner& scanner) {
  std::unique_ptr<StringLiteral> command = string_parse(scanner);
  if (!command) return std::nullopt;
  return parsed(ShellStatement{std::move(*command)});
}

void shell_compile(const ShellStatement& statement, Compiler& compiler) {
  compiler.code().emit({Op::SHELL, 0, compiler.text(statement.command.text)});
}

void shell_list(const ShellStatement& statement, std::FILE* out) {
  std::fputs("SHELL ", out);
  string_list(statement.command, out);
}

}  // namespace ombrix
