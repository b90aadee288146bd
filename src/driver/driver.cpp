#include "driver/driver.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "driver/byte_buffer.hpp"
#include "driver/dispatcher.hpp"
#include "driver/fatal.hpp"
#include "driver/program_file.hpp"
#include "driver/terminal.hpp"

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
  StandardInputHost(Interpreter& interpreter, Terminal* terminal) : interpreter_(interpreter), terminal_(terminal) {}

  const char* read_reply() override {
    reply_ = bf_alloc(32, 16);
    terminal_read_line(terminal_, stdin, "? ", reply_.get(), LineKind::reply);
    return reply_->data;
  }

  void dispatch_synthesized(const char* line) override { interpret_line(interpreter_, line, LineOrigin::synthesized); }

 private:
  Interpreter& interpreter_;
  Terminal* terminal_;
  ByteBufferPtr reply_;
};

// A standard stream that was closed when ombrix started gets /dev/null, so
// that no file opened later (the program file, a file SAVE writes) takes its
// descriptor: INPUT would read the program's text as its reply, and error
// messages would land in a saved file.
void open_closed_standard_streams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower descriptors are open, so this one is the lowest free.
    if (open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) fatal_perror("/dev/null");
  }
}

// Output that could not be written must not end as success. Standard output
// keeps only its error flag, not the reason: a write that fails does so
// again here while its text is still buffered, and gives its reason then;
// once a failed flush has dropped the text, the reason is unknown. A broken
// pipe stays quiet, as when SIGPIPE ends the process.
int finish_output(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  if (errno == 0) {
    std::fputs("write: Output could not be written\n", stderr);
  } else if (errno != EPIPE) {
    std::perror("write");
  }
  return 1;
}

int run_session(int argc, char* argv[]) {
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
  // Typed lines (INPUT's replies too) are edited on a terminal; Ctrl-C stops
  // a run there only when no program file was named.
  const TerminalPtr terminal = terminal_open(&interpreter.halt, argc == optind);
  StandardInputHost host(interpreter, terminal.get());
  interpreter.host = &host;
  Session session(interpreter, terminal.get());

  ByteBufferPtr line = bf_alloc(32, 16);
  // Only a terminal gets the prompt. Asking once spares a system call per
  // line of a long program; read_line still checks before it writes one.
  const char* prompt = isatty(fileno(input)) == 1 ? "> " : nullptr;
  const bool program_file = input != stdin;
  bool first_line = program_file;
  // At least one line is always read. A read error ends the loop as the end
  // of input does, so a broken descriptor cannot make it spin.
  for (;;) {
    const bool more = terminal_read_line(terminal.get(), input, prompt, line.get(), LineKind::program);
    const bool read_failed = stream_failed(input);
    // A program file that cannot be read (a directory, an I/O error) ends
    // ombrix as one that cannot be opened does: its program is incomplete,
    // so neither the broken line nor the program runs.
    if (read_failed && program_file) {
      std::perror("read");
      return 1;
    }
    const char* text = line->data;
    if (first_line) {
      text = program_file_first_line(text);
      first_line = false;
    }
    interpret_line(session, text);
    // A run reports and clears its own halt; one left by a direct statement
    // (Ctrl-C in a direct INPUT or SHELL) must not stop the next run.
    interpreter.halt = HALT_NONE;
    if (interpreter.stop || !more) break;
    bf_reset(line.get());
  }
  line.reset();

  // With exactly one argument (a file, or a lone "--") the program read is run once.
  if (argc == 2) interpret_line(session, "RUN");
  if (input != stdin) std::fclose(input);
  interpreter_reset(interpreter);
  patterns_free(interpreter.patterns);
  return 0;
}

}  // namespace

int run_driver(int argc, char* argv[]) {
  open_closed_standard_streams();
  return finish_output(run_session(argc, argv));
}

}  // namespace ombrix
