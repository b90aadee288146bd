#include "program/commands.hpp"

#include "program/run.hpp"

namespace ombrix {

std::optional<TokenKind> command_parse(Scanner& scanner) {
  scan_next(scanner);
  switch (scanner.kind) {
    case TOK_CLEAR:
    case TOK_LIST:
    case TOK_RENUM:
    case TOK_RUN:
    case TOK_TROFF:
    case TOK_TRON: return scanner.kind;
    default: scan_unget(scanner); return std::nullopt;
  }
}

void command_execute(Interpreter& interpreter, TokenKind command) {
  switch (command) {
    case TOK_CLEAR: interpreter_reset(interpreter); break;
    case TOK_LIST: program_list(interpreter.program, stdout); break;
    case TOK_RENUM: interpreter.program.renumber(); break;
    case TOK_RUN: program_run(interpreter); break;
    case TOK_TROFF: interpreter.trace = false; break;
    case TOK_TRON: interpreter.trace = true; break;
    default: break;
  }
}

}  // namespace ombrix
