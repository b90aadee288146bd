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

std::optional<int32_t> constant_target(const Expression& target) {
  const std::optional<Number> literal = target.literal();
  if (!literal) return std::nullopt;
  return number_to_int(*literal);
}

CompiledProgram program_compile(const ProgramLines& lines) {
  CompiledProgram program;
  program.lines.reserve(lines.size());
  // Most lines compile to one to three instructions and use a constant or
  // two: room for that up front spares the arrays their growing, whose
  // copy would also hold the old array and the new one at once.
  program.code.instructions.reserve(3 * lines.size() + 1);
  program.code.cells.reserve(2 * lines.size());
  Compiler compiler(program);
  // The letter of each line that is a NEXT (0 for any other line), for the
  // loop exits below.
  std::vector<char> next_letter;
  next_letter.reserve(lines.size());
  for (auto it = lines.begin(); it != lines.end(); ++compiler.line_index_) {
    const auto& [number, statement] = *it;
    ++it;
    compiler.line = number;
    compiler.following = it == lines.end() ? FLOW_CONTINUE : it->first;
    program.lines.push_back({number, program.code.pc()});
    program.code.statement_begin();
    statement_compile(statement, compiler);
    const auto* next = std::get_if<NextStatement>(&statement.body);
    next_letter.push_back(next != nullptr ? next->variable.letter : '\0');
  }
  program.exit_pc = program.code.emit({Op::EXIT});

  std::vector<Instruction>& code = program.code.instructions;
  for (const Compiler::Jump& jump : compiler.jumps_) code[jump.instruction].a = program.pc_of_line(jump.number);
  // The caches of RETURN and NEXT start true: line 0, which no line has,
  // leads to the EXIT.
  for (const uint32_t instruction : compiler.exit_caches_) code[instruction].b = program.exit_pc;

  // One sweep from the last line back: at each line, the nearest line at
  // or after it that is "NEXT c", for every character c.
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  std::array<std::size_t, 256> nearest_next;
  nearest_next.fill(NONE);
  auto exit = compiler.loop_exits_.rbegin();
  for (std::size_t i = lines.size(); i-- > 0;) {
    if (next_letter[i] != '\0') nearest_next[static_cast<unsigned char>(next_letter[i])] = i;
    for (; exit != compiler.loop_exits_.rend() && exit->line_index == i; ++exit) {
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
  }
  return program;
}

}  // namespace ombrix
