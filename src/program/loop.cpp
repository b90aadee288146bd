#include "program/loop.hpp"

#include <cstdio>

#include "program/interpreter.hpp"

namespace ombrix {

ForRecord& for_record_get(Interpreter& interpreter, char letter) {
  return interpreter.loops[static_cast<std::size_t>(variable_slot(letter))];
}

void for_record_set(Interpreter& interpreter, char letter, Value limit, Value step, int32_t line) {
  ForRecord& record = for_record_get(interpreter, letter);
  record.limit = limit;
  record.step = step;
  record.line = line;
}

namespace {

// (v - limit) * sign(step) <= 0, in the number arithmetic. A step of 0
// counts as positive, a NaN step as negative; an absent value fails.
bool loop_test(const ForRecord& record, Value value) {
  const Value d = number_sub(value, record.limit);
  const bool non_negative = record.step && number_to_real(*record.step) >= 0.0f;
  const Value p = number_mul(d, number_from_int(non_negative ? 1 : -1));
  return p && number_to_real(*p) <= 0.0f;
}

bool is_next_of(const Statement& statement, char letter) {
  const auto* next = std::get_if<NextStatement>(&statement.body);
  return next != nullptr && next->variable.letter == letter;
}

}  // namespace

int32_t find_loop_exit(Interpreter& interpreter, int32_t for_line, char letter) {
  if (for_line <= 0 || interpreter.program.empty()) return FLOW_CONTINUE;
  const std::size_t at = interpreter.program.image_index(for_line);
  if (at == NO_LINE) return FLOW_CONTINUE;
  std::vector<RunLine>& image = interpreter.program.image();
  RunLine& from = image[at];
  // The answer depends only on the program, which cannot change during a run.
  if (from.loop_exit_letter == letter) return from.loop_exit;
  int32_t exit = FLOW_CONTINUE;
  for (std::size_t i = at; i < image.size(); ++i) {
    if (is_next_of(*image[i].statement, letter)) {
      exit = image[i].following;
      break;
    }
  }
  from.loop_exit_letter = letter;
  from.loop_exit = exit;
  return exit;
}

// for -> FOR variable "=" expression TO expression [STEP expression]
std::unique_ptr<Statement> for_parse(Scanner& scanner) {
  std::optional<LetStatement> head = assignment_parse(scanner);
  if (!head) return nullptr;
  if (!scan_expect(scanner, TOK_TO)) return nullptr;
  std::unique_ptr<Expression> limit = expression_parse(scanner);
  if (!limit) return nullptr;
  std::unique_ptr<Expression> step;
  if (scan_expect(scanner, TOK_STEP)) {
    step = expression_parse(scanner);
    if (!step) return nullptr;
  }
  return std::make_unique<Statement>(
      Statement{ForStatement{head->variable, std::move(head->value), std::move(limit), std::move(step)}});
}

// next -> NEXT variable
std::unique_ptr<Statement> next_parse(Scanner& scanner) {
  std::optional<Variable> variable = variable_parse(scanner);
  if (!variable) return nullptr;
  return std::make_unique<Statement>(Statement{NextStatement{*variable}});
}

// The limit is evaluated before the step and both before the start, so in
// "FOR I = 1 TO I + 5" the limit sees the old I.
int32_t for_execute(const ForStatement& statement, Interpreter& interpreter, int32_t current, int32_t following) {
  const Value limit = expression_eval(*statement.limit, interpreter.eval);
  if (!limit) return FLOW_CONTINUE;
  const Value step = statement.step ? expression_eval(*statement.step, interpreter.eval) : number_from_int(1);
  if (!step) return FLOW_CONTINUE;
  const char letter = statement.variable.letter;
  for_record_set(interpreter, letter, limit, step, following);
  variable_set(interpreter.eval, letter, expression_eval(*statement.start, interpreter.eval));
  if (loop_test(for_record_get(interpreter, letter), variable_get(interpreter.eval, letter))) return FLOW_CONTINUE;
  return find_loop_exit(interpreter, current, letter);
}

int32_t next_execute(const NextStatement& statement, Interpreter& interpreter, int32_t following) {
  const std::size_t slot = statement.variable.slot;
  const ForRecord& record = interpreter.loops[slot];
  Value& variable = interpreter.eval.variables[slot];
  if (record.empty()) return FLOW_CONTINUE;  // no FOR on this slot since the last reset
  if (variable && variable->is_integer() && record.step->is_integer() && record.limit->is_integer()) {
    // All integers: the loop test in 32-bit wrapping arithmetic, where
    // (d * sign) <= 0 read as a real is the same as read as an integer.
    const int32_t step = record.step->integer();
    const uint32_t value = variable->payload + record.step->payload;
    variable = number_from_int(static_cast<int32_t>(value));
    const uint32_t d = value - record.limit->payload;
    const uint32_t p = step >= 0 ? d : 0u - d;
    return static_cast<int32_t>(p) <= 0 ? record.line : following;
  }
  const Value value = number_add(variable, record.step);
  variable = value;
  return loop_test(record, value) ? record.line : following;
}

void for_list(const ForStatement& statement, std::FILE* out) {
  std::fputs("FOR ", out);
  variable_list(statement.variable, out);
  std::fputs(" = ", out);
  expression_list(*statement.start, out);
  std::fputs(" TO ", out);
  expression_list(*statement.limit, out);
  if (!statement.step) return;
  std::fputs(" STEP ", out);
  expression_list(*statement.step, out);
}

}  // namespace ombrix
