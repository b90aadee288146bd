// The scanner: yields the tokens of one line, one at a time, and can give
// the last one back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lexer/patterns.hpp"
#include "lexer/token.hpp"

namespace ombrix {

// A match at one position: the kind and the number of bytes it covers.
// TOK_INVALID (length 0) when no rule matches.
struct TokenMatch {
  TokenKind kind;
  std::size_t length;
};

// The ordered table of regular expressions, tried one by one: the reference.
TokenMatch match_token_by_table(const Patterns& patterns, const char* at);
// A hand-written matcher that yields exactly what the table yields; used on
// every line because it does not run up to 59 regexec calls per token.
TokenMatch match_token_fast(const char* at);

// The scanning state of one line. The line's text must outlive the scanner.
// The current token's text is a view into the line, not a copy: it lives as
// long as the line does.
struct Scanner {
  explicit Scanner(const char* line) : cursor(line) {}

  std::string_view text() const { return {token, length}; }
  bool has_text() const { return token != nullptr; }

  const char* cursor;
  TokenKind kind = TOK_PRINT;
  const char* token = nullptr;  // start of the current token in the line
  std::size_t length = 0;
  // Nesting of parentheses, function arguments and THEN statements, bounded
  // by MAX_NESTING so that no line can exhaust the stack.
  int depth = 0;
  // Set once a parse on this line has been refused for nesting too deep.
  bool nesting_exceeded = false;
  // The token last given back: parsers try alternatives by reading a token
  // and giving it back, so the next read at the same place reuses the match.
  const char* given_back = nullptr;
  TokenMatch given_back_match{TOK_INVALID, 0};
  // Where the scanner last read a number of at most nine plain digits, and
  // its value: the digits are converted while they are scanned, so the
  // parsers need not read them a second time (see number_of_token).
  const char* digits_at = nullptr;
  uint32_t digits_value = 0;
};

// How deep parse trees may nest. Deeper nesting fails to parse at the token
// that would go one level too deep. Parsing, evaluating, listing and
// releasing all recurse once per level; at this depth they need well under
// a megabyte of stack, also under the sanitizers.
inline constexpr int MAX_NESTING = 256;

void scan_next_matching(Scanner& scanner);
// The reference path: scan_next with the tokens matched by the compiled
// table instead of the fast matcher, to check the fast one against.
void scan_next_by_table(Scanner& scanner, const Patterns& patterns);

// Advances to the next token that is not white space. Inline, with the
// common case first: parsers try alternatives by reading a token and giving
// it back, so most reads find the token just given back.
inline void scan_next(Scanner& scanner) {
  if (scanner.cursor == scanner.given_back) {
    scanner.kind = scanner.given_back_match.kind;
    scanner.token = scanner.cursor;
    scanner.length = scanner.given_back_match.length;
    scanner.cursor += scanner.length;
    return;
  }
  // The end of the line cannot be given back, and the parsers look at it
  // several times: it is found here without a call.
  if (*scanner.cursor == '\0') {
    scanner.kind = TOK_EOL;
    scanner.token = nullptr;
    scanner.length = 0;
    return;
  }
  scan_next_matching(scanner);
}

// Gives the current token back; nothing for TOK_EOL, TOK_INVALID or a token
// already given back.
inline void scan_unget(Scanner& scanner) {
  if (scanner.token == nullptr) return;
  scanner.cursor -= scanner.length;
  scanner.given_back = scanner.cursor;
  scanner.given_back_match = {scanner.kind, scanner.length};
  scanner.kind = TOK_INVALID;
  scanner.token = nullptr;
  scanner.length = 0;
}

// A set of token kinds, one bit each.
constexpr uint64_t kind_bit(TokenKind kind) { return uint64_t{1} << kind; }
static_assert(TOKEN_KIND_COUNT <= 64, "a set of kinds fits in one word");

// True when the next token is the one given back and its kind is not in
// `kinds`. A parser that wants one of those kinds refuses such a token where
// it stands: reading it and giving it back would leave every field as it is
// (the cursor is at a token given back only straight after scan_unget).
// Parsers try one level after another on the token that ends a level, so
// this saves most of those round trips.
inline bool scan_given_back_none_of(const Scanner& scanner, uint64_t kinds) {
  return scanner.cursor == scanner.given_back && (kind_bit(scanner.given_back_match.kind) & kinds) == 0;
}

// Reads one token: true when it is of `kind`; otherwise gives it back and
// returns false. The step every parser takes for a required keyword or sign.
inline bool scan_expect(Scanner& scanner, TokenKind kind) {
  if (scan_given_back_none_of(scanner, kind_bit(kind))) return false;
  scan_next(scanner);
  if (scanner.kind == kind) return true;
  scan_unget(scanner);
  return false;
}

// Enters one level of nesting for as long as it lives; `entered` is false
// when the limit is already reached (and then nothing was entered).
class NestingGuard {
 public:
  explicit NestingGuard(Scanner& scanner) : scanner_(scanner) {
    entered_ = scanner_.depth < MAX_NESTING;
    if (entered_) {
      ++scanner_.depth;
    } else {
      scanner_.nesting_exceeded = true;
    }
  }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
  ~NestingGuard() {
    if (entered_) --scanner_.depth;
  }
  bool entered() const { return entered_; }

 private:
  Scanner& scanner_;
  bool entered_;
};

}  // namespace ombrix
