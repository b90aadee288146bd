// The stored program: numbered lines in ascending order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "program/statement.hpp"

namespace ombrix {

// One line of the run image: a stored line with what the run loop needs at
// hand, so that executing it walks nothing.
struct RunLine {
  int32_t number;
  int32_t following;  // the next line's number, -1 for the last line
  const Statement* statement;
  // The last jump this line made, so a loop's jump back finds its target at once.
  int32_t cached_jump = FLOW_CONTINUE;
  std::size_t cached_index = 0;
  // find_loop_exit's answer for a FOR on this line, once computed.
  char loop_exit_letter = 0;
  int32_t loop_exit = FLOW_CONTINUE;
};

inline constexpr std::size_t NO_LINE = static_cast<std::size_t>(-1);

// Lines live in a balanced tree keyed by number, so inserting, replacing,
// deleting and finding a line cost O(log n) in a program of any size. Runs
// use a flat image of the lines in order, rebuilt after any change; nothing
// can change the program while it runs. A line appended after the last one
// is appended to the image too, while no run has used the image yet: loading
// a program then never walks the tree, whose nodes lie scattered in memory.
class Program {
 public:
  // Stores the line; a line with the same number is replaced. Numbers of 0
  // or less are not stored.
  void insert(int32_t number, std::unique_ptr<Statement> statement);
  void erase(int32_t number);
  void clear();
  // Numbers the lines 10, 20, 30 ... in order. A GOTO or GOSUB target written
  // as a plain line number follows its line; any other target stays as it is
  // and is reported on standard error.
  void renumber();

  bool empty() const { return lines_.empty(); }
  std::size_t size() const { return lines_.size(); }
  const Statement* find(int32_t number) const;
  const std::map<int32_t, std::unique_ptr<Statement>>& lines() const { return lines_; }

  // The lines in order, ready to run; valid until the next change.
  std::vector<RunLine>& image();
  // Index in the image of the line with this number, or NO_LINE.
  std::size_t image_index(int32_t number);

 private:
  // Adds a line after the image's last one, which it names as following.
  void image_append(int32_t number, const Statement* statement);

  std::map<int32_t, std::unique_ptr<Statement>> lines_;
  std::vector<RunLine> image_;  // starts true to the empty program
  bool image_stale_ = false;
  // Set once a run has had the image, whose lines may then hold cached
  // answers (jump targets, loop exits) that a new line could change.
  bool image_used_ = false;
};

// Writes "%d " and the statement's listing and a line end to `out`.
void line_print(int32_t number, const Statement& statement, std::FILE* out);
// LIST (on standard output) and SAVE (into a file): every line in order.
void program_list(const Program& program, std::FILE* out);
// RUN: executes from the first line, following the flow codes.
void program_run(Interpreter& interpreter);

}  // namespace ombrix
