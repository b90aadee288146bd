// FOR and NEXT, and the loop records they share.
#pragma once

#include <cstdint>

#include "program/statement.hpp"
#include "values/number.hpp"

namespace ombrix {

// The loop record of one variable slot: what the last FOR on that slot
// recorded. Letters that share a variable slot share a record too.
struct ForRecord {
  Value limit;
  Value step;
  int32_t line = 0;  // the body line: the line after the FOR
  bool empty() const { return !limit && !step; }
};

ForRecord& for_record_get(Interpreter& interpreter, char letter);
void for_record_set(Interpreter& interpreter, char letter, Value limit, Value step, int32_t line);

// The line after the first stored "NEXT c" (same character as typed) from
// the FOR's line on, or -1 when there is none or it is the last line.
int32_t find_loop_exit(Interpreter& interpreter, int32_t for_line, char letter);

std::unique_ptr<Statement> for_parse(Scanner& scanner);
std::unique_ptr<Statement> next_parse(Scanner& scanner);
int32_t for_execute(const ForStatement& statement, Interpreter& interpreter, int32_t current, int32_t following);
int32_t next_execute(const NextStatement& statement, Interpreter& interpreter, int32_t following);
void for_list(const ForStatement& statement, std::FILE* out);

}  // namespace ombrix
