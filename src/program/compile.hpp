// A stored program compiled into instructions (expr/code.hpp): what RUN
// executes. It is made from the statement trees whenever the program has
// changed since the last run, so it always says what the trees say.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "expr/code.hpp"
#include "program/statement.hpp"

namespace ombrix {

// Where a line's instructions start; a line that compiles to nothing (REM)
// starts where the next one does.
struct LineStart {
  int32_t number;
  uint32_t pc;
};

struct CompiledProgram {
  Code code;
  std::vector<LineStart> lines;  // in ascending order of number
  // Borrowed from the statement trees, which outlive the compiled program:
  // it is dropped whenever a line changes.
  std::vector<const char*> texts;             // string literals of PRINT, commands of SHELL
  std::vector<const InputStatement*> inputs;  // the variable lists of INPUT
  uint32_t exit_pc = 0;                       // the EXIT after the last line

  // The first instruction of the line with this number, or exit_pc when no
  // line has it: a jump there ends the run, as a jump to a missing line does.
  uint32_t pc_of_line(int32_t number) const;
  // The number of the line that holds the instruction at pc.
  int32_t line_at(uint32_t pc) const;
};

// What a statement's compile step works with: the code being built, and
// the following line's number, which the statement would be executed with.
class Compiler {
 public:
  explicit Compiler(CompiledProgram& program) : program_(program) {}

  Code& code() { return program_.code; }

  // The number of the line after the compiled one (-1 for the last).
  int32_t following = FLOW_CONTINUE;

  // The instruction's field a becomes the pc where the line with this
  // number starts, once every line is compiled.
  void jump_to_line(uint32_t instruction, int32_t number) { jumps_.push_back({instruction, number}); }
  // The FOR_TEST's exit: where the first "NEXT letter" from this line on
  // leads, as find_loop_exit finds it (the program cannot change during a
  // run, so its answer is known now).
  void loop_exit(uint32_t instruction, char letter) { loop_exits_.push_back({instruction, line_index_, letter}); }
  // The instruction's field b, the cached pc of RETURN or NEXT, becomes the
  // EXIT's pc once every line is compiled (see program_compile).
  void exit_cache(uint32_t instruction) { exit_caches_.push_back(instruction); }
  uint32_t text(const std::string& text);
  uint32_t input(const InputStatement& statement);

 private:
  friend CompiledProgram program_compile(const ProgramLines& lines);

  struct Jump {
    uint32_t instruction;
    int32_t number;
  };
  struct LoopExit {
    uint32_t instruction;
    std::size_t line_index;
    char letter;
  };

  CompiledProgram& program_;
  std::vector<Jump> jumps_;
  std::vector<LoopExit> loop_exits_;
  std::vector<uint32_t> exit_caches_;
  std::size_t line_index_ = 0;
};

// Each statement kind's compile step (in the module of its kind), and the
// dispatch over them.
void statement_compile(const Statement& statement, Compiler& compiler);

CompiledProgram program_compile(const ProgramLines& lines);

// A flow code that a constant target gives (GOTO 100, GOSUB 100): the
// line number, or nothing where the target is computed. Inline, as every
// IF ... THEN GOTO asks.
inline std::optional<int32_t> constant_target(const Expression& target) {
  const std::optional<Number> literal = target.literal();
  if (!literal) return std::nullopt;
  return number_to_int(*literal);
}

}  // namespace ombrix
