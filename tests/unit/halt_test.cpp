// A run stopped from outside (Ctrl-C) or by the return stack's bound: where
// it stops, what it says, and what it leaves as it was.
#include <sys/time.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "capture.hpp"
#include "driver/dispatcher.hpp"
#include "helpers.hpp"
#include "program/flow.hpp"
#include "program/interpreter.hpp"

namespace ombrix {
namespace {

// The interpreter that the stand-ins below stop, as Ctrl-C's handler would.
Interpreter* target = nullptr;
int shell_calls = 0;
int interrupt_at_call = 0;

int32_t shell_that_is_interrupted(const char*) {
  if (++shell_calls == interrupt_at_call) target->halt = HALT_INTERRUPT;
  return 0;
}

// An INPUT reply whose wait is ended by Ctrl-C.
class InterruptedReplyHost final : public LineHost {
 public:
  const char* read_reply() override {
    target->halt = HALT_INTERRUPT;
    return "42";
  }
  void dispatch_synthesized(const char* line) override { interpret_line(*target, line, LineOrigin::synthesized); }
};

void type_lines(Interpreter& interpreter, const std::vector<const char*>& lines) {
  for (const char* line : lines) interpret_line(interpreter, line);
}

struct RunOutput {
  std::string out;
  std::string err;
};

RunOutput run(Interpreter& interpreter) {
  RunOutput result;
  result.err = testing::capture_stream(
      stderr, [&] { result.out = testing::capture_stdout([&] { interpret_line(interpreter, "RUN"); }); });
  return result;
}

TEST(HaltTest, InterruptDuringShellStopsAtThatLineAndKeepsEverything) {
  Interpreter interpreter;
  target = &interpreter;
  shell_calls = 0;
  interrupt_at_call = 3;
  interpreter.shell_runner = shell_that_is_interrupted;
  type_lines(interpreter, {"LET N = 0", "10 LET N = N + 1", "20 SHELL \"sleep 9\"", "30 GOTO 10"});
  const RunOutput stopped = run(interpreter);
  EXPECT_EQ(stopped.err, "ERROR: BREAK IN LINE 20\n");
  EXPECT_EQ(shell_calls, 3);
  EXPECT_TRUE(same_bits(variable_get(interpreter.eval, 'N'), I(3)));
  EXPECT_EQ(interpreter.halt, HALT_NONE);
  EXPECT_EQ(interpreter.program.size(), 3u);
  // The next run starts afresh and is stopped again only by a new Ctrl-C.
  interrupt_at_call = 5;
  EXPECT_EQ(run(interpreter).err, "ERROR: BREAK IN LINE 20\n");
  EXPECT_TRUE(same_bits(variable_get(interpreter.eval, 'N'), I(5)));
}

TEST(HaltTest, InterruptDuringInputAssignsNothingAndStopsThere) {
  Interpreter interpreter;
  target = &interpreter;
  InterruptedReplyHost host;
  interpreter.host = &host;
  type_lines(interpreter, {"LET A = 1", "10 PRINT \"before\"", "20 INPUT A", "30 PRINT \"after\""});
  const RunOutput stopped = run(interpreter);
  EXPECT_EQ(stopped.out, "before\n");
  EXPECT_EQ(stopped.err, "ERROR: BREAK IN LINE 20\n");
  EXPECT_TRUE(same_bits(variable_get(interpreter.eval, 'A'), I(1)));
}

// A loop with nothing in it but jumps: the signal arrives while it spins.
TEST(HaltTest, InterruptStopsAnEndlessLoopOfJumps) {
  Interpreter interpreter;
  target = &interpreter;
  type_lines(interpreter, {"10 GOTO 20", "20 FOR I = 1 TO 2 STEP 0", "30 NEXT I", "40 GOTO 10"});
  struct sigaction action {};
  action.sa_handler = [](int) { target->halt = HALT_INTERRUPT; };
  sigaction(SIGALRM, &action, nullptr);
  itimerval once{};
  once.it_value.tv_usec = 50000;
  setitimer(ITIMER_REAL, &once, nullptr);
  const RunOutput stopped = run(interpreter);
  signal(SIGALRM, SIG_DFL);
  // STEP 0 never ends: NEXT jumps back to itself.
  EXPECT_EQ(stopped.err, "ERROR: BREAK IN LINE 30\n");
  EXPECT_TRUE(same_bits(variable_get(interpreter.eval, 'I'), I(1)));
}

// A Ctrl-C left over from before the run (a direct SHELL that was
// interrupted) does not stop it.
TEST(HaltTest, HaltFromBeforeTheRunIsForgotten) {
  Interpreter interpreter;
  type_lines(interpreter, {"10 GOTO 20", "20 PRINT \"ran\""});
  interpreter.halt = HALT_INTERRUPT;
  const RunOutput ran = run(interpreter);
  EXPECT_EQ(ran.out, "ran\n");
  EXPECT_EQ(ran.err, "");
}

TEST(HaltTest, ReturnStackBoundStopsTheGosubAndEmptiesTheStack) {
  Interpreter interpreter;
  interpreter.return_stack.assign(RETURN_STACK_LIMIT - 1, 7);
  type_lines(interpreter, {"10 GOSUB 20", "20 IF 1 = 1 THEN GOSUB 20", "30 PRINT \"not reached\""});
  const RunOutput stopped = run(interpreter);
  EXPECT_EQ(stopped.out, "");
  EXPECT_EQ(stopped.err, "ERROR: TOO MANY NESTED GOSUBS IN LINE 20\n");
  EXPECT_TRUE(interpreter.return_stack.empty());
  EXPECT_EQ(interpreter.halt, HALT_NONE);
  // One below the bound still pushes.
  interpreter.return_stack.assign(RETURN_STACK_LIMIT - 1, 7);
  EXPECT_TRUE(return_push(interpreter, 30));
  EXPECT_FALSE(return_push(interpreter, 30));
  EXPECT_EQ(interpreter.return_stack.size(), RETURN_STACK_LIMIT);
}

}  // namespace
}  // namespace ombrix
