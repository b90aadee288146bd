#include "driver/dispatcher.hpp"

#include <cstdio>

#include "program/commands.hpp"

namespace ombrix {

namespace {

void report_invalid() { std::fputs("ERROR: INVALID STATEMENT\n", stderr); }

// The rest of a line after its line number: a statement stores the line,
// nothing valid deletes it.
void numbered_line(Interpreter& interpreter, Scanner& scanner, int32_t line) {
  std::optional<Statement> statement = statement_parse(scanner);
  if (scanner.nesting_exceeded) {
    report_invalid();
  } else if (statement) {
    interpreter.program.insert(line, std::move(*statement));
  } else {
    interpreter.program.erase(line);
  }
}

}  // namespace

void interpret_line(Interpreter& interpreter, const char* text, LineOrigin origin) {
  Session session(interpreter);
  interpret_line(session, text, origin);
}

void interpret_line(Session& session, const char* text, LineOrigin origin) {
  if (text == nullptr || text[0] == '\0') return;
  Interpreter& interpreter = session.interpreter;
  Scanner scanner(text);
  // Commands and statements begin with a keyword, so a line that begins
  // with a number goes straight to the line-number step, as it would after
  // both had failed on it: a program's lines are read here.
  scan_next(scanner);
  if (scanner.kind == TOK_NUMBER) {
    if (origin == LineOrigin::synthesized) {
      report_invalid();
    } else {
      numbered_line(interpreter, scanner, number_to_int(number_of_token(scanner)));
    }
    return;
  }
  scan_unget(scanner);
  if (std::optional<TokenKind> command = command_parse(scanner)) {
    command_execute(interpreter, *command);
    return;
  }
  std::optional<Statement> statement = statement_parse(scanner);
  // A line nested deeper than the parser allows is rejected whole: a parse
  // cut short there must neither run part of the line nor leave a number
  // behind that the line-number step would store or delete.
  if (scanner.nesting_exceeded) {
    report_invalid();
    return;
  }
  if (statement) {
    // The flow code is dropped: a direct GOTO or END moves nothing.
    statement_execute(*statement, interpreter, FLOW_CONTINUE, FLOW_CONTINUE);
    return;
  }
  // A synthesized line that is no statement must not reach the line-number
  // step: a reply could otherwise store or delete lines of the running program.
  if (origin == LineOrigin::synthesized) {
    report_invalid();
    return;
  }
  // The failed attempts gave back only their last token, so the number may
  // stand after a keyword ("LET 5" deletes line 5).
  const std::optional<Number> number = number_parse(scanner);
  if (!number) {
    // The session commands take over lines that are otherwise invalid.
    if (!session_command_run(session, text)) report_invalid();
    return;
  }
  numbered_line(interpreter, scanner, number_to_int(*number));
}

}  // namespace ombrix
