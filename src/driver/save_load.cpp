#include "driver/save_load.hpp"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/byte_buffer.hpp"
#include "driver/program_file.hpp"

namespace ombrix {

namespace {

enum class Command { save, load };

const char* command_word(Command command) { return command == Command::save ? "SAVE" : "LOAD"; }

void report_no_name(Command command) {
  std::fprintf(stderr, "ERROR: %s NEEDS A FILE NAME IN QUOTES\n", command_word(command));
}

void report_failure(Command command, const std::string& name, const char* reason) {
  std::fprintf(stderr, "ERROR: CANNOT %s \"%s\": %s\n", command_word(command), name.c_str(), reason);
}

void report_not_program_line(const std::string& name, uint64_t line) {
  std::fprintf(stderr, "ERROR: LINE %" PRIu64 " OF \"%s\" IS NOT A PROGRAM LINE\n", line, name.c_str());
}

// The blanks the scanner skips between tokens.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n'; }

bool is_blank_only(const char* text) {
  while (is_blank(*text)) ++text;
  return *text == '\0';
}

// What a line of a file to LOAD did to the program being built.
enum class LineUse { stored, skipped, rejected };

// Only a numbered line with a statement is stored; a line number alone
// deletes a line read before, as typed. Unlike a typed line, a line whose
// number is followed by something that is no statement is not taken for a
// deletion but rejected: in a file, that is a damaged line.
LineUse load_line(const char* text, Program& program) {
  if (is_blank_only(text)) return LineUse::skipped;
  Scanner scanner(text);
  const std::optional<Number> number = number_parse(scanner);
  if (!number) return LineUse::rejected;
  const int32_t line = number_to_int(*number);
  if (line <= 0) return LineUse::rejected;
  if (is_blank_only(scanner.cursor)) {
    program.erase(line);
    return LineUse::skipped;
  }
  std::optional<Statement> statement = statement_parse(scanner);
  if (!statement || scanner.nesting_exceeded) return LineUse::rejected;
  program.insert(line, std::move(*statement));
  return LineUse::stored;
}

// Reads the file into `program`; the numbers (in the file) of the lines left
// out go to `rejected`. Returns 0, or the error that stopped the reading.
int load_file(const char* name, Program& program, std::vector<uint64_t>& rejected) {
  std::FILE* file = std::fopen(name, "r");
  if (file == nullptr) return errno;
  errno = 0;
  ByteBufferPtr line = bf_alloc(32, 16);
  int error = 0;
  for (uint64_t number = 1;; ++number) {
    read_line(file, nullptr, line.get());
    if (std::ferror(file)) {
      error = errno != 0 ? errno : EIO;
      break;
    }
    const char* text = number == 1 ? program_file_first_line(line->data) : line->data;
    if (load_line(text, program) == LineUse::rejected) rejected.push_back(number);
    if (std::feof(file)) break;
    bf_reset(line.get());
  }
  std::fclose(file);
  return error;
}

void load(Interpreter& interpreter, const std::string& name) {
  Program program;
  std::vector<uint64_t> rejected;
  if (const int error = load_file(name.c_str(), program, rejected); error != 0) {
    report_failure(Command::load, name, std::strerror(error));
    return;
  }
  interpreter_reset(interpreter);
  interpreter.program.replace(std::move(program));
  interpreter.file_name = name;
  for (const uint64_t line : rejected) report_not_program_line(name, line);
}

void save(Interpreter& interpreter, const std::string& name) {
  if (const char* reason = program_file_save(interpreter.program, name.c_str())) {
    report_failure(Command::save, name, reason);
    return;
  }
  interpreter.file_name = name;
}

// The file name the command names, quoted; SAVE alone takes the one used
// last. False, with the error reported, when there is none.
bool file_name_of(Interpreter& interpreter, Command command, const char* rest, std::string& name) {
  Scanner scanner(rest);
  scan_next(scanner);
  if (scanner.kind == TOK_STRING) {
    const std::string_view quoted = scanner.text();
    name = quoted.substr(1, quoted.size() - 2);
    return true;
  }
  if (scanner.kind == TOK_EOL && command == Command::save && !interpreter.file_name.empty()) {
    name = interpreter.file_name;
    return true;
  }
  report_no_name(command);
  return false;
}

}  // namespace

void save_command(Session& session, const char* rest) {
  std::string name;
  if (file_name_of(session.interpreter, Command::save, rest, name)) save(session.interpreter, name);
}

void load_command(Session& session, const char* rest) {
  std::string name;
  if (file_name_of(session.interpreter, Command::load, rest, name)) load(session.interpreter, name);
}

}  // namespace ombrix
