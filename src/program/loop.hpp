// FOR and NEXT, and the loop records they share.
#pragma once

#include <cstdint>

#include "program/statement.hpp"
#include "values/number.hpp"

namespace ombrix {

// The loop record of one variable slot: what the last FOR on that slot
// recorded. Letters that share a variable slot share a record too.
// Limit and step hold ABSENT_NUMBER in an empty record, so that the
// compiled NEXT tells three integers apart from anything else by their tags.
struct ForRecord {
  Number limit = ABSENT_NUMBER;
  Number step = ABSENT_NUMBER;
  int32_t line = 0;  // the body line: the line after the FOR
  bool empty() const { return is_absent(limit) && is_absent(step); }
};

ForRecord& for_record_get(Interpreter& interpreter, char letter);
void for_record_set(Interpreter& interpreter, char letter, Value limit, Value step, int32_t line);

// The loop test: (v - limit) * sign(step) <= 0 in the number arithmetic,
// read as a real. A step of 0 counts as positive, a NaN step as negative;
// an absent value fails.
bool loop_test(const ForRecord& record, Value value);

// The same test for the compiled FOR and NEXT. With the value, the limit and
// the step all integers it runs in 32-bit wrapping arithmetic, where
// (d * sign) <= 0 read as an integer is the same as read as a real.
inline bool loop_test_cells(const ForRecord& record, Number value) {
  if ((value.tag | record.limit.tag | record.step.tag) != NUMBER_INTEGER) return loop_test(record, value_of(value));
  const uint32_t d = value.payload - record.limit.payload;
  const uint32_t p = record.step.integer() >= 0 ? d : 0u - d;
  return static_cast<int32_t>(p) <= 0;
}

// The line after the first stored "NEXT c" (same character as typed) from
// the FOR's line on, or -1 when there is none or it is the last line.
int32_t find_loop_exit(Interpreter& interpreter, int32_t for_line, char letter);

std::optional<Statement> for_parse(Scanner& scanner);
std::optional<Statement> next_parse(Scanner& scanner);
int32_t for_execute(const ForStatement& statement, Interpreter& interpreter, int32_t current, int32_t following);
int32_t next_execute(const NextStatement& statement, Interpreter& interpreter, int32_t following);
void for_list(const ForStatement& statement, std::FILE* out);

class Compiler;
void for_compile(const ForStatement& statement, Compiler& compiler);
void next_compile(const NextStatement& statement, Compiler& compiler);

}  // namespace ombrix
