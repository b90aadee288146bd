// Fuzz target: the statement parser. The bytes, cut at the first NUL or
// newline (a line's text never holds either), are
// parsed as the dispatcher parses a line that is not a command: a statement,
// or else a line number and then a statement. Each statement parsed is
// listed and released. The listing is then parsed again: it must parse as a
// whole and list to the same text (listing is canonical), unless it holds
// an infinity or a NaN: a literal too large for a real lists as "inf", which
// reads back as letters.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_io.hpp"
#include "lexer/scanner.hpp"
#include "program/statement.hpp"
#include "values/number.hpp"

namespace {

using namespace ombrix;

std::string listing(const Statement& statement) {
  statement_list(statement, stdout);
  return fuzz::take_captured_stdout();
}

[[noreturn]] void fail(const char* what, const std::string& first, const std::string& second) {
  std::fprintf(stderr, "parser: %s\n  first listing:  [%s]\n  second listing: [%s]\n", what, first.c_str(),
               second.c_str());
  std::abort();
}

void check_listing(const Statement& statement) {
  const std::string first = listing(statement);
  if (first.find('\n') != std::string::npos || first.find('\0') != std::string::npos) {
    fail("listing holds a line end or a NUL", first, "");
  }
  if (first.find("inf") != std::string::npos || first.find("nan") != std::string::npos) return;
  Scanner scanner(first.c_str());
  std::optional<Statement> again = statement_parse(scanner);
  if (!again) fail("listing does not parse", first, "");
  scan_next(scanner);
  if (scanner.kind != TOK_EOL) fail("listing parses only in part", first, std::string(scanner.cursor));
  const std::string second = listing(*again);
  if (second != first) fail("listing of the listing differs", first, second);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::capture_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  line.resize(std::min(line.size(), line.find('\n')));
  Scanner scanner(line.c_str());
  std::optional<Statement> statement = statement_parse(scanner);
  if (!statement) {
    if (!number_parse(scanner)) return 0;
    statement = statement_parse(scanner);
  }
  if (statement) check_listing(*statement);
  scan_next(scanner);
  fuzz::take_captured_stdout();
  return 0;
}
