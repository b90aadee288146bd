// The stored program: numbered lines in ascending order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>

#include "program/compile.hpp"
#include "program/statement.hpp"

namespace ombrix {

// The lines are kept in order of number, in a deque. A program is mostly
// typed or read in ascending order, and a line numbered above all others
// is appended: no search, no tree to rebalance, and a line costs its number
// and statement side by side. Any other edit (a line out of order, a
// replacement, a deletion) waits at the end of the deque until the lines
// are next read; then one sort of the waiting edits and one merge put
// everything in order, O(n + k log k) for k edits. That is no more than
// the compile that every change makes the next run do, and a program read
// in any order costs O(n log n), as a balanced tree would. Runs execute the
// program compiled (program/compile.hpp), compiled again at the first run
// after any change; nothing can change the program while it runs.
class Program {
 public:
  // Stores the line; a line with the same number is replaced. Numbers of 0
  // or less are not stored.
  void insert(int32_t number, Statement&& statement);
  void erase(int32_t number);
  void clear();
  // Takes the lines of `other` in place of these (LOAD), as one change.
  void replace(Program&& other);
  // Numbers the lines 10, 20, 30 ... in order. A GOTO or GOSUB target written
  // as a plain line number follows its line; any other target stays as it is
  // and is reported on standard error.
  void renumber();
  bool empty() const { return lines().empty(); }
  std::size_t size() const { return lines().size(); }
  const Statement* find(int32_t number) const;
  // The lines in order, the waiting edits applied.
  const ProgramLines& lines() const {
    if (waiting_ != 0) apply_waiting_edits();
    return lines_;
  }
  // The program compiled; valid until the next change.
  CompiledProgram& compiled();
  // Grows with every change to the lines (a line stored or deleted, CLEAR,
  // RENUM, LOAD): whatever depends on the lines as they were (a stopped run)
  // can tell whether they still are.
  uint64_t change_count() const { return changes_; }

 private:
  // Sorts the waiting edits by number and merges them in: the last edit of
  // a number decides, a deletion (its number stored negated) removes the
  // line.
  void apply_waiting_edits() const;

  // The lines in ascending order of number, then the last waiting_ entries:
  // the edits that wait, in the order they were made. They are applied
  // when the lines are read, which leaves the program itself as it was.
  mutable ProgramLines lines_;
  mutable std::size_t waiting_ = 0;
  // With no edit waiting, the highest number stored (0 for none). Kept
  // apart because a deque's last element costs several steps to reach.
  mutable int32_t last_number_ = 0;
  std::optional<CompiledProgram> compiled_;  // none while it is out of date
  uint64_t changes_ = 0;
};

// Writes "%d " and the statement's listing and a line end to `out`.
void line_print(int32_t number, const Statement& statement, std::FILE* out);
// LIST (on standard output) and SAVE (into a file): every line in order.
void program_list(const Program& program, std::FILE* out);

}  // namespace ombrix
