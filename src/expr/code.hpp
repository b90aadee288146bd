// Compiled code: the form in which a stored program runs.
//
// Before a run, the stored program is compiled into one array of
// instructions (program/compile.cpp), which the run loop executes with one
// dispatch per instruction (program/run.cpp). Most statements are one
// instruction: LET S = S + J is one ADD that writes S, NEXT J is one NEXT,
// IF D * D > N THEN GOTO 90 is one MULTIPLY and one JUMP_GT. The parse tree
// stays the program's stored form: LIST and the trace read it, direct
// statements walk it, and the tests hold this code to that walk.
//
// Operands are cells: indices into EvalState::cells. Cells 0 to 25 are the
// variables; after them come the program's constants and temporaries, each
// in a cell of its own, so that one index into one array reaches any
// operand. Jump targets are instruction indices ("pc"), resolved when the
// program is compiled; "line" operands are line numbers, as the statements
// use them.
//
//   op              mode      a             b             c
//   MOVE            -         dst           x             -            dst = x + 0
//   NEGATE          LONE      dst           x             -            dst = -1 * x
//   ADD             LONE      dst           x             y            dst = x + y
//   SUBTRACT        LONE      dst           x             y            dst = x + (-1 * y)
//   MULTIPLY        LONE      dst           x             y            dst = x * y
//   DIVIDE          LONE      dst           x             y            dst = x / y
//   INT_DIVIDE      LONE      dst           x             y            dst = x \ y
//   MODULO          LONE      dst           x             y            dst = x MOD y
//   POWER           LONE      dst           x             y            dst = x ^ y
//   CALL            LONE,ARG  dst           x             function     dst = f(x), f one of SIN ... INT
//   RND             -         dst           -             -            dst = RND
//   TIME            -         dst           -             -            dst = TIME
//   PRINT           -         x             -             -            writes x as PRINT does
//   PRINT_TEXT      -         text          -             -            writes a string literal
//   PRINT_END       -         -             -             -            writes the line end
//   JUMP            -         target pc     -             -            GOTO a constant line
//   GOTO            -         x             -             -            GOTO the line x names
//   GOSUB           -         target pc     following     -            GOSUB a constant line
//   GOSUB_TO        -         x             following     -            GOSUB the line x names
//   RETURN          -         cached line   cached pc     -
//   IF_LE ... IF_EQ -         skip pc       left          right        skips THEN's statement if the test fails
//   JUMP_LE ...     -         target pc     left          right        IF ... THEN GOTO a constant line
//   FOR_LIMIT       -         skip pc       limit         -            skips the FOR if the limit is absent (before
//   STEP) FOR_LIMITS      slot      skip pc       limit         step         records both, or skips the FOR (one
//   absent) FOR_TEST        slot      exit pc       following     exit jumps   records the body line and tests the loop
//   NEXT            slot      cached line   cached pc     exit jumps
//   END             -         -             -             -
//   STOP, CLS, BEEP, RANDOMIZE                                         as the statements
//   SHELL           -         text          -             -
//   INPUT           -         input list    -             -
//   BAD_RELOP       -         kind          -             -            an IF whose operator is corrupt: the fatal error
//   EXIT            -         -             -             -            after the last line: the run ends
//
// LONE: the instruction computes the value of a lone term, and the
// expression adds integer 0 to it: a real -0 becomes +0. ARGUMENT_LONE: the
// same for CALL's argument, x + 0, before the function sees it; SIN(X) so
// reads X without a MOVE of its own. "exit jumps" is 1
// where the statement's flow code on leaving the loop is a line number (a
// jump, where the run looks for a halt), 0 where it is "continue". The
// cached line and pc of RETURN and NEXT remember where the last jump to a
// line number landed.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "values/number.hpp"

namespace ombrix {

enum class Op : uint8_t {
  MOVE,
  NEGATE,
  ADD,
  SUBTRACT,
  MULTIPLY,
  DIVIDE,
  INT_DIVIDE,
  MODULO,
  POWER,
  CALL,
  RND,
  TIME,
  PRINT,
  PRINT_TEXT,
  PRINT_END,
  JUMP,
  GOTO,
  GOSUB,
  GOSUB_TO,
  RETURN,
  IF_LE,
  IF_NE,
  IF_LT,
  IF_GE,
  IF_GT,
  IF_EQ,
  JUMP_LE,
  JUMP_NE,
  JUMP_LT,
  JUMP_GE,
  JUMP_GT,
  JUMP_EQ,
  FOR_LIMIT,
  FOR_LIMITS,
  FOR_TEST,
  NEXT,
  END,
  STOP,
  CLS,
  BEEP,
  RANDOMIZE,
  SHELL,
  INPUT,
  BAD_RELOP,
  EXIT,
};

inline constexpr uint8_t LONE = 1;
inline constexpr uint8_t ARGUMENT_LONE = 2;

struct Instruction {
  Op op;
  uint8_t mode = 0;
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t c = 0;
};

// Where a compiled program's cells start: after the variables.
inline constexpr uint32_t FIRST_PROGRAM_CELL = 26;

// The instructions of a program and the initial contents of its cells from
// FIRST_PROGRAM_CELL on: each constant's value, and the absent value in each
// temporary.
class Code {
 public:
  std::vector<Instruction> instructions;
  std::vector<Number> cells;

  uint32_t pc() const { return static_cast<uint32_t>(instructions.size()); }
  uint32_t emit(const Instruction& instruction) {
    instructions.push_back(instruction);
    return pc() - 1;
  }
  const Instruction& last() const { return instructions.back(); }
  Instruction& last() { return instructions.back(); }

  uint32_t constant(Number value) { return add_cell(value); }
  // A temporary lives within one statement: every statement reuses the
  // same few cells, the k-th temporary it takes always being the same one.
  uint32_t temporary() {
    if (temporaries_in_use_ == temporaries_.size()) temporaries_.push_back(add_cell(ABSENT_NUMBER));
    return temporaries_[temporaries_in_use_++];
  }
  // Gives back the temporary taken last.
  void release_temporary() { --temporaries_in_use_; }
  void statement_begin() { temporaries_in_use_ = 0; }

 private:
  uint32_t add_cell(Number value) {
    cells.push_back(value);
    return FIRST_PROGRAM_CELL + static_cast<uint32_t>(cells.size()) - 1;
  }

  std::vector<uint32_t> temporaries_;
  std::size_t temporaries_in_use_ = 0;
};

// A cell as one 64-bit word: the tag in the low half, the payload in the
// high half (number_make builds it so). For two integers, whose tags are
// both 0, integer +, - and * on the words give the result's word directly:
// no carry crosses from the low halves, and the high halves wrap at 32
// bits as the language's integers do.
static_assert(std::endian::native == std::endian::little, "a Number's tag is the low half of its word");
inline uint64_t word_of(Number n) { return std::bit_cast<uint64_t>(n); }
inline Number number_of_word(uint64_t word) { return std::bit_cast<Number>(word); }
inline bool both_integer_words(uint64_t x, uint64_t y) { return static_cast<uint32_t>(x | y) == NUMBER_INTEGER; }
inline int32_t word_integer(uint64_t word) { return static_cast<int32_t>(word >> 32); }

// The single-precision steps of +, * and /, on words: where neither operand
// is absent and one is real. Each operand becomes a real (an integer the
// nearest one) and the result is the operation's, with real_result's NaN.
// They stay in registers, as a Number returned through the general
// arithmetic does not.
inline bool both_present_words(uint64_t x, uint64_t y) { return static_cast<uint32_t>(x | y) <= NUMBER_REAL; }
inline float word_real(uint64_t word) {
  const auto payload = static_cast<uint32_t>(word >> 32);
  if (static_cast<uint32_t>(word) == NUMBER_INTEGER) return static_cast<float>(static_cast<int32_t>(payload));
  return std::bit_cast<float>(payload);
}
inline uint64_t real_word(float value) { return uint64_t{std::bit_cast<uint32_t>(value)} << 32 | NUMBER_REAL; }
inline float real_add(float x, float y) { return real_result(x + y, x, y); }
inline float real_multiply(float x, float y) { return real_result(x * y, x, y); }
inline float real_divide(float x, float y) { return real_result(x / y, x, y); }
// A lone term's real value + 0: -0 becomes +0, everything else stays.
inline float lone_real(float value) { return value == 0.0f ? 0.0f : value; }

// The value a lone term's expression gives: the term's value + integer 0,
// which changes nothing but a real -0.
inline Number lone_value(Number n) {
  return n.tag == NUMBER_REAL && n.payload == 0x80000000u ? number_from_float(0.0f) : n;
}

// -1 * x, as the integer product gives it: for a real, the sign bit flips,
// except on a NaN, which the product passes on unchanged.
inline Number cell_negate(Number x) {
  if (x.tag == NUMBER_INTEGER) return number_from_int(static_cast<int32_t>(0u - x.payload));
  if (x.tag == NUMBER_ABSENT) return x;
  const float f = x.real();
  return f != f ? x : number_from_float(-f);
}

// The arithmetic on two cells. The tags OR together to 0 for two integers,
// to 1 when one is real and neither is absent, and to 2 or 3 when one is
// absent, which makes the result absent. The callers test for two integers
// first, inline, where it is the common case.
inline bool both_present(Number x, Number y) { return (x.tag | y.tag) <= NUMBER_REAL; }
inline Number cell_add(Number x, Number y) { return both_present(x, y) ? number_add(x, y) : ABSENT_NUMBER; }
// x + (-1 * y): for an integer y the product wraps first, so -(-2^31) stays
// -2^31 even when x is real.
inline Number cell_subtract(Number x, Number y) { return cell_add(x, cell_negate(y)); }
inline Number cell_multiply(Number x, Number y) { return both_present(x, y) ? number_mul(x, y) : ABSENT_NUMBER; }
inline Number cell_divide(Number x, Number y) { return both_present(x, y) ? number_div(x, y) : ABSENT_NUMBER; }
Number cell_int_divide(Number x, Number y);
Number cell_modulo(Number x, Number y);
Number cell_power(Number x, Number y);

// The operand of an IF as a single-precision real: the absent value
// compares like a NaN.
inline float cell_real(Number x) {
  if (x.tag == NUMBER_INTEGER) return static_cast<float>(x.integer());
  return x.tag == NUMBER_REAL ? x.real() : __builtin_nanf("");
}

// One instruction in words, as "ADD S S J" or "JUMP_GT @7 N #100": cells
// as variable letters (the slot's upper-case letter), constants as #value
// and temporaries as t<cell>; pcs as @pc.
std::string instruction_text(const Instruction& instruction, const Code& code);

}  // namespace ombrix
