// The compiled program must do exactly what walking the statement trees
// does: the same output, the same bits in every variable, the same loop
// records, return stack and random seed, and the same number of jumps.
// Each test runs the same program both ways from the same state.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "capture.hpp"
#include "driver/dispatcher.hpp"
#include "helpers.hpp"
#include "program/flow.hpp"
#include "program/interpreter.hpp"
#include "program/loop.hpp"
#include "program/run.hpp"

namespace ombrix {
namespace {

const std::vector<Number> interesting_numbers = {
    ABSENT_NUMBER,
    I(0),
    I(1),
    I(-1),
    I(7),
    I(-7),
    I(INT32_MAX),
    I(INT32_MIN),
    I(16777217),
    R(0.0f),
    R(-0.0f),
    R(2.5f),
    R(-7.5f),
    R(1e30f),
    R(INFINITY),
    R(-INFINITY),
    R(std::nanf("")),
    R(-std::nanf("")),
    R(3e9f),
};

// Everything a run can change.
struct State {
  std::array<Number, VARIABLE_SLOTS> variables{};
  std::array<ForRecord, VARIABLE_SLOTS> loops{};
  std::vector<int32_t> return_stack;
  uint64_t seed = 1;
  bool stop = false;
};

void restore(Interpreter& interpreter, const State& state) {
  std::copy(state.variables.begin(), state.variables.end(), interpreter.eval.cells.begin());
  interpreter.loops = state.loops;
  interpreter.return_stack = state.return_stack;
  interpreter.eval.random_seed = state.seed;
  interpreter.stop = state.stop;
}

State take(const Interpreter& interpreter) {
  State state;
  std::copy_n(interpreter.eval.cells.begin(), VARIABLE_SLOTS, state.variables.begin());
  state.loops = interpreter.loops;
  state.return_stack = interpreter.return_stack;
  state.seed = interpreter.eval.random_seed;
  state.stop = interpreter.stop;
  return state;
}

std::string describe(Number n) { return ombrix::describe(value_of(n)); }

// Same tag and payload bits.
bool same(Number a, Number b) { return a.tag == b.tag && a.payload == b.payload; }

::testing::AssertionResult same_state(const State& compiled, const State& walked) {
  for (int i = 0; i < VARIABLE_SLOTS; ++i) {
    if (!same(compiled.variables[i], walked.variables[i])) {
      return ::testing::AssertionFailure()
             << "variable " << static_cast<char>('A' + i) << ": compiled " << describe(compiled.variables[i])
             << ", walked " << describe(walked.variables[i]);
    }
    const ForRecord& c = compiled.loops[i];
    const ForRecord& w = walked.loops[i];
    if (!same(c.limit, w.limit) || !same(c.step, w.step) || c.line != w.line) {
      return ::testing::AssertionFailure()
             << "loop record " << static_cast<char>('A' + i) << ": compiled " << describe(c.limit) << " "
             << describe(c.step) << " " << c.line << ", walked " << describe(w.limit) << " " << describe(w.step) << " "
             << w.line;
    }
  }
  if (compiled.return_stack != walked.return_stack) return ::testing::AssertionFailure() << "return stacks differ";
  if (compiled.seed != walked.seed) return ::testing::AssertionFailure() << "random seeds differ";
  if (compiled.stop != walked.stop) return ::testing::AssertionFailure() << "stop flags differ";
  return ::testing::AssertionSuccess();
}

// Runs the stored program from each start state in turn, compiled or by
// the tree walk; returns everything the runs wrote and the state after each.
std::string run_all(Interpreter& interpreter, bool compiled, const std::vector<State>& starts,
                    std::vector<State>& ends) {
  ends.clear();
  return testing::capture_stdout([&] {
    for (const State& start : starts) {
      restore(interpreter, start);
      if (compiled) {
        program_run(interpreter);
      } else {
        program_walk(interpreter);
      }
      std::fflush(stdout);
      ends.push_back(take(interpreter));
    }
  });
}

std::time_t fixed_clock(std::time_t* out) {
  const std::time_t now = 1700000000;
  if (out != nullptr) *out = now;
  return now;
}

// Types the lines into two interpreters and runs both from the same states:
// compiled and walked. TIME and RANDOMIZE read a clock that stands still.
void expect_same_runs(const std::vector<std::string>& lines, const std::vector<State>& starts, uint64_t budget) {
  Interpreter compiled;
  Interpreter walked;
  compiled.eval.clock = fixed_clock;
  walked.eval.clock = fixed_clock;
  for (const std::string& line : lines) {
    interpret_line(compiled, line.c_str());
    interpret_line(walked, line.c_str());
  }
  compiled.jump_budget = budget;
  walked.jump_budget = budget;
  std::vector<State> compiled_ends;
  std::vector<State> walked_ends;
  const std::string compiled_output = run_all(compiled, true, starts, compiled_ends);
  const std::string walked_output = run_all(walked, false, starts, walked_ends);
  std::string program;
  for (const std::string& line : lines) program += line + "\n";
  ASSERT_EQ(compiled_output, walked_output) << program;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    ASSERT_TRUE(same_state(compiled_ends[i], walked_ends[i])) << "start " << i << " of\n" << program;
  }
}

std::vector<State> random_variable_states(std::mt19937& random, int count) {
  std::uniform_int_distribution<std::size_t> pick(0, interesting_numbers.size() - 1);
  std::vector<State> states(static_cast<std::size_t>(count));
  for (State& state : states) {
    for (Number& variable : state.variables) variable = interesting_numbers[pick(random)];
    state.seed = 1 + random() % 2147483646u;
  }
  return states;
}

// Expressions of every shape the grammar has, and random nested ones
// built from every construct.
std::vector<std::string> expression_texts() {
  const std::vector<std::string> operands = {"A", "B", "C", "a", "0", "1", "7", "2.5", "0.0", "3000000000"};
  const std::vector<std::string> signs = {"", "+", "-"};
  const std::vector<std::string> mulops = {" * ", " / ", " \\ ", " MOD ", "^"};
  std::vector<std::string> texts;
  for (const std::string& s1 : signs) {
    for (const std::string& a : operands) {
      texts.push_back(s1 + a);
      for (const std::string& s2 : {std::string("+"), std::string("-")}) {
        for (const std::string& b : operands) texts.push_back(s1 + a + s2 + b);
      }
      for (const std::string& op : mulops) {
        for (const std::string& b : operands) texts.push_back(s1 + a + op + b);
      }
    }
  }
  std::mt19937 shapes(77);
  const std::vector<std::string> functions = {"SIN", "COS", "TAN", "COT", "ATN", "EXP",
                                              "LOG", "ABS", "SGN", "SQR", "INT"};
  std::function<std::string(int)> random_expression = [&](int depth) -> std::string {
    auto primary = [&]() -> std::string {
      const unsigned choice = shapes() % (depth > 0 ? 6 : 2);
      if (choice == 0) return operands[shapes() % operands.size()];
      if (choice == 1) return std::string(1, static_cast<char>('A' + shapes() % 3));
      if (choice == 2) return "(" + random_expression(depth - 1) + ")";
      if (choice == 3) return functions[shapes() % functions.size()] + "(" + random_expression(depth - 1) + ")";
      return choice == 4 ? "RND" : "TIME";
    };
    auto factor = [&]() { return shapes() % 4 == 0 ? primary() + "^" + primary() : primary(); };
    auto term = [&]() { return shapes() % 2 == 0 ? factor() + mulops[shapes() % 4] + factor() : factor(); };
    std::string text = signs[shapes() % 3] + term();
    if (shapes() % 2 == 0) text += (shapes() % 2 == 0 ? "+" : "-") + term();
    return text;
  };
  for (int i = 0; i < 3000; ++i) texts.push_back(random_expression(3));
  return texts;
}

// Every expression where a value is stored (LET, whose last instruction
// writes the variable), printed (PRINT, through a temporary), compared
// (IF, where a lone term skips its "+ 0") and used as a line number (GOTO).
TEST(CompiledTest, ExpressionsMatchTheTreeWalk) {
  const std::vector<std::string> texts = expression_texts();
  std::mt19937 random(2024);
  const char* relops[] = {"<=", "<>", "<", ">=", "><", ">", "="};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string& text = texts[i];
    const std::string& other = texts[(i * 7919) % texts.size()];
    const std::vector<std::string> lines = {
        "10 LET Z = " + text,
        "20 PRINT " + text,
        "30 IF " + text + relops[i % 7] + other + " THEN LET Y = Y + 1",
        "40 IF " + other + relops[(i + 3) % 7] + text + " THEN GOTO 60",
        "50 LET Y = Y + 10",
        "60 GOTO " + text,
        "100 LET X = 100",
    };
    std::vector<State> starts = random_variable_states(random, 8);
    for (State& start : starts) start.variables['Y' - 'A'] = I(0);
    expect_same_runs(lines, starts, 100);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// A function's argument is an expression of its own: a lone variable's
// real -0 reaches the function as +0, whether an instruction or the call
// itself adds the "+ 0". SQR, SIN, TAN, ATN and COT tell the two apart.
TEST(CompiledTest, FunctionsOfANegativeZeroMatchTheTreeWalk) {
  std::vector<State> starts(3);
  starts[0].variables['A' - 'A'] = R(-0.0f);
  starts[1].variables['A' - 'A'] = R(0.0f);
  starts[2].variables['A' - 'A'] = I(0);
  for (const char* function : {"SIN", "COS", "TAN", "COT", "ATN", "EXP", "LOG", "ABS", "SGN", "SQR", "INT"}) {
    const std::string call = std::string(function) + "(A)";
    expect_same_runs({"10 LET Z = " + call, "20 PRINT " + call, "30 PRINT " + std::string(function) + "(A*1)"}, starts,
                     0);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// The deepest expression the parser takes, each level holding an operand
// of each of its three operators while the next level is compiled: the
// compiler's stack of pending operands at its fullest.
TEST(CompiledTest, DeepestNestingMatchesTheTreeWalk) {
  auto nested = [](int depth) {
    std::string text = "A";
    for (int i = 0; i < depth; ++i) text = "B+C*D^(" + text + ")";
    return text;
  };
  int depth = 300;
  for (; depth > 0; --depth) {
    Interpreter probe;
    // Each line too deep is refused with an error on standard error.
    testing::capture_stream(stderr, [&] { interpret_line(probe, ("10 LET Z = " + nested(depth)).c_str()); });
    if (!probe.program.empty()) break;
  }
  ASSERT_GT(depth, 200) << "the parser takes far less nesting than expected";
  std::mt19937 random(9);
  std::vector<State> starts = random_variable_states(random, 6);
  for (State& start : starts) start.variables['D' - 'A'] = I(1);
  expect_same_runs({"10 LET Z = " + nested(depth), "20 PRINT " + nested(depth)}, starts, 0);
}

// NEXT's inline step and test for three integers, at the edges of the
// 32-bit range, against the rule: v = v + step, then the loop goes on
// while (v - limit) * sign(step) <= 0, read as a real.
TEST(CompiledTest, IntegerNextMatchesTheRule) {
  const std::vector<int32_t> values = {
      0, 1, -1, 2, 3, 5, 100, -100, INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1};
  std::vector<State> starts;
  for (int32_t v : values) {
    for (int32_t limit : values) {
      for (int32_t step : values) {
        State start;
        start.variables.fill(ABSENT_NUMBER);
        start.variables['I' - 'A'] = I(v);
        start.loops['I' - 'A'] = ForRecord{I(limit), I(step), 30};
        starts.push_back(start);
      }
    }
  }
  // Passing jumps to 30; failing goes on at 20.
  expect_same_runs({"10 NEXT I", "20 LET Y = 2", "30 LET X = 3"}, starts, 0);
}

// Random statements of every kind, with jumps forward and back, loops that
// close or not, subroutines, computed targets and targets that name no
// line (up to `lines`, numbered 10, 20, ...).
class RandomStatements {
 public:
  explicit RandomStatements(uint32_t seed) : random(seed) {}

  std::mt19937 random;
  int lines = 8;
  // Also SHELL, INPUT and a STEP that draws RND: for runs whose SHELL
  // runner and reply host are stand-ins.
  bool sessions = false;

  std::string pick(const std::vector<std::string>& choices) { return choices[random() % choices.size()]; }
  std::string variable() { return pick({"A", "B", "I", "J", "K", "i", "u"}); }
  std::string expression() {
    switch (random() % 8) {
      case 0: return variable();
      case 1: return std::to_string(random() % 20);
      case 2: return variable() + pick({" + ", " - ", " * ", " MOD ", " / "}) + std::to_string(1 + random() % 5);
      case 3: return variable() + pick({" + ", " - "}) + variable();
      case 4: return pick({"0.5", "-0.5", "2.5", "-1", "RND", "-0.0-0.0"});
      case 5: return "(" + variable() + " + 1) * " + pick({"2", "0.5", "-1"});
      case 6: return pick({"SQR(", "INT(", "ABS(", "SGN("}) + variable() + ")";
      default: return variable() + "^2";
    }
  }
  // May name no line.
  std::string line_number() { return std::to_string(10 * (1 + random() % (lines + 1))); }
  std::string statement(bool nested) {
    switch (random() % (nested ? 12 : 15)) {
      case 0:
      case 1: return "LET " + variable() + " = " + expression();
      case 2: return "PRINT " + expression() + pick({"", ", \"x\"", ", " + variable()});
      case 3: return "GOTO " + line_number();
      case 4: return "GOSUB " + line_number();
      case 5: return "RETURN";
      case 6:
        return "FOR " + variable() + " = " + expression() + " TO " + expression() +
               pick({"", " STEP 2", " STEP -1", " STEP 0.5", " STEP 0", " STEP " + variable(),
                     sessions ? " STEP RND" : ""});
      case 7:
      case 8: return "NEXT " + variable();
      case 9: return "GOTO 10 * (" + variable() + " MOD 4) + 10";
      case 10: return pick({"END", "REM note", "STOP", "BEEP", "GOSUB 20 + " + variable()});
      case 11:
        if (sessions && random() % 2 == 0) return pick({"SHELL \"x\"", "INPUT A, i"});
        return pick({"RANDOMIZE", "CLS", "GOTO -1", "GOTO " + variable()});
      default:
        return "IF " + expression() + pick({"<", ">", "=", "<>", "<=", ">=", "><"}) + expression() + " THEN " +
               statement(true);
    }
  }
};

// Random programs run from random variables, loop records and return
// stacks. A jump budget ends the runs that would not end; both ways count
// the same jumps, so even those end at the same place.
TEST(CompiledTest, RandomProgramsMatchTheTreeWalk) {
  RandomStatements make(31337);
  std::mt19937& random = make.random;
  for (int program = 0; program < 600; ++program) {
    make.lines = 3 + static_cast<int>(random() % 12);
    std::vector<std::string> lines;
    for (int n = 1; n <= make.lines; ++n) lines.push_back(std::to_string(10 * n) + " " + make.statement(false));
    std::vector<State> starts = random_variable_states(random, 3);
    for (State& start : starts) {
      for (ForRecord& record : start.loops) {
        if (random() % 4 != 0) continue;
        const int32_t lines_at[] = {-1, 0, 10, 20, 30, 15};
        record = ForRecord{interesting_numbers[random() % interesting_numbers.size()],
                           interesting_numbers[random() % interesting_numbers.size()], lines_at[random() % 6]};
      }
      for (uint32_t n = random() % 3; n > 0; --n) start.return_stack.push_back(10 * static_cast<int32_t>(random() % 6));
    }
    expect_same_runs(lines, starts, 300);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// A FOR whose limit is absent records nothing and evaluates neither its
// step nor its start; one whose step is absent evaluates no start. A RND in
// a part that is not evaluated draws nothing.
TEST(CompiledTest, ForEvaluatesOnlyThePartsTheTreeWalkDoes) {
  std::mt19937 random(8);
  std::vector<State> starts = random_variable_states(random, 3);
  for (State& start : starts) start.variables['Z' - 'A'] = ABSENT_NUMBER;
  for (const char* head : {"10 FOR I = RND TO Z STEP RND", "10 FOR I = 1 TO Z STEP 2 * RND",
                           "10 FOR I = RND TO 5 STEP Z", "10 FOR I = RND TO RND STEP RND"}) {
    expect_same_runs({head, "20 PRINT RND", "30 NEXT I"}, starts, 50);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Sessions: program lines typed, replaced and deleted, RENUM, CLEAR and
// direct statements between runs, so that each run meets the loop records,
// return stack and variables that earlier runs and an edited program left
// behind. INPUT takes its replies from a fixed list, and SHELL or the wait
// for a reply is interrupted (Ctrl-C) at a chosen call. After every line,
// both interpreters have written the same on both streams; after every run,
// they hold the same state.
struct SessionSide {
  Interpreter interpreter;
  int calls = 0;
  int interrupt_at = 0;
  // Called by SHELL and by the wait for a reply.
  void call() {
    if (++calls == interrupt_at) interpreter.halt = HALT_INTERRUPT;
  }
};
SessionSide* session_sides[2];
int32_t compiled_side_shell(const char*) {
  session_sides[0]->call();
  return 0;
}
int32_t walked_side_shell(const char*) {
  session_sides[1]->call();
  return 0;
}

class SessionHost final : public LineHost {
 public:
  explicit SessionHost(SessionSide& side) : side_(side) {}
  const char* read_reply() override {
    static const char* const replies[] = {"1,2", "", "-0.0", "3.5,x", "((", "7", "1e40", "-2147483648,5"};
    side_.call();
    return replies[replies_++ % std::size(replies)];
  }
  void dispatch_synthesized(const char* line) override {
    interpret_line(side_.interpreter, line, LineOrigin::synthesized);
  }

 private:
  SessionSide& side_;
  std::size_t replies_ = 0;
};

TEST(CompiledTest, SessionsWithEditsBetweenRunsMatchTheTreeWalk) {
  RandomStatements make(4242);
  make.sessions = true;
  std::mt19937& random = make.random;
  for (int session = 0; session < 1500; ++session) {
    SessionSide compiled;
    SessionSide walked;
    session_sides[0] = &compiled;
    session_sides[1] = &walked;
    SessionHost compiled_host(compiled);
    SessionHost walked_host(walked);
    compiled.interpreter.host = &compiled_host;
    walked.interpreter.host = &walked_host;
    compiled.interpreter.shell_runner = compiled_side_shell;
    walked.interpreter.shell_runner = walked_side_shell;
    compiled.interrupt_at = walked.interrupt_at = static_cast<int>(random() % 6);  // 0: never
    for (SessionSide* side : {&compiled, &walked}) {
      side->interpreter.eval.clock = fixed_clock;
      side->interpreter.jump_budget = 200;
    }
    std::string transcript;
    for (int step = 5 + static_cast<int>(random() % 30); step > 0; --step) {
      std::string line;
      switch (random() % 12) {
        case 0:
        case 1:
        case 2: line = "RUN"; break;
        case 3: line = make.line_number(); break;  // deletes the line
        case 4: line = random() % 3 == 0 ? "CLEAR" : "RENUM"; break;
        case 5: line = make.statement(true); break;  // a direct statement
        default: line = make.line_number() + " " + make.statement(false); break;
      }
      transcript += line + "\n";
      std::string out[2];
      std::string err[2];
      for (int side = 0; side < 2; ++side) {
        Interpreter& interpreter = session_sides[side]->interpreter;
        err[side] = testing::capture_stream(stderr, [&] {
          out[side] = testing::capture_stdout([&] {
            if (line == "RUN" && side == 1) {
              interpreter.halt = HALT_NONE;  // as RUN does
              program_walk(interpreter);
            } else {
              interpret_line(interpreter, line.c_str());
            }
            std::fflush(stdout);
          });
        });
      }
      ASSERT_EQ(out[0], out[1]) << transcript;
      ASSERT_EQ(err[0], err[1]) << transcript;
      if (line == "RUN") {
        ASSERT_TRUE(same_state(take(compiled.interpreter), take(walked.interpreter))) << transcript;
      }
    }
  }
}

// RANDOMIZE seeds from the clock, RND draws from the seed.
TEST(CompiledTest, SeedingMatchesTheTreeWalk) {
  std::mt19937 random(5);
  expect_same_runs({"10 LET T = TIME", "20 RANDOMIZE", "30 LET R = RND", "40 PRINT T, R"},
                   random_variable_states(random, 4), 0);
}

// The compiled form of a few lines, in words: one instruction for each of
// these statements, with constant jump targets resolved to the
// instruction where their line starts.
TEST(CompiledTest, StatementsCompileToFewInstructions) {
  Interpreter interpreter;
  for (const char* line : {"10 LET S = S + J", "20 NEXT J", "30 IF D * D > N THEN GOTO 10", "40 LET R = I MOD 7",
                           "50 REM", "60 GOSUB 50", "70 PRINT \"X\", -A"}) {
    interpret_line(interpreter, line);
  }
  const CompiledProgram& program = interpreter.program.compiled();
  std::vector<std::string> words;
  for (const Instruction& instruction : program.code.instructions) {
    words.push_back(instruction_text(instruction, program.code));
  }
  const std::vector<std::string> expected = {
      "ADD S S J",
      "NEXT J line 0 @10 jumps",
      "MULTIPLY t26 D D",
      "JUMP_GT @0 t26 N",
      "MODULO R I #7 lone",
      "GOSUB @5 line 70",
      "PRINT_TEXT text 0",
      "NEGATE t26 A lone",
      "PRINT t26",
      "PRINT_END",
      "EXIT",
  };
  EXPECT_EQ(words, expected);
  EXPECT_EQ(program.pc_of_line(50), 5u);
  EXPECT_EQ(program.pc_of_line(60), 5u);
  EXPECT_EQ(program.pc_of_line(65), program.exit_pc);
  EXPECT_EQ(program.line_at(5), 60);
  EXPECT_EQ(program.line_at(3), 30);
}

// Jump targets on lines numbered at no one step: every stored line is
// found where it starts, and every number between them leads to the EXIT.
TEST(CompiledTest, LinesAreFoundAtAnyNumbering) {
  const std::vector<int32_t> numbers = {1, 2, 3, 50, 51, 1000, 1001, 1002, 40000, 2147483647};
  Interpreter interpreter;
  for (const int32_t number : numbers) interpret_line(interpreter, (std::to_string(number) + " LET A = 1").c_str());
  const CompiledProgram& program = interpreter.program.compiled();
  for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(program.pc_of_line(numbers[i]), i) << numbers[i];
  for (const int32_t absent : {0, -1, INT32_MIN, 4, 49, 52, 999, 1003, 39999, 40001, 2147483646}) {
    EXPECT_EQ(program.pc_of_line(absent), program.exit_pc) << absent;
  }
}

}  // namespace
}  // namespace ombrix
