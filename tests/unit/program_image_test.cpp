// The run image must always be the stored lines in order: the same numbers,
// each line's following number, the same statements. Lines appended in
// order join the image directly until a run has used it; every other change
// rebuilds it. Random edit sequences check that both paths agree with the
// tree, and that a run's cached answers never outlive a change.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "program/program.hpp"

namespace ombrix {
namespace {

std::unique_ptr<Statement> rem_statement() { return std::make_unique<Statement>(Statement{RemStatement{"REM"}}); }

// One image line as text: its number, the following number, its statement.
std::string describe_line(int32_t number, int32_t following, const Statement* statement) {
  return std::to_string(number) + ">" + std::to_string(following) + "@" +
         std::to_string(reinterpret_cast<std::uintptr_t>(statement)) + " ";
}

// What the image must hold, read from the tree.
std::string expected_image(const Program& program) {
  std::string text;
  auto it = program.lines().begin();
  while (it != program.lines().end()) {
    const int32_t number = it->first;
    const Statement* statement = it->second.get();
    ++it;
    text += describe_line(number, it == program.lines().end() ? -1 : it->first, statement);
  }
  return text;
}

std::string actual_image(Program& program) {
  std::string text;
  for (const RunLine& line : program.image()) text += describe_line(line.number, line.following, line.statement);
  return text;
}

TEST(ProgramImage, AppendedLinesFormTheImageWithoutARebuild) {
  Program program;
  for (int32_t number = 10; number <= 50; number += 10) program.insert(number, rem_statement());
  program.insert(0, rem_statement());   // not stored
  program.insert(-5, rem_statement());  // not stored
  EXPECT_EQ(actual_image(program), expected_image(program));
  EXPECT_EQ(program.image().size(), 5u);
  EXPECT_EQ(program.image_index(30), 2u);
  EXPECT_EQ(program.image_index(35), NO_LINE);
}

TEST(ProgramImage, ALineAppendedAfterARunDropsTheRunsCachedAnswers) {
  Program program;
  program.insert(10, rem_statement());
  RunLine& first = program.image()[0];
  first.cached_jump = 20;  // as a run leaves them
  first.loop_exit_letter = 'I';
  program.insert(20, rem_statement());
  ASSERT_EQ(program.image().size(), 2u);
  EXPECT_EQ(program.image()[0].following, 20);
  EXPECT_EQ(program.image()[0].cached_jump, FLOW_CONTINUE);
  EXPECT_EQ(program.image()[0].loop_exit_letter, 0);
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
        program.insert(next_in_order, rem_statement());  // appended in order
      } else if (choice < 75) {
        program.insert(static_cast<int32_t>(random() % 60) - 2, rem_statement());  // anywhere, or replaced
      } else if (choice < 85) {
        program.erase(static_cast<int32_t>(random() % 60));
      } else if (choice < 87) {
        program.renumber();
        next_in_order = static_cast<int32_t>(program.size()) * 10;
      } else if (choice < 88) {
        program.clear();
        next_in_order = 1;
      } else {
        // A run takes the image; compare it with the tree.
        ASSERT_EQ(actual_image(program), expected_image(program)) << "seed " << seed << " step " << step;
      }
    }
    ASSERT_EQ(actual_image(program), expected_image(program)) << "seed " << seed;
  }
}

}  // namespace
}  // namespace ombrix
