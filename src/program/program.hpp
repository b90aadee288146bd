// The stored program: numbered lines in ascending order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "program/compile.hpp"
#include "program/statement.hpp"

namespace ombrix {

// Lines live in a balanced tree keyed by number, so inserting, replacing,
// deleting and finding a line cost O(log n) in a program of any size. Runs
// execute the program compiled (program/compile.hpp), compiled again at
// the first run after any change; nothing can change the program while it
// runs.
class Program {
 public:
  // Stores the line; a line with the same number is replaced. Numbers of 0
  // or less are not stored.
  void insert(int32_t number, Statement&& statement);
  void erase(int32_t number);
  void clear();
  // Numbers the lines 10, 20, 30 ... in order. A GOTO or GOSUB target written
  // as a plain line number follows its line; any other target stays as it is
  // and is reported on standard error.
  void renumber();

  bool empty() const { return lines_.empty(); }
  std::size_t size() const { return lines_.size(); }
  const Statement* find(int32_t number) const;
  const ProgramLines& lines() const { return lines_; }

  // The program compiled; valid until the next change.
  CompiledProgram& compiled();

 private:
  // A line's statement lives in its node of the tree: one allocation a line.
  ProgramLines lines_;
  // No line has a higher number (erasing the last line leaves it as it
  // was): a line numbered above it goes at the end without a look at the
  // tree's last node, which costs a call.
  int32_t above_all_ = 0;
  std::optional<CompiledProgram> compiled_;  // none while it is out of date
};

// Writes "%d " and the statement's listing and a line end to `out`.
void line_print(int32_t number, const Statement& statement, std::FILE* out);
// LIST (on standard output) and SAVE (into a file): every line in order.
void program_list(const Program& program, std::FILE* out);

}  // namespace ombrix
