#include "program/input.hpp"

#include <cstdio>
#include <cstring>
#include <string>

#include "program/compile.hpp"
#include "program/interpreter.hpp"

namespace ombrix {

std::optional<Statement> input_parse(Scanner& scanner) {
  InputStatement statement;
  for (;;) {
    std::optional<Variable> variable = variable_parse(scanner);
    if (!variable) {
      if (statement.variables.empty()) return std::nullopt;
      break;  // after a comma: the comma stays consumed and ends the list
    }
    statement.variables.push_back(*variable);
    if (!scan_expect(scanner, TOK_COMMA)) break;
  }
  return parsed(std::move(statement));
}

void input_list(const InputStatement& statement, std::FILE* out) {
  std::fputs("INPUT ", out);
  bool first = true;
  for (const Variable variable : statement.variables) {
    if (!first) std::fputs(", ", out);
    first = false;
    variable_list(variable, out);
  }
}

int32_t input_execute(const InputStatement& statement, Interpreter& interpreter) {
  if (interpreter.host == nullptr) return FLOW_CONTINUE;
  const char* reply = interpreter.host->read_reply();
  // Ctrl-C while waiting for the reply: nothing is assigned, the run ends.
  if (interpreter.halt != HALT_NONE) return FLOW_END;
  input_assign(statement, reply, *interpreter.host);
  return FLOW_CONTINUE;
}

// The reply is read and assigned as the statement does it, through the
// host; the compiled program only says which statement.
void input_compile(const InputStatement& statement, Compiler& compiler) {
  compiler.code().emit({Op::INPUT, 0, compiler.input(statement)});
}

void input_assign(const InputStatement& statement, const char* reply, LineHost& host) {
  if (reply == nullptr) return;
  // Fields are cut as strsep(..., ",") cuts them: the first field starts at
  // the beginning, and after the field that reaches the end none is left.
  std::string fields(reply);
  char* cursor = fields.data();
  // "LET " + letter + " = " + the longest field fits in the reply's length plus 16.
  std::string line(fields.size() + 16, '\0');
  for (const Variable variable : statement.variables) {
    const char* field = cursor != nullptr ? strsep(&cursor, ",") : "0";
    std::snprintf(line.data(), line.size(), "LET %c = %s", variable.letter, field);
    host.dispatch_synthesized(line.c_str());
  }
}

}  // namespace ombrix
