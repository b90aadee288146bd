#include "program/program.hpp"

#include <algorithm>
#include <cstdio>

#include "program/interpreter.hpp"
#include "program/loop.hpp"
#include "program/renumber.hpp"

namespace ombrix {

void Program::insert(int32_t number, Statement&& statement) {
  if (number <= 0) return;  // dropped silently, with its statement
  ++changes_;
  compiled_.reset();
  lines_.emplace_back(number, std::move(statement));
  if (waiting_ == 0 && number > last_number_) {
    last_number_ = number;  // in order: appended, the common case
    return;
  }
  ++waiting_;
}

void Program::erase(int32_t number) {
  if (number <= 0) return;
  // With no edit waiting, a number that no line has changes nothing, and
  // the compiled program stays.
  if (waiting_ == 0 && line_find(lines_, number) == lines_.end()) return;
  ++changes_;
  compiled_.reset();
  lines_.emplace_back(-number, Statement{EndStatement{}});
  ++waiting_;
}

void Program::apply_waiting_edits() const {
  const auto waiting = lines_.end() - static_cast<std::ptrdiff_t>(waiting_);
  const auto number_of = [](const std::pair<int32_t, Statement>& line) {
    return line.first < 0 ? -line.first : line.first;
  };
  // Stable: among edits of one number, the order they were made in stays.
  std::stable_sort(waiting, lines_.end(), [&](const auto& x, const auto& y) { return number_of(x) < number_of(y); });
  ProgramLines merged;
  auto stored = lines_.begin();
  auto edit = waiting;
  while (stored != waiting || edit != lines_.end()) {
    if (edit == lines_.end() || (stored != waiting && stored->first < number_of(*edit))) {
      merged.push_back(std::move(*stored++));
      continue;
    }
    const int32_t number = number_of(*edit);
    auto last = edit;
    while (++edit != lines_.end() && number_of(*edit) == number) last = edit;
    if (stored != waiting && stored->first == number) ++stored;  // replaced or deleted
    if (last->first > 0) merged.push_back(std::move(*last));
  }
  lines_ = std::move(merged);
  waiting_ = 0;
  last_number_ = lines_.empty() ? 0 : lines_.back().first;
}

void Program::clear() {
  // The compiled program's large arrays go first: freeing a large block
  // makes malloc merge the small ones already freed.
  ++changes_;
  compiled_.reset();
  lines_.clear();
  waiting_ = 0;
  last_number_ = 0;
}

void Program::replace(Program&& other) {
  const uint64_t changes = changes_ + 1;
  *this = std::move(other);
  changes_ = changes;
}

void Program::renumber() {
  ++changes_;
  const ProgramLines& lines = this->lines();
  std::vector<int32_t> old_numbers;
  old_numbers.reserve(lines.size());
  for (const auto& line : lines) old_numbers.push_back(line.first);
  const LineRenumbering renumbering(std::move(old_numbers));
  std::size_t position = 0;
  for (auto& [number, statement] : lines_) {
    // Past 2147483640 the next number would not fit; such a program would
    // need more than 214 million lines, far beyond what memory holds.
    number = renumbered_line(position++);
    jump_target_renumber(statement, number, renumbering);
  }
  last_number_ = lines_.empty() ? 0 : lines_.back().first;
  compiled_.reset();
}

const Statement* Program::find(int32_t number) const {
  if (number <= 0) return nullptr;
  const ProgramLines& lines = this->lines();
  const auto it = line_find(lines, number);
  return it == lines.end() ? nullptr : &it->second;
}

ProgramLines::const_iterator line_find(const ProgramLines& lines, int32_t number) {
  const auto it = std::lower_bound(lines.begin(), lines.end(), number,
                                   [](const std::pair<int32_t, Statement>& line, int32_t n) { return line.first < n; });
  return it != lines.end() && it->first == number ? it : lines.end();
}

CompiledProgram& Program::compiled() {
  if (!compiled_) compiled_ = program_compile(lines());
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
