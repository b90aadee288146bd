// The compiled program must always be made from the stored lines as they
// are now: the same numbers in the same order, each found where its code
// starts. Random edit sequences check it after inserts, replacements,
// deletions, RENUM and CLEAR, and that nothing a run cached outlives a
// change.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "program/program.hpp"

namespace ombrix {
namespace {

Statement rem_statement() { return Statement{RemStatement{"REM"}}; }
Statement end_statement() { return Statement{EndStatement{}}; }

std::string expected_lines(const Program& program) {
  std::string text;
  for (const auto& [number, statement] : program.lines()) text += std::to_string(number) + " ";
  return text;
}

std::string compiled_lines(Program& program) {
  std::string text;
  const CompiledProgram& compiled = program.compiled();
  for (const LineStart& line : compiled.lines) {
    // Every line is found where its code starts.
    if (compiled.pc_of_line(line.number) != line.pc) return "line " + std::to_string(line.number) + " not found";
    text += std::to_string(line.number) + " ";
  }
  return text;
}

TEST(ProgramImage, EachLineStartsWhereItsCodeDoes) {
  Program program;
  for (int32_t number = 10; number <= 50; number += 10) program.insert(number, end_statement());
  program.insert(0, end_statement());   // not stored
  program.insert(-5, end_statement());  // not stored
  program.insert(25, rem_statement());  // compiles to nothing
  const CompiledProgram& compiled = program.compiled();
  EXPECT_EQ(compiled_lines(program), "10 20 25 30 40 50 ");
  EXPECT_EQ(compiled.pc_of_line(30), 2u);
  EXPECT_EQ(compiled.pc_of_line(25), 2u);
  EXPECT_EQ(compiled.line_at(2), 30);
  EXPECT_EQ(compiled.pc_of_line(35), compiled.exit_pc);
  EXPECT_EQ(compiled.code.instructions[compiled.exit_pc].op, Op::EXIT);
}

TEST(ProgramImage, AChangeDropsWhatARunCached) {
  Program program;
  program.insert(10, Statement{ReturnStatement{}});
  Instruction& cached = program.compiled().code.instructions[0];
  cached.a = 20;  // as a run leaves a RETURN's cache
  cached.b = 7;
  program.insert(20, end_statement());
  const CompiledProgram& compiled = program.compiled();
  ASSERT_EQ(compiled.lines.size(), 2u);
  EXPECT_EQ(compiled.code.instructions[0].a, 0u);
  EXPECT_EQ(compiled.code.instructions[0].b, compiled.exit_pc);
}

TEST(ProgramImage, AgreesWithTheStoredLinesAfterRandomEdits) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    std::mt19937 random(seed);
    Program program;
    int32_t next_in_order = 1;
    for (int step = 0; step < 300; ++step) {
      const uint32_t choice = random() % 100;
      if (choice < 55) {
        next_in_order += 1 + static_cast<int32_t>(random() % 3);
        program.insert(next_in_order, random() % 2 == 0 ? rem_statement() : end_statement());  // appended in order
      } else if (choice < 75) {
        program.insert(static_cast<int32_t>(random() % 60) - 2, end_statement());  // anywhere, or replaced
      } else if (choice < 85) {
        program.erase(static_cast<int32_t>(random() % 60));
      } else if (choice < 87) {
        program.renumber();
        next_in_order = static_cast<int32_t>(program.size()) * 10;
      } else if (choice < 88) {
        program.clear();
        next_in_order = 1;
      } else {
        // A run compiles the program; compare it with the stored lines.
        ASSERT_EQ(compiled_lines(program), expected_lines(program)) << "seed " << seed << " step " << step;
      }
    }
    ASSERT_EQ(compiled_lines(program), expected_lines(program)) << "seed " << seed;
  }
}

// Lines out of order, replacements and deletions wait until the lines are
// read: whatever the order of edits and reads, the lines read are those an
// ordered map given the same edits holds, each with the statement of the
// last edit of its number.
TEST(ProgramImage, StoredLinesMatchAnOrderedMapAfterRandomEdits) {
  const auto tagged = [](int tag) { return Statement{RemStatement{"REM " + std::to_string(tag)}}; };
  const auto tag_of = [](const Statement& statement) { return std::get<RemStatement>(statement.body).text; };
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    Program program;
    std::map<int32_t, std::string> expected;
    int32_t next_in_order = 0;
    for (int tag = 0; tag < 200; ++tag) {
      const uint32_t choice = random() % 100;
      int32_t number = static_cast<int32_t>(random() % 50) - 2;
      if (choice < 40) {
        number = next_in_order += 1 + static_cast<int32_t>(random() % 4);
      }
      if (choice < 75) {
        program.insert(number, tagged(tag));
        if (number > 0) expected[number] = "REM " + std::to_string(tag);
      } else if (choice < 90) {
        program.erase(number);
        expected.erase(number);
      } else if (choice < 93) {
        program.clear();
        expected.clear();
      } else {
        // A read in the middle: a look-up, or the whole program.
        const Statement* found = program.find(number);
        const auto it = expected.find(number);
        ASSERT_EQ(found != nullptr, it != expected.end()) << "seed " << seed << " tag " << tag;
        if (found != nullptr) {
          ASSERT_EQ(tag_of(*found), it->second) << "seed " << seed << " tag " << tag;
        }
        ASSERT_EQ(program.size(), expected.size()) << "seed " << seed << " tag " << tag;
      }
    }
    std::vector<std::pair<int32_t, std::string>> stored;
    for (const auto& [number, statement] : program.lines()) stored.emplace_back(number, tag_of(statement));
    const std::vector<std::pair<int32_t, std::string>> in_map(expected.begin(), expected.end());
    ASSERT_EQ(stored, in_map) << "seed " << seed;
    ASSERT_EQ(compiled_lines(program), expected_lines(program)) << "seed " << seed;
  }
}

// A line typed with the number of a stored line replaces it, whatever came
// before: lines appended in order, the last line deleted, RENUM moving the
// numbers up, CLEAR.
TEST(ProgramImage, ALineWithAStoredNumberReplacesIt) {
  struct Case {
    const char* name;
    void (*edit)(Program&);
    int32_t replaced;
  };
  const Case cases[] = {
      {"appended", [](Program&) {}, 3},
      {"after deleting the last", [](Program& p) { p.erase(3); }, 2},
      {"after RENUM", [](Program& p) { p.renumber(); }, 30},
      {"after CLEAR",
       [](Program& p) {
         p.clear();
         p.insert(7, end_statement());
       },
       7},
  };
  for (const Case& c : cases) {
    Program program;
    for (int32_t number = 1; number <= 3; ++number) program.insert(number, end_statement());
    c.edit(program);
    program.insert(c.replaced, rem_statement());
    const Statement* stored = program.find(c.replaced);
    ASSERT_NE(stored, nullptr) << c.name;
    EXPECT_EQ(statement_kind(*stored), TOK_REM) << c.name;
  }
}

}  // namespace
}  // namespace ombrix
