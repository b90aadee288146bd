#include "expr/code.hpp"

#include <array>
#include <cstdio>

#include "expr/builtins.hpp"

namespace ombrix {

Number cell_int_divide(Number x, Number y) { return both_present(x, y) ? number_idiv(x, y) : ABSENT_NUMBER; }
Number cell_modulo(Number x, Number y) { return both_present(x, y) ? number_mod(x, y) : ABSENT_NUMBER; }
Number cell_power(Number x, Number y) { return both_present(x, y) ? number_pow(x, y) : ABSENT_NUMBER; }

namespace {

// What each operand field of an instruction holds.
enum class Field : uint8_t { none, cell, pc, line, text, input, flag, kind };

struct OpInfo {
  const char* name;
  std::array<Field, 3> fields;  // a, b, c
};

using F = Field;
constexpr std::array<OpInfo, static_cast<std::size_t>(Op::EXIT) + 1> op_info{{
    {"MOVE", {F::cell, F::cell, F::none}},
    {"NEGATE", {F::cell, F::cell, F::none}},
    {"ADD", {F::cell, F::cell, F::cell}},
    {"SUBTRACT", {F::cell, F::cell, F::cell}},
    {"MULTIPLY", {F::cell, F::cell, F::cell}},
    {"DIVIDE", {F::cell, F::cell, F::cell}},
    {"INT_DIVIDE", {F::cell, F::cell, F::cell}},
    {"MODULO", {F::cell, F::cell, F::cell}},
    {"POWER", {F::cell, F::cell, F::cell}},
    {"CALL", {F::cell, F::cell, F::none}},  // the function is named before the operands
    {"RND", {F::cell, F::none, F::none}},
    {"TIME", {F::cell, F::none, F::none}},
    {"PRINT", {F::cell, F::none, F::none}},
    {"PRINT_TEXT", {F::text, F::none, F::none}},
    {"PRINT_END", {F::none, F::none, F::none}},
    {"JUMP", {F::pc, F::none, F::none}},
    {"GOTO", {F::cell, F::none, F::none}},
    {"GOSUB", {F::pc, F::line, F::none}},
    {"GOSUB_TO", {F::cell, F::line, F::none}},
    {"RETURN", {F::line, F::pc, F::none}},
    {"IF_LE", {F::pc, F::cell, F::cell}},
    {"IF_NE", {F::pc, F::cell, F::cell}},
    {"IF_LT", {F::pc, F::cell, F::cell}},
    {"IF_GE", {F::pc, F::cell, F::cell}},
    {"IF_GT", {F::pc, F::cell, F::cell}},
    {"IF_EQ", {F::pc, F::cell, F::cell}},
    {"JUMP_LE", {F::pc, F::cell, F::cell}},
    {"JUMP_NE", {F::pc, F::cell, F::cell}},
    {"JUMP_LT", {F::pc, F::cell, F::cell}},
    {"JUMP_GE", {F::pc, F::cell, F::cell}},
    {"JUMP_GT", {F::pc, F::cell, F::cell}},
    {"JUMP_EQ", {F::pc, F::cell, F::cell}},
    {"FOR_LIMIT", {F::pc, F::cell, F::none}},
    {"FOR_LIMITS", {F::pc, F::cell, F::cell}},
    {"FOR_TEST", {F::pc, F::line, F::flag}},
    {"NEXT", {F::line, F::pc, F::flag}},
    {"END", {F::none, F::none, F::none}},
    {"STOP", {F::none, F::none, F::none}},
    {"CLS", {F::none, F::none, F::none}},
    {"BEEP", {F::none, F::none, F::none}},
    {"RANDOMIZE", {F::none, F::none, F::none}},
    {"SHELL", {F::text, F::none, F::none}},
    {"INPUT", {F::input, F::none, F::none}},
    {"BAD_RELOP", {F::kind, F::none, F::none}},
    {"EXIT", {F::none, F::none, F::none}},
}};

constexpr bool op_info_is_complete() {
  for (const OpInfo& info : op_info) {
    if (info.name == nullptr) return false;
  }
  return true;
}
static_assert(op_info_is_complete(), "every Op needs its row in op_info");

bool has_slot(Op op) { return op == Op::FOR_LIMITS || op == Op::FOR_TEST || op == Op::NEXT; }

bool may_be_lone(Op op) {
  switch (op) {
    case Op::ADD:
    case Op::SUBTRACT:
    case Op::CALL:
    case Op::NEGATE:
    case Op::MULTIPLY:
    case Op::DIVIDE:
    case Op::INT_DIVIDE:
    case Op::MODULO:
    case Op::POWER: return true;
    default: return false;
  }
}

// Appends a cell: a variable's letter, a constant's value, a temporary's number.
void append_cell(std::string& text, uint32_t cell, const Code& code) {
  char part[48];
  const std::size_t at = cell - FIRST_PROGRAM_CELL;
  if (cell < FIRST_PROGRAM_CELL) {
    std::snprintf(part, sizeof part, " %c", static_cast<char>('A' + cell));
  } else if (at < code.cells.size() && code.cells[at].tag == NUMBER_INTEGER) {
    std::snprintf(part, sizeof part, " #%d", code.cells[at].integer());
  } else if (at < code.cells.size() && code.cells[at].tag == NUMBER_REAL) {
    std::snprintf(part, sizeof part, " #%g", static_cast<double>(code.cells[at].real()));
  } else {
    std::snprintf(part, sizeof part, " t%u", cell);
  }
  text.append(part);
}

}  // namespace

std::string instruction_text(const Instruction& instruction, const Code& code) {
  const OpInfo& info = op_info[static_cast<std::size_t>(instruction.op)];
  std::string text = info.name;
  char part[48];
  if (instruction.op == Op::CALL) {
    const char* names[] = {"SIN", "COS", "TAN", "COT", "ATN", "EXP", "LOG", "ABS", "SGN", "SQR", "INT"};
    const int at = static_cast<int>(instruction.c) - TOK_SIN;
    text.append(" ").append(at >= 0 && at < 11 ? names[at] : "?");
  }
  if (has_slot(instruction.op)) text.append(" ").push_back(static_cast<char>('A' + instruction.mode));
  const uint32_t operands[] = {instruction.a, instruction.b, instruction.c};
  for (std::size_t i = 0; i < 3; ++i) {
    const uint32_t value = operands[i];
    part[0] = '\0';
    switch (info.fields[i]) {
      case Field::none: break;
      case Field::cell: append_cell(text, value, code); break;
      case Field::pc: std::snprintf(part, sizeof part, " @%u", value); break;
      case Field::line: std::snprintf(part, sizeof part, " line %d", static_cast<int32_t>(value)); break;
      case Field::text: std::snprintf(part, sizeof part, " text %u", value); break;
      case Field::input: std::snprintf(part, sizeof part, " input %u", value); break;
      case Field::flag: std::snprintf(part, sizeof part, value != 0 ? " jumps" : " continues"); break;
      case Field::kind: std::snprintf(part, sizeof part, " kind %d", static_cast<int32_t>(value)); break;
    }
    text.append(part);
  }
  if (may_be_lone(instruction.op) && (instruction.mode & LONE) != 0) text.append(" lone");
  if (instruction.op == Op::CALL && (instruction.mode & ARGUMENT_LONE) != 0) text.append(" lone-argument");
  return text;
}

}  // namespace ombrix
