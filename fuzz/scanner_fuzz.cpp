// Fuzz target: the scanner. The bytes, cut at the first NUL as a line's text
// is, are tokenised to TOK_EOL or TOK_INVALID by the fast matcher, and every
// token is checked against the ordered table of regular expressions, which
// defines the tokens. Any difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lexer/patterns.hpp"
#include "lexer/scanner.hpp"

namespace {

using namespace ombrix;

const Patterns& patterns() {
  static Patterns* compiled = [] {
    auto* p = new Patterns;
    patterns_compile(*p);
    return p;
  }();
  return *compiled;
}

[[noreturn]] void mismatch(const std::string& line, std::size_t at, const char* what, long fast, long table) {
  std::fprintf(stderr, "scanner mismatch at byte %zu of a %zu-byte line: %s fast=%ld table=%ld\n", at, line.size(),
               what, fast, table);
  std::abort();
}

// The matchers side by side at every position the scanner would stop at,
// white space included.
void check_matchers(const std::string& line) {
  std::size_t at = 0;
  while (at < line.size()) {
    const TokenMatch fast = match_token_fast(line.c_str() + at);
    const TokenMatch table = match_token_by_table(patterns(), line.c_str() + at);
    if (fast.kind != table.kind) mismatch(line, at, "kind", fast.kind, table.kind);
    if (fast.length != table.length) {
      mismatch(line, at, "length", static_cast<long>(fast.length), static_cast<long>(table.length));
    }
    if (fast.kind == TOK_INVALID) return;
    if (fast.length == 0 || at + fast.length > line.size()) {
      mismatch(line, at, "empty or overlong token", static_cast<long>(fast.length), static_cast<long>(line.size()));
    }
    at += fast.length;
  }
}

// Two scanners in step, one per matcher; each token is also given back and
// read again, which must yield it unchanged.
void check_scanners(const std::string& line) {
  Scanner fast(line.c_str());
  Scanner table(line.c_str());
  for (std::size_t steps = 0;; ++steps) {
    scan_next(fast);
    scan_next_by_table(table, patterns());
    const std::size_t at = static_cast<std::size_t>(fast.cursor - line.c_str());
    if (fast.kind != table.kind) mismatch(line, at, "scanner kind", fast.kind, table.kind);
    if (fast.cursor - line.c_str() != table.cursor - line.c_str() || fast.text() != table.text()) {
      mismatch(line, at, "scanner position", fast.cursor - line.c_str(), table.cursor - line.c_str());
    }
    if (at > line.size() || steps > line.size()) mismatch(line, at, "scanner ran past the line", 0, 0);
    if (fast.kind == TOK_EOL || fast.kind == TOK_INVALID) {
      if (fast.has_text()) mismatch(line, at, "end token with text", fast.kind, 0);
      return;
    }
    const TokenKind kind = fast.kind;
    const std::string text(fast.text());
    scan_unget(fast);
    scan_next(fast);
    if (fast.kind != kind || fast.text() != text) mismatch(line, at, "token read again differs", fast.kind, kind);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  patterns();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  check_matchers(line);
  check_scanners(line);
  return 0;
}
