#include "program/program.hpp"

#include <cstdio>

#include "program/interpreter.hpp"
#include "program/loop.hpp"
#include "program/renumber.hpp"

namespace ombrix {

void Program::insert(int32_t number, Statement&& statement) {
  if (number <= 0) return;  // dropped silently, with its statement
  compiled_.reset();
  if (number > above_all_) {
    // A program is mostly typed or read in ascending order: append without a search.
    lines_.emplace_hint(lines_.end(), number, std::move(statement));
    above_all_ = number;
  } else {
    lines_.insert_or_assign(number, std::move(statement));
  }
}

void Program::erase(int32_t number) {
  if (number <= 0) return;
  if (lines_.erase(number) != 0) compiled_.reset();
}

void Program::clear() {
  // The compiled program's large arrays go first: freeing a large block
  // makes malloc merge the small ones already freed, and the lines are
  // tens of thousands of small blocks.
  compiled_.reset();
  lines_.clear();
  above_all_ = 0;
}

void Program::renumber() {
  std::vector<int32_t> old_numbers;
  old_numbers.reserve(lines_.size());
  for (const auto& line : lines_) old_numbers.push_back(line.first);
  const LineRenumbering renumbering(std::move(old_numbers));
  ProgramLines renumbered;
  std::size_t position = 0;
  for (auto& [old_number, statement] : lines_) {
    // Past 2147483640 the next number would not fit; such a program would
    // need more than 214 million lines, far beyond what memory holds.
    const int32_t number = renumbered_line(position++);
    jump_target_renumber(statement, number, renumbering);
    renumbered.emplace_hint(renumbered.end(), number, std::move(statement));
  }
  lines_ = std::move(renumbered);
  above_all_ = lines_.empty() ? 0 : lines_.rbegin()->first;
  compiled_.reset();
}

const Statement* Program::find(int32_t number) const {
  if (number <= 0) return nullptr;
  const auto it = lines_.find(number);
  return it == lines_.end() ? nullptr : &it->second;
}

CompiledProgram& Program::compiled() {
  if (!compiled_) compiled_ = program_compile(lines_);
  return *compiled_;
}

void line_print(int32_t number, const Statement& statement, std::FILE* out) {
  std::fprintf(out, "%d ", number);
  statement_list(statement, out);
  std::fputc('\n', out);
}

void program_list(const Program& program, std::FILE* out) {
  for (const auto& [number, statement] : program.lines()) line_print(number, statement, out);
}

void interpreter_reset(Interpreter& interpreter) {
  variables_clear(interpreter.eval);
  interpreter.loops.fill(ForRecord{});
  interpreter.program.clear();
  interpreter.return_stack.clear();
  interpreter.return_stack.shrink_to_fit();
}

}  // namespace ombrix
