#include "program/loop.hpp"

#include <cstdio>

#include "program/compile.hpp"
#include "program/interpreter.hpp"

namespace ombrix {

ForRecord& for_record_get(Interpreter& interpreter, char letter) {
  return interpreter.loops[static_cast<std::size_t>(variable_slot(letter))];
}

void for_record_set(Interpreter& interpreter, char letter, Value limit, Value step, int32_t line) {
  ForRecord& record = for_record_get(interpreter, letter);
  record.limit = number_or_absent(limit);
  record.step = number_or_absent(step);
  record.line = line;
}

bool loop_test(const ForRecord& record, Value value) {
  const Value d = number_sub(value, value_of(record.limit));
  const bool non_negative = !is_absent(record.step) && number_to_real(record.step) >= 0.0f;
  const Value p = number_mul(d, number_from_int(non_negative ? 1 : -1));
  return p && number_to_real(*p) <= 0.0f;
}

namespace {

bool is_next_of(const Statement& statement, char letter) {
  const auto* next = std::get_if<NextStatement>(&statement.body);
  return next != nullptr && next->variable.letter == letter;
}

}  // namespace

int32_t find_loop_exit(Interpreter& interpreter, int32_t for_line, char letter) {
  if (for_line <= 0) return FLOW_CONTINUE;
  const auto& lines = interpreter.program.lines();
  auto it = line_find(lines, for_line);
  if (it == lines.end()) return FLOW_CONTINUE;
  for (; it != lines.end(); ++it) {
    if (!is_next_of(it->second, letter)) continue;
    ++it;
    return it == lines.end() ? FLOW_CONTINUE : it->first;
  }
  return FLOW_CONTINUE;
}

// for -> FOR variable "=" expression TO expression [STEP expression]
std::optional<Statement> for_parse(Scanner& scanner) {
  std::optional<LetStatement> head = assignment_parse(scanner);
  if (!head) return std::nullopt;
  if (!scan_expect(scanner, TOK_TO)) return std::nullopt;
  Expression limit = expression_parse(scanner);
  if (!limit) return std::nullopt;
  Expression step;
  if (scan_expect(scanner, TOK_STEP)) {
    step = expression_parse(scanner);
    if (!step) return std::nullopt;
  }
  return parsed(ForStatement{head->variable, std::move(head->value), std::move(limit), std::move(step)});
}

// next -> NEXT variable
std::optional<Statement> next_parse(Scanner& scanner) {
  std::optional<Variable> variable = variable_parse(scanner);
  if (!variable) return std::nullopt;
  return parsed(NextStatement{*variable});
}

// The limit is evaluated before the step and both before the start, so in
// "FOR I = 1 TO I + 5" the limit sees the old I.
int32_t for_execute(const ForStatement& statement, Interpreter& interpreter, int32_t current, int32_t following) {
  const Value limit = expression_eval(statement.limit, interpreter.eval);
  if (!limit) return FLOW_CONTINUE;
  const Value step = statement.step ? expression_eval(statement.step, interpreter.eval) : number_from_int(1);
  if (!step) return FLOW_CONTINUE;
  const char letter = statement.variable.letter;
  for_record_set(interpreter, letter, limit, step, following);
  variable_set(interpreter.eval, letter, expression_eval(statement.start, interpreter.eval));
  if (loop_test(for_record_get(interpreter, letter), variable_get(interpreter.eval, letter))) return FLOW_CONTINUE;
  return find_loop_exit(interpreter, current, letter);
}

int32_t next_execute(const NextStatement& statement, Interpreter& interpreter, int32_t following) {
  ForRecord& record = for_record_get(interpreter, statement.variable.letter);
  if (record.empty()) return FLOW_CONTINUE;  // no FOR on this slot since the last reset
  const Value value = number_add(variable_get(interpreter.eval, statement.variable.letter), value_of(record.step));
  variable_set(interpreter.eval, statement.variable.letter, value);
  return loop_test(record, value) ? record.line : following;
}

void for_list(const ForStatement& statement, std::FILE* out) {
  std::fputs("FOR ", out);
  variable_list(statement.variable, out);
  std::fputs(" = ", out);
  expression_list(statement.start, out);
  std::fputs(" TO ", out);
  expression_list(statement.limit, out);
  if (!statement.step) return;
  std::fputs(" STEP ", out);
  expression_list(statement.step, out);
}

}  // namespace ombrix

namespace ombrix {

// FOR_LIMITS writes the record's limit and step, the start goes into the
// variable as LET would put it there, and FOR_TEST writes the body line and
// tests: the order in which the statement evaluates and records.
void for_compile(const ForStatement& statement, Compiler& compiler) {
  Code& code = compiler.code();
  const uint32_t slot = statement.variable.slot;
  const uint32_t limit = expression_compile(statement.limit, code, ExpressionUse::exact);
  // An absent limit ends the statement before its STEP is evaluated, which
  // may draw from RND.
  const uint32_t limit_check = statement.step ? code.emit({Op::FOR_LIMIT, 0, 0, limit}) : 0;
  const uint32_t step = statement.step ? expression_compile(statement.step, code, ExpressionUse::exact)
                                       : code.constant(number_from_int(1));
  const uint32_t limits = code.emit({Op::FOR_LIMITS, static_cast<uint8_t>(slot), 0, limit, step});
  expression_compile_into(statement.start, code, slot);
  const uint32_t test =
      code.emit({Op::FOR_TEST, static_cast<uint8_t>(slot), 0, static_cast<uint32_t>(compiler.following)});
  compiler.loop_exit(test, statement.variable.letter);
  code.instructions[limits].a = code.pc();
  if (statement.step) code.instructions[limit_check].a = code.pc();
}

// The loop's exit is a jump (where a halt is looked for) unless NEXT is on
// the last line, where its flow code is -1. The cached line starts as 0,
// which no line has: a jump there lands on the EXIT (program_compile
// fills in its pc).
void next_compile(const NextStatement& statement, Compiler& compiler) {
  compiler.exit_cache(
      compiler.code().emit({Op::NEXT, statement.variable.slot, 0, 0, compiler.following != FLOW_CONTINUE}));
}

}  // namespace ombrix
