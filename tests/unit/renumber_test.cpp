// RENUM must not change what a program does. Generated programs whose jumps
// are all literal line numbers run once as typed and once after RENUM, each
// in a fresh interpreter: both runs print the same and leave the same
// variables. Some targets name no line (and no line that RENUM makes);
// those jumps end the run both times, and RENUM reports each of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "capture.hpp"
#include "driver/dispatcher.hpp"
#include "helpers.hpp"
#include "program/interpreter.hpp"

namespace ombrix {
namespace {

struct GeneratedProgram {
  std::vector<std::string> lines;  // each "NUMBER STATEMENT", as typed
  std::string warnings;            // what RENUM must write to standard error
};

class ProgramGenerator {
 public:
  explicit ProgramGenerator(uint32_t seed) : random_(seed) {}

  GeneratedProgram next() {
    GeneratedProgram program;
    numbers_.clear();
    const std::size_t count = 2 + random_() % 24;
    while (numbers_.size() < count) numbers_.insert(static_cast<int32_t>(1 + random_() % 400));
    stored_.assign(numbers_.begin(), numbers_.end());
    for (std::size_t i = 0; i < stored_.size(); ++i) {
      std::string statement = statement_for(i);
      program.lines.push_back(std::to_string(stored_[i]) + " " + statement);
      if (missing_target_) {
        program.warnings += "WARNING: " + std::string(gosub_ ? "GOSUB" : "GOTO") + " IN LINE " +
                            std::to_string(10 * (i + 1)) + " NOT RENUMBERED\n";
      }
    }
    return program;
  }

 private:
  int32_t small() { return static_cast<int32_t>(random_() % 6); }

  // A jump to a stored line, written as GOTO, GO TO or goto (and the same
  // for GOSUB), sometimes with leading zeros; now and then to a number that
  // names no line, before RENUM or after it.
  std::string jump(bool gosub) {
    static const char* const spellings[2][3] = {{"GOTO", "GO TO", "goto"}, {"GOSUB", "GO SUB", "gosub"}};
    gosub_ = gosub;
    int32_t target = stored_[random_() % stored_.size()];
    missing_target_ = random_() % 8 == 0;
    if (missing_target_) {
      do {
        target = static_cast<int32_t>(1 + random_() % 400);
      } while (target % 10 == 0 || numbers_.count(target) != 0);
    }
    const std::size_t spelling = random_() % 3;
    const char* keyword = spellings[gosub ? 1 : 0][spelling];
    const char* format = random_() % 5 == 0 ? "%s %04d" : "%s %d";
    char text[32];
    std::snprintf(text, sizeof text, format, keyword, target);
    return text;
  }

  std::string statement_for(std::size_t index) {
    missing_target_ = false;
    switch (random_() % 13) {
      case 0: return "PRINT \"L" + std::to_string(index) + " \", A, \" \", B";
      case 1: return "LET A = A + 1";
      case 2: return "LET B = A MOD " + std::to_string(2 + small());
      case 3: return jump(false);
      case 4: return jump(true);
      case 5: return "RETURN";
      case 6: return "IF A < " + std::to_string(small()) + " THEN " + jump(false);
      case 7:
        return "IF B = " + std::to_string(small()) + " THEN IF A > " + std::to_string(small()) + " THEN " + jump(true);
      case 8: return "FOR I = 1 TO " + std::to_string(small());
      case 9: return "NEXT I";
      case 10: return "LET C = INT(RND * 3)";
      case 11: return "IF C = 1 THEN " + jump(random_() % 2 == 0);
      default: return random_() % 4 == 0 ? "END" : "PRINT I";
    }
  }

  std::mt19937 random_;
  std::set<int32_t> numbers_;
  std::vector<int32_t> stored_;
  bool missing_target_ = false;
  bool gosub_ = false;
};

struct RunResult {
  std::string output;
  std::vector<Value> variables;
};

// Types the program into a fresh interpreter, optionally RENUMs it, and runs it.
RunResult run(const GeneratedProgram& program, bool renumber, std::string* warnings) {
  Interpreter interpreter;
  interpreter.jump_budget = 500;  // the programs may loop forever
  for (const std::string& line : program.lines) interpret_line(interpreter, line.c_str());
  if (renumber) *warnings = testing::capture_stream(stderr, [&] { interpret_line(interpreter, "RENUM"); });
  RunResult result;
  result.output = testing::capture_stdout([&] { interpret_line(interpreter, "RUN"); });
  for (char letter = 'A'; letter <= 'Z'; ++letter) result.variables.push_back(variable_get(interpreter.eval, letter));
  return result;
}

std::string listing(const GeneratedProgram& program) {
  std::string text;
  for (const std::string& line : program.lines) text += line + "\n";
  return text;
}

TEST(RenumberTest, AProgramWithLiteralTargetsRunsTheSameAfterRenum) {
  ProgramGenerator generator(16);
  for (int i = 0; i < 400; ++i) {
    const GeneratedProgram program = generator.next();
    std::string warnings;
    const RunResult before = run(program, false, nullptr);
    const RunResult after = run(program, true, &warnings);
    ASSERT_EQ(after.output, before.output) << listing(program);
    ASSERT_EQ(warnings, program.warnings) << listing(program);
    for (std::size_t slot = 0; slot < before.variables.size(); ++slot) {
      ASSERT_TRUE(same_bits(after.variables[slot], before.variables[slot])) << "slot " << slot << "\n"
                                                                            << listing(program);
    }
  }
}

}  // namespace
}  // namespace ombrix
