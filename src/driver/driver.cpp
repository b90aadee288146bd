#include "driver/driver.hpp"

#include <unistd.h>

#include <cstdio>

#include "driver/byte_buffer.hpp"
#include "driver/dispatcher.hpp"
#include "driver/fatal.hpp"

namespace ombrix {

namespace {

constexpr const char* BUG_ADDRESS = "https://ombrix.example/issues";

void print_usage(const char* invoked_as) {
  std::printf("%s - a small BASIC Interpreter written in C\n", "ombrix");
  std::printf("\n");
  std::printf("Usage: %s [filename]\n", invoked_as);
  std::printf("\n");
  std::printf("Options:\n");
  std::printf(" -h, -?            --help                  Print a helpful message and exit\n");
  std::printf(" -v                --version               Print version information and exit\n");
  std::printf("\n");
  std::printf("Report bugs to %s\n", BUG_ADDRESS);
}

void print_version() {
  std::printf("ombrix 2.3.0\n");
  std::printf("\n");
  std::printf("Copyright (C) 2026 the ombrix developers. Free to use, copy and change.\n");
  std::printf("\n");
  std::printf("Written by the ombrix developers.\n");
}

// INPUT's replies come from standard input, whatever the program was read from.
class StandardInputHost final : public LineHost {
 public:
  explicit StandardInputHost(Interpreter& interpreter) : interpreter_(interpreter) {}

  const char* read_reply() override {
    reply_ = bf_alloc(32, 16);
    read_line(stdin, "? ", reply_.get());
    return reply_->data;
  }

  void dispatch_synthesized(const char* line) override { interpret_line(interpreter_, line, LineOrigin::synthesized); }

 private:
  Interpreter& interpreter_;
  ByteBufferPtr reply_;
};

}  // namespace

int run_driver(int argc, char* argv[]) {
  install_out_of_memory_handler();
  Interpreter interpreter;
  interpreter_reset(interpreter);

  optind = 0;  // a fresh scan of the arguments, also when called more than once
  for (int option; (option = getopt(argc, argv, "h?v")) != -1;) {
    if (option == 'v') {
      print_version();
      return 0;
    }
    print_usage(argv[0]);  // 'h', '?', and any option getopt does not know
    return 0;
  }
  if (argc != optind && argc != optind + 1) {
    print_usage(argv[0]);
    return 0;
  }

  std::FILE* input = stdin;
  if (argc == optind + 1) {
    input = std::fopen(argv[optind], "r");
    if (input == nullptr) {
      std::perror("fopen");
      return 1;
    }
  }

  // The scanner matches tokens with its fast matcher, which the tests hold to
  // the compiled table token for token; the table itself is compiled only
  // where it is used, which saves a fifth of the start-up time.
  StandardInputHost host(interpreter);
  interpreter.host = &host;

  ByteBufferPtr line = bf_alloc(32, 16);
  // Only a terminal gets the prompt. Asking once spares a system call per
  // line of a long program; read_line still checks before it writes one.
  const char* prompt = isatty(fileno(input)) == 1 ? "> " : nullptr;
  // Tested after each line, so at least one line is always read. A read
  // error ends the loop as the end of input does, so a broken descriptor
  // cannot make it spin.
  do {
    read_line(input, prompt, line.get());
    interpret_line(interpreter, line->data);
    // A run reports and clears its own halt; one left by a direct statement
    // (Ctrl-C in a direct INPUT or SHELL) must not stop the next run.
    interpreter.halt = HALT_NONE;
    bf_reset(line.get());
  } while (!interpreter.stop && !std::feof(input) && !std::ferror(input));
  line.reset();

  // With exactly one argument (a file, or a lone "--") the program read is run once.
  if (argc == 2) interpret_line(interpreter, "RUN");
  if (input != stdin) std::fclose(input);
  interpreter_reset(interpreter);
  patterns_free(interpreter.patterns);
  return 0;
}

}  // namespace ombrix
