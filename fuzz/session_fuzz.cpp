// Fuzz target: a whole session. The bytes are cut into lines at each newline
// (a NUL ends a line's text, as it does for lines read from a file) and fed
// through the line dispatcher of a fresh Interpreter, as the read loop does;
// the stored program is then run once more, as after a file. INPUT takes its
// replies from the following lines, as it does when the program is typed on
// standard input. Runs are bounded by a jump budget, SHELL runs nothing, and
// SAVE and LOAD, which would write and read files by any name, are off.
#include <cstdint>
#include <string>
#include <vector>

#include "driver/dispatcher.hpp"
#include "fuzz_io.hpp"
#include "program/interpreter.hpp"

namespace {

using namespace ombrix;

constexpr uint64_t JUMPS_PER_RUN = 10000;

class Lines {
 public:
  Lines(const uint8_t* data, std::size_t size) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
      if (i == size || data[i] == '\n') {
        lines_.emplace_back(reinterpret_cast<const char*>(data) + start, i - start);
        start = i + 1;
      }
    }
  }
  bool at_end() const { return next_ >= lines_.size(); }
  // The next line's text (as far as its first NUL); empty at the end.
  const char* take() { return at_end() ? "" : lines_[next_++].c_str(); }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

class FuzzHost final : public LineHost {
 public:
  FuzzHost(Interpreter& interpreter, Lines& lines) : interpreter_(interpreter), lines_(lines) {}
  const char* read_reply() override { return lines_.take(); }
  void dispatch_synthesized(const char* line) override { interpret_line(interpreter_, line, LineOrigin::synthesized); }

 private:
  Interpreter& interpreter_;
  Lines& lines_;
};

int32_t no_shell(const char*) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::discard_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Lines lines(data, size);
  Interpreter interpreter;
  FuzzHost host(interpreter, lines);
  interpreter.host = &host;
  interpreter.shell_runner = no_shell;
  interpreter.jump_budget = JUMPS_PER_RUN;
  interpreter.file_commands = false;
  interpreter_reset(interpreter);
  do {
    interpret_line(interpreter, lines.take());
  } while (!interpreter.stop && !lines.at_end());
  interpret_line(interpreter, "RUN");
  interpreter_reset(interpreter);
  return 0;
}
