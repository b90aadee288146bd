#include "program/compile.hpp"

#include <algorithm>
#include <array>

namespace ombrix {

uint32_t CompiledProgram::pc_of_line(int32_t number) const {
  if (lines.empty() || number < lines.front().number || number > lines.back().number) return exit_pc;
  // Programs are mostly numbered at one step (10, 20, 30 ...): the place
  // the line has at that step is tried first, and searched from only when
  // the line is not there.
  if (lines.size() > 1) {
    const int64_t span = int64_t{lines.back().number} - lines.front().number;
    const auto guess = static_cast<std::size_t>((int64_t{number} - lines.front().number) *
                                                static_cast<int64_t>(lines.size() - 1) / span);
    if (lines[guess].number == number) return lines[guess].pc;
  }
  const auto it = std::lower_bound(lines.begin(), lines.end(), number,
                                   [](const LineStart& line, int32_t n) { return line.number < n; });
  if (it == lines.end() || it->number != number) return exit_pc;
  return it->pc;
}

int32_t CompiledProgram::line_at(uint32_t pc) const {
  // The last line that starts at or before pc: lines that compiled to
  // nothing start where the line after them does, and come before it.
  const auto it =
      std::upper_bound(lines.begin(), lines.end(), pc, [](uint32_t p, const LineStart& line) { return p < line.pc; });
  return it == lines.begin() ? FLOW_CONTINUE : std::prev(it)->number;
}

uint32_t Compiler::text(const std::string& text) {
  program_.texts.push_back(text.c_str());
  return static_cast<uint32_t>(program_.texts.size() - 1);
}

uint32_t Compiler::input(const InputStatement& statement) {
  program_.inputs.push_back(&statement);
  return static_cast<uint32_t>(program_.inputs.size() - 1);
}

CompiledProgram program_compile(const ProgramLines& lines) {
  CompiledProgram program;
  // Every line has its start: written in place, without push_back's test
  // of the capacity at each.
  program.lines.resize(lines.size());
  LineStart* line_start = program.lines.data();
  // Most lines compile to one to three instructions and use a constant or
  // two: room for that up front spares the arrays their growing, whose
  // copy would also hold the old array and the new one at once.
  program.code.instructions.reserve(3 * lines.size() + 1);
  program.code.cells.reserve(2 * lines.size());
  Compiler compiler(program);
  // The lines that are a NEXT, in order, for the loop exits below: few, so
  // kept apart rather than a mark on every line.
  struct NextLine {
    std::size_t line_index;
    char letter;
  };
  std::vector<NextLine> next_lines;
  for (auto it = lines.begin(); it != lines.end(); ++compiler.line_index_, ++line_start) {
    const auto& [number, statement] = *it;
    ++it;
    compiler.following = it == lines.end() ? FLOW_CONTINUE : it->first;
    *line_start = {number, program.code.pc()};
    program.code.statement_begin();
    statement_compile(statement, compiler);
    if (const auto* next = std::get_if<NextStatement>(&statement.body)) {
      next_lines.push_back({compiler.line_index_, next->variable.letter});
    }
  }
  program.exit_pc = program.code.emit({Op::EXIT});

  std::vector<Instruction>& code = program.code.instructions;
  for (const Compiler::Jump& jump : compiler.jumps_) code[jump.instruction].a = program.pc_of_line(jump.number);
  // The caches of RETURN and NEXT start true: line 0, which no line has,
  // leads to the EXIT.
  for (const uint32_t instruction : compiler.exit_caches_) code[instruction].b = program.exit_pc;

  // One sweep over the FOR lines from the last back, taking in the NEXT
  // lines at or after each: the nearest line at or after it that is
  // "NEXT c", for every character c.
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  std::array<std::size_t, 256> nearest_next;
  nearest_next.fill(NONE);
  auto next_line = next_lines.rbegin();
  for (auto exit = compiler.loop_exits_.rbegin(); exit != compiler.loop_exits_.rend(); ++exit) {
    for (; next_line != next_lines.rend() && next_line->line_index >= exit->line_index; ++next_line) {
      nearest_next[static_cast<unsigned char>(next_line->letter)] = next_line->line_index;
    }
    const std::size_t next = nearest_next[static_cast<unsigned char>(exit->letter)];
    Instruction& test = code[exit->instruction];
    if (next == NONE || next + 1 == lines.size()) {
      // No NEXT, or the last line: -1, which goes on after the FOR.
      test.a = exit->instruction + 1;
      test.c = 0;
    } else {
      test.a = program.lines[next + 1].pc;
      test.c = 1;
    }
  }
  return program;
}

}  // namespace ombrix
