#include "driver/terminal.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "driver/history_file.hpp"
#include "driver/session_commands.hpp"
#include "program/interpreter.hpp"

#ifdef OMBRIX_HAVE_LIBEDIT
#include <histedit.h>
#include <langinfo.h>

#include <clocale>
#include <cwchar>
#endif

namespace ombrix {

namespace {

// Every keyword of the token table; the session commands' names come from
// their own table. A unit test holds the list to the token table.
constexpr std::array<std::string_view, 39> COMPLETION_WORDS = {
    "ABS",   "ATN", "BEEP",  "CLEAR", "CLS", "COS",  "COT",  "END",   "EXP",       "FOR",  "GOSUB", "GOTO",   "IF",
    "INPUT", "INT", "LET",   "LIST",  "LOG", "MOD",  "NEXT", "PRINT", "RANDOMIZE", "REM",  "RENUM", "RETURN", "RND",
    "RUN",   "SGN", "SHELL", "SIN",   "SQR", "STEP", "STOP", "TAN",   "THEN",      "TIME", "TO",    "TROFF",  "TRON",
};
static_assert(std::is_sorted(COMPLETION_WORDS.begin(), COMPLETION_WORDS.end()));

constexpr char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Where Ctrl-C is recorded, and the terminal to move to a fresh line on (or
// -1). Set before the handler is installed, cleared after it is removed.
volatile std::sig_atomic_t* interrupt_target = nullptr;
int interrupt_echo = -1;

// Only what is safe in a signal handler: a store, and one write(2) so that
// the message or prompt that follows does not start after the "^C" that the
// terminal echoed.
void record_interrupt(int) {
  *interrupt_target = HALT_INTERRUPT;
  if (interrupt_echo < 0) return;
  const int saved = errno;
  [[maybe_unused]] const ssize_t written = write(interrupt_echo, "\n", 1);
  errno = saved;
}

}  // namespace

std::vector<std::string_view> terminal_completions(std::string_view typed) {
  std::vector<std::string_view> words;
  const auto offer = [&](std::string_view word) {
    if (word.size() < typed.size()) return;
    if (std::equal(typed.begin(), typed.end(), word.begin(), [](char a, char b) { return upper(a) == b; })) {
      words.push_back(word);
    }
  };
  for (const std::string_view word : COMPLETION_WORDS) offer(word);
  for (const SessionCommand& command : session_commands()) offer(command.name);
  std::sort(words.begin(), words.end());
  // A command that is also a keyword (STEP) is offered once.
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

class Terminal {
 public:
  Terminal(volatile std::sig_atomic_t* halt, bool interactive);
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  ~Terminal();

  bool read(const char* prompt, ByteBuffer* buffer, LineKind kind);

 private:
  bool interrupt_requested() const { return catches_interrupt_ && *halt_ == HALT_INTERRUPT; }
  bool read_plain(const char* prompt, ByteBuffer* buffer);

  volatile std::sig_atomic_t* halt_;
  bool catches_interrupt_ = false;
  struct sigaction previous_interrupt_ {};

#ifdef OMBRIX_HAVE_LIBEDIT
  bool open_editor(bool interactive);
  bool read_edited(const char* prompt, ByteBuffer* buffer, LineKind kind);
  void keep(const char* line, LineKind kind);
  static Terminal& of(EditLine* editor);
  static int read_char(EditLine* editor, wchar_t* character);
  static char* prompt_text(EditLine* editor);
  static unsigned char complete(EditLine* editor, int key);

  EditLine* editor_ = nullptr;
  History* program_history_ = nullptr;
  History* reply_history_ = nullptr;
  std::string last_program_line_;
  std::string last_reply_;
  HistoryFile history_file_;
  std::string previous_locale_;
  const char* prompt_ = "";
  bool interrupted_ = false;
  bool ended_ = false;
#endif
};

Terminal::Terminal(volatile std::sig_atomic_t* halt, bool interactive) : halt_(halt) {
#ifdef OMBRIX_HAVE_LIBEDIT
  open_editor(interactive);
#endif
  if (!interactive) return;
  // SIGINT ignored from the start (nohup, a job started in the background by
  // a shell without job control) stays ignored, as the caller meant.
  if (sigaction(SIGINT, nullptr, &previous_interrupt_) != 0 || previous_interrupt_.sa_handler == SIG_IGN) return;
  interrupt_target = halt;
  interrupt_echo = isatty(STDERR_FILENO) == 1 ? STDERR_FILENO : -1;
  struct sigaction action {};
  action.sa_handler = record_interrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read or a wait that Ctrl-C interrupts must return, so
  // that a reply is no longer waited for; SHELL's wait and the readers here
  // go on where that is right.
  action.sa_flags = 0;
  catches_interrupt_ = sigaction(SIGINT, &action, nullptr) == 0;
}

Terminal::~Terminal() {
  if (catches_interrupt_) {
    sigaction(SIGINT, &previous_interrupt_, nullptr);
    interrupt_target = nullptr;
    interrupt_echo = -1;
  }
#ifdef OMBRIX_HAVE_LIBEDIT
  if (editor_ == nullptr) return;
  el_end(editor_);
  history_end(program_history_);
  history_end(reply_history_);
  std::setlocale(LC_CTYPE, previous_locale_.c_str());
#endif
}

bool Terminal::read(const char* prompt, ByteBuffer* buffer, LineKind kind) {
  // A program's output is on the screen before its question is waited for,
  // also when standard output is a pipe or a file.
  std::fflush(stdout);
  // Ctrl-C that came before the wait: nothing is waited for.
  if (interrupt_requested()) {
    bf_addch(buffer, '\0');
    return true;
  }
#ifdef OMBRIX_HAVE_LIBEDIT
  if (editor_ != nullptr) return read_edited(prompt, buffer, kind);
#else
  (void)kind;
#endif
  return read_plain(prompt, buffer);
}

bool Terminal::read_plain(const char* prompt, ByteBuffer* buffer) {
  const uint64_t start = buffer->length;
  read_line(stdin, prompt, buffer);
  if (interrupt_requested()) {
    // The read was interrupted, which the stream took for an error; the
    // input has not ended. What was typed of the line is dropped.
    std::clearerr(stdin);
    buffer->length = start;
    bf_addch(buffer, '\0');
    return true;
  }
  return !std::feof(stdin) && !std::ferror(stdin);
}

#ifdef OMBRIX_HAVE_LIBEDIT

Terminal& Terminal::of(EditLine* editor) {
  void* terminal = nullptr;
  el_get(editor, EL_CLIENTDATA, &terminal);
  return *static_cast<Terminal*>(terminal);
}

bool Terminal::open_editor(bool interactive) {
  const char* term = std::getenv("TERM");
  if (term == nullptr || term[0] == '\0' || std::strcmp(term, "dumb") == 0) return false;
  if (isatty(STDERR_FILENO) != 1) return false;

  // libedit decodes the typed bytes as characters of the locale. The plain
  // C locale knows ASCII only and would drop every other byte, so it gives
  // way to C.UTF-8 (as Python does); without any locale that can carry them,
  // lines are read plainly rather than lose bytes. The interpreter itself
  // does not depend on the locale: its scanner compares bytes.
  previous_locale_ = std::setlocale(LC_CTYPE, nullptr);
  std::setlocale(LC_CTYPE, "");
  const auto ascii_only = [] { return std::strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0; };
  if (ascii_only()) std::setlocale(LC_CTYPE, "C.UTF-8");
  if (ascii_only()) {
    std::setlocale(LC_CTYPE, previous_locale_.c_str());
    return false;
  }

  editor_ = el_init("ombrix", stdin, stderr, stderr);
  if (editor_ == nullptr) {
    std::setlocale(LC_CTYPE, previous_locale_.c_str());
    return false;
  }
  el_set(editor_, EL_CLIENTDATA, this);
  el_set(editor_, EL_EDITOR, "emacs");
  // libedit restores the terminal's modes around a signal that arrives
  // while a line is edited, and redraws the line after Ctrl-Z and fg.
  el_set(editor_, EL_SIGNAL, 1);
  el_set(editor_, EL_GETCFN, read_char);
  el_set(editor_, EL_PROMPT, prompt_text);
  // The wide form keeps these names where they are; the narrow one copies
  // them and never frees the copies.
  el_wset(editor_, EL_ADDFN, L"ombrix-complete", L"complete a keyword", complete);
  // The keys a shell user expects, where libedit's emacs keys differ.
  el_set(editor_, EL_BIND, "^I", "ombrix-complete", nullptr);
  el_set(editor_, EL_BIND, "^R", "em-inc-search-prev", nullptr);
  el_set(editor_, EL_BIND, "^W", "ed-delete-prev-word", nullptr);
  el_set(editor_, EL_BIND, "^U", "vi-kill-line-prev", nullptr);
  for (const char* home : {"\\e[H", "\\eOH", "\\e[1~", "\\e[7~"}) {
    el_set(editor_, EL_BIND, home, "ed-move-to-beg", nullptr);
  }
  for (const char* end : {"\\e[F", "\\eOF", "\\e[4~", "\\e[8~"}) {
    el_set(editor_, EL_BIND, end, "ed-move-to-end", nullptr);
  }
  el_set(editor_, EL_BIND, "\\e[3~", "ed-delete-next-char", nullptr);
  // The user's own ~/.editrc comes last, so it can change any of these.
  el_source(editor_, nullptr);

  program_history_ = history_init();
  reply_history_ = history_init();
  HistEvent event;
  history(program_history_, &event, H_SETSIZE, static_cast<int>(HISTORY_LIMIT));
  history(reply_history_, &event, H_SETSIZE, static_cast<int>(HISTORY_LIMIT));
  if (interactive) {
    for (const std::string& entry : history_file_.open(history_file_path())) {
      history(program_history_, &event, H_ENTER, entry.c_str());
      last_program_line_ = entry;
    }
  }
  return true;
}

bool Terminal::read_edited(const char* prompt, ByteBuffer* buffer, LineKind kind) {
  if (ended_) {
    bf_addch(buffer, '\0');
    return false;
  }
  prompt_ = prompt != nullptr ? prompt : "";
  el_set(editor_, EL_HIST, history, kind == LineKind::program ? program_history_ : reply_history_);
  interrupted_ = false;
  int count = 0;
  const char* text = el_gets(editor_, &count);
  if (interrupted_) {  // Ctrl-C: the line typed so far is dropped
    bf_addch(buffer, '\0');
    return true;
  }
  if (text == nullptr || count <= 0) {  // Ctrl-D on an empty line, or the terminal is gone
    ended_ = true;
    std::fputc('\n', stderr);  // what comes next starts on a line of its own
    bf_addch(buffer, '\0');
    return false;
  }
  const uint64_t start = buffer->length;
  std::size_t length = std::strlen(text);
  if (length > 0 && text[length - 1] == '\n') --length;
  for (std::size_t i = 0; i < length; ++i) bf_addch(buffer, text[i]);
  bf_addch(buffer, '\0');
  keep(buffer->data + start, kind);
  return true;
}

void Terminal::keep(const char* line, LineKind kind) {
  std::string& previous = kind == LineKind::program ? last_program_line_ : last_reply_;
  if (!history_keeps(line, previous)) return;
  previous = line;
  HistEvent event;
  history(kind == LineKind::program ? program_history_ : reply_history_, &event, H_ENTER, line);
  if (kind == LineKind::program) history_file_.append(line);
}

int Terminal::read_char(EditLine* editor, wchar_t* character) {
  Terminal& terminal = of(editor);
  std::mbstate_t state{};
  for (;;) {
    if (terminal.interrupt_requested()) {
      terminal.interrupted_ = true;
      return -1;
    }
    char byte = 0;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 0) return 0;
    if (got < 0) {
      // Another signal (a resized window, a resumed process) only
      // interrupted the wait; Ctrl-C is seen at the top of the loop.
      if (errno == EINTR) continue;
      return -1;
    }
    const std::size_t used = std::mbrtowc(character, &byte, 1, &state);
    if (used == static_cast<std::size_t>(-2)) continue;  // more bytes of the same character follow
    if (used == static_cast<std::size_t>(-1)) {          // no character of the locale: dropped, as libedit does
      state = {};
      continue;
    }
    return 1;
  }
}

char* Terminal::prompt_text(EditLine* editor) { return const_cast<char*>(of(editor).prompt_); }

unsigned char Terminal::complete(EditLine* editor, int) {
  const LineInfo* line = el_line(editor);
  const std::string_view before(line->buffer, static_cast<std::size_t>(line->cursor - line->buffer));
  // Inside a string literal the letters are text, not words of the language.
  if (std::count(before.begin(), before.end(), '"') % 2 != 0) return CC_ERROR;
  const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  std::size_t start = before.size();
  while (start > 0 && is_letter(before[start - 1])) --start;
  const std::string_view typed = before.substr(start);
  if (typed.empty()) return CC_ERROR;
  const std::vector<std::string_view> words = terminal_completions(typed);
  if (words.empty()) return CC_ERROR;

  std::string_view common = words.front();
  for (const std::string_view word : words) {
    common = common.substr(
        0, static_cast<std::size_t>(std::mismatch(common.begin(), common.end(), word.begin()).first - common.begin()));
  }
  el_deletestr(editor, static_cast<int>(typed.size()));
  el_insertstr(editor, std::string(common).c_str());
  if (words.size() == 1 || common.size() > typed.size()) return CC_REFRESH;
  // Nothing more is certain: the choices go under the line, which is drawn again.
  std::fputc('\n', stderr);
  for (const std::string_view word : words) std::fprintf(stderr, "%.*s  ", static_cast<int>(word.size()), word.data());
  std::fputc('\n', stderr);
  return CC_REDISPLAY;
}

#endif  // OMBRIX_HAVE_LIBEDIT

void TerminalClose::operator()(Terminal* terminal) const { delete terminal; }

TerminalPtr terminal_open(volatile std::sig_atomic_t* halt, bool interactive) {
  if (isatty(STDIN_FILENO) != 1) return nullptr;
  return TerminalPtr(new Terminal(halt, interactive));
}

bool terminal_read_line(Terminal* terminal, std::FILE* input, const char* prompt, ByteBuffer* buffer, LineKind kind) {
  if (terminal != nullptr && input == stdin) return terminal->read(prompt, buffer, kind);
  read_line(input, prompt, buffer);
  return !stream_at_end(input) && !stream_failed(input);
}

}  // namespace ombrix
