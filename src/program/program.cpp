#include "program/program.hpp"

#include <algorithm>
#include <cstdio>

#include "program/interpreter.hpp"
#include "program/loop.hpp"
#include "program/renumber.hpp"

namespace ombrix {

void Program::insert(int32_t number, std::unique_ptr<Statement> statement) {
  if (number <= 0) return;  // dropped silently, with its statement
  if (lines_.empty() || number > lines_.rbegin()->first) {
    // A program is mostly typed or read in ascending order: append without a search.
    const Statement* appended = statement.get();
    lines_.emplace_hint(lines_.end(), number, std::move(statement));
    if (image_stale_ || image_used_) {
      image_stale_ = true;
      return;
    }
    image_append(number, appended);
  } else {
    lines_.insert_or_assign(number, std::move(statement));
    image_stale_ = true;
  }
}

void Program::erase(int32_t number) {
  if (number <= 0) return;
  if (lines_.erase(number) != 0) image_stale_ = true;
}

void Program::clear() {
  lines_.clear();
  image_.clear();
  image_stale_ = false;
  image_used_ = false;
}

void Program::renumber() {
  std::vector<int32_t> old_numbers;
  old_numbers.reserve(lines_.size());
  for (const auto& line : lines_) old_numbers.push_back(line.first);
  const LineRenumbering renumbering(std::move(old_numbers));
  std::map<int32_t, std::unique_ptr<Statement>> renumbered;
  std::size_t position = 0;
  for (auto& [old_number, statement] : lines_) {
    // Past 2147483640 the next number would not fit; such a program would
    // need more than 214 million lines, far beyond what memory holds.
    const int32_t number = renumbered_line(position++);
    jump_target_renumber(*statement, number, renumbering);
    renumbered.emplace_hint(renumbered.end(), number, std::move(statement));
  }
  lines_ = std::move(renumbered);
  // The rebuilt image starts with no cached jump targets or loop exits.
  image_stale_ = true;
}

const Statement* Program::find(int32_t number) const {
  if (number <= 0) return nullptr;
  const auto it = lines_.find(number);
  return it == lines_.end() ? nullptr : it->second.get();
}

std::vector<RunLine>& Program::image() {
  image_used_ = true;
  if (!image_stale_) return image_;
  image_.clear();
  image_.reserve(lines_.size());
  for (const auto& [number, statement] : lines_) image_append(number, statement.get());
  image_stale_ = false;
  return image_;
}

void Program::image_append(int32_t number, const Statement* statement) {
  if (!image_.empty()) image_.back().following = number;
  image_.push_back(RunLine{number, FLOW_CONTINUE, statement});
}

std::size_t Program::image_index(int32_t number) {
  const std::vector<RunLine>& lines = image();
  const auto it = std::lower_bound(lines.begin(), lines.end(), number,
                                   [](const RunLine& line, int32_t n) { return line.number < n; });
  if (it == lines.end() || it->number != number) return NO_LINE;
  return static_cast<std::size_t>(it - lines.begin());
}

void line_print(int32_t number, const Statement& statement, std::FILE* out) {
  std::fprintf(out, "%d ", number);
  statement_list(statement, out);
  std::fputc('\n', out);
}

void program_list(const Program& program, std::FILE* out) {
  for (const auto& [number, statement] : program.lines()) line_print(number, *statement, out);
}

namespace {

// Reports why the run stops at `line` and clears the reason. The program,
// the variables and the loop records stay as they are; only a return stack
// that overflowed is emptied, since nothing could return through it all.
void run_halted(Interpreter& interpreter, int32_t line) {
  switch (interpreter.halt) {
    case HALT_INTERRUPT: std::fprintf(stderr, "ERROR: BREAK IN LINE %d\n", line); break;
    case HALT_RETURN_STACK_FULL:
      std::fprintf(stderr, "ERROR: TOO MANY NESTED GOSUBS IN LINE %d\n", line);
      interpreter.return_stack.clear();
      interpreter.return_stack.shrink_to_fit();
      break;
    default: break;
  }
  interpreter.halt = HALT_NONE;
}

}  // namespace

void program_run(Interpreter& interpreter) {
  // A Ctrl-C that came before this run belongs to whatever was running then.
  interpreter.halt = HALT_NONE;
  Program& program = interpreter.program;
  std::vector<RunLine>& image = program.image();
  std::size_t at = 0;
  uint64_t jumps_left = interpreter.jump_budget;
  while (at < image.size()) {
    RunLine& line = image[at];
    if (interpreter.trace) {
      std::fputs("TR> ", stdout);
      line_print(line.number, *line.statement, stdout);
    }
    // The two statements of every counted loop run without the general dispatch.
    if (const auto* let = std::get_if<LetStatement>(&line.statement->body)) {
      expression_eval_into(*let->value, interpreter.eval, interpreter.eval.variables[let->variable.slot]);
      ++at;
      continue;
    }
    const auto* next = std::get_if<NextStatement>(&line.statement->body);
    const int32_t flow = next != nullptr ? next_execute(*next, interpreter, line.following)
                                         : statement_execute(*line.statement, interpreter, line.number, line.following);
    if (flow == FLOW_CONTINUE) {
      ++at;
      continue;
    }
    // Every endless run passes here again and again, so a halt is seen in
    // time, and the straight run of lines above pays nothing for it.
    if (interpreter.halt != HALT_NONE) {
      run_halted(interpreter, line.number);
      return;
    }
    if (flow == FLOW_END) return;
    if (interpreter.jump_budget != 0 && --jumps_left == 0) return;
    if (flow != line.cached_jump) {
      const std::size_t target = program.image_index(flow);
      if (target == NO_LINE) return;  // no such line: the run ends silently
      line.cached_jump = flow;
      line.cached_index = target;
    }
    at = line.cached_index;
  }
}

void interpreter_reset(Interpreter& interpreter) {
  variables_clear(interpreter.eval);
  interpreter.loops.fill(ForRecord{});
  interpreter.program.clear();
  interpreter.return_stack.clear();
  interpreter.return_stack.shrink_to_fit();
}

}  // namespace ombrix
