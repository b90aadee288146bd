// All the state of one interpreter, made once by the driver and passed by
// reference; tests make a fresh one each.
#pragma once

#include <array>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "expr/eval_state.hpp"
#include "lexer/patterns.hpp"
#include "program/loop.hpp"
#include "program/program.hpp"
#include "program/shell.hpp"

namespace ombrix {

// What a running program needs from the layer above it: INPUT reads its
// reply through it and hands each synthesized LET line back to the line
// dispatcher.
class LineHost {
 public:
  virtual ~LineHost() = default;
  // One reply line from standard input, "? " first on a terminal. The text
  // stays valid until the next call.
  virtual const char* read_reply() = 0;
  // Dispatches a synthesized line as a direct statement and nothing else:
  // such a line can never store or delete a program line.
  virtual void dispatch_synthesized(const char* line) = 0;
};

// Why a running program must stop before it reaches its own end. Set from
// outside the statement that is running (Ctrl-C's signal handler) or by a
// statement that met a fixed bound; the run loop looks at it at every jump
// and at END, reports it and ends the run.
enum Halt : int {
  HALT_NONE = 0,
  HALT_INTERRUPT = 1,          // Ctrl-C on the terminal
  HALT_RETURN_STACK_FULL = 2,  // a GOSUB past RETURN_STACK_LIMIT
};

// GOSUBs that may be pending at once: deep enough for any recursion a
// program means (a million levels and more), small enough that a runaway
// GOSUB stops within a second, with the stack at 16 MiB.
inline constexpr std::size_t RETURN_STACK_LIMIT = std::size_t{1} << 22;

struct Interpreter {
  EvalState eval;
  Program program;
  std::array<ForRecord, VARIABLE_SLOTS> loops{};
  std::vector<int32_t> return_stack;
  bool stop = false;
  bool trace = false;
  // A signal handler may write it at any moment, hence volatile sig_atomic_t.
  volatile std::sig_atomic_t halt = HALT_NONE;
  Patterns patterns;
  LineHost* host = nullptr;
  ShellRunner shell_runner = shell_run;
  // Fuzzing bounds each run by the number of jumps it may take (the only way
  // a program can run long). Zero, as in the shipped program, means no bound.
  uint64_t jump_budget = 0;
  // SAVE and LOAD write and read files by any name; fuzzing turns them off
  // (the lines are then invalid), as it turns SHELL off.
  bool file_commands = true;
  // The file that SAVE or LOAD used last, for a SAVE without a name; empty
  // for none. CLEAR keeps it, as it keeps the trace flag.
  std::string file_name;
};

// Empties the program, the variables, the loop records and the return stack.
// Leaves the stop and trace flags, the seed and the patterns alone.
void interpreter_reset(Interpreter& interpreter);

}  // namespace ombrix
