#include "lexer/scanner.hpp"

#include <cstring>

namespace ombrix {

TokenMatch match_token_by_table(const Patterns& patterns, const char* at) {
  regmatch_t match[1];
  for (std::size_t order = 0; order < TOKEN_TABLE_SIZE; ++order) {
    if (regexec(&patterns.rule(order), at, 1, match, 0) == 0) {
      return {token_table[order].kind, static_cast<std::size_t>(match[0].rm_eo - match[0].rm_so)};
    }
  }
  return {TOK_INVALID, 0};
}

namespace {

constexpr bool is_space(unsigned char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n'; }
constexpr bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool is_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// Matching ignores letter case for ASCII letters only, as the C locale does.
constexpr unsigned char upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// A keyword rule is a pattern of "^" and upper-case letters only.
constexpr bool is_word_pattern(const char* pattern) {
  if (pattern[0] != '^' || pattern[1] == '\0') return false;
  for (const char* p = pattern + 1; *p != '\0'; ++p) {
    if (*p < 'A' || *p > 'Z') return false;
  }
  return true;
}

// Bytes of `at` that spell the keyword of a word pattern, or 0.
std::size_t match_word(const char* at, const char* pattern) {
  const char* word = pattern + 1;
  std::size_t i = 0;
  for (; word[i] != '\0'; ++i) {
    if (upper(static_cast<unsigned char>(at[i])) != static_cast<unsigned char>(word[i])) return 0;
  }
  return i;
}

// "GO", any white space, then the rest: the two-word keywords GO TO and GO SUB.
std::size_t match_go(const char* at, const char* rest) {
  if (upper(static_cast<unsigned char>(at[0])) != 'G' || upper(static_cast<unsigned char>(at[1])) != 'O') return 0;
  std::size_t i = 2;
  while (is_space(static_cast<unsigned char>(at[i]))) ++i;
  for (const char* r = rest; *r != '\0'; ++r, ++i) {
    if (upper(static_cast<unsigned char>(at[i])) != static_cast<unsigned char>(*r)) return 0;
  }
  return i;
}

// The keyword rules whose patterns begin with each letter, in table order.
// Built from the token table itself so the two cannot drift apart; the rules
// that are not plain words (GO TO, GO SUB, REM) are matched by hand below.
struct KeywordIndex {
  struct Entry {
    const char* pattern;
    TokenKind kind;
  };
  std::array<std::array<Entry, 8>, 26> by_letter{};
  std::array<int, 26> count{};

  constexpr KeywordIndex() {
    for (const TokenRule& rule : token_table) {
      if (!is_word_pattern(rule.pattern)) continue;
      const auto letter = static_cast<std::size_t>(rule.pattern[1] - 'A');
      by_letter[letter][static_cast<std::size_t>(count[letter]++)] = {rule.pattern, rule.kind};
    }
  }
};
constexpr KeywordIndex keyword_index{};

TokenMatch match_letter(const char* at) {
  const unsigned char first = upper(static_cast<unsigned char>(at[0]));
  if (first == 'G') {
    if (std::size_t n = match_go(at, "TO")) return {TOK_GOTO, n};
    if (std::size_t n = match_go(at, "SUB")) return {TOK_GOSUB, n};
  }
  if (first == 'R' && upper(static_cast<unsigned char>(at[1])) == 'E' &&
      upper(static_cast<unsigned char>(at[2])) == 'M') {
    return {TOK_REM, std::strlen(at)};  // a remark takes the rest of the line
  }
  // No keyword is a prefix of another, so at most one of these can match and
  // their order does not change the result.
  const auto letter = static_cast<std::size_t>(first - 'A');
  for (int i = 0; i < keyword_index.count[letter]; ++i) {
    const KeywordIndex::Entry& entry = keyword_index.by_letter[letter][static_cast<std::size_t>(i)];
    if (std::size_t n = match_word(at, entry.pattern)) return {entry.kind, n};
  }
  return {TOK_VARIABLE, 1};
}

// digits | digits? "." digits?, then an optional exponent. The longest match
// always takes the whole mantissa: a shorter one ends before a ".", which
// cannot start an exponent.
TokenMatch match_number(const char* at) {
  std::size_t i = 0;
  while (is_digit(static_cast<unsigned char>(at[i]))) ++i;
  if (at[i] == '.') {
    ++i;
    while (is_digit(static_cast<unsigned char>(at[i]))) ++i;
  } else if (i == 0) {
    return {TOK_INVALID, 0};
  }
  if (at[i] == 'e' || at[i] == 'E') {
    std::size_t j = i + 1;
    if (at[j] == '+' || at[j] == '-') ++j;
    if (is_digit(static_cast<unsigned char>(at[j]))) {
      while (is_digit(static_cast<unsigned char>(at[j]))) ++j;
      i = j;
    }
  }
  return {TOK_NUMBER, i};
}

}  // namespace

TokenMatch match_token_fast(const char* at) {
  const auto c = static_cast<unsigned char>(at[0]);
  if (is_letter(c)) return match_letter(at);
  if (is_digit(c) || c == '.') return match_number(at);
  if (is_space(c)) {
    std::size_t n = 1;
    while (is_space(static_cast<unsigned char>(at[n]))) ++n;
    return {TOK_SPACE, n};
  }
  switch (c) {
    case '<':
      if (at[1] == '=') return {TOK_LE, 2};
      if (at[1] == '>') return {TOK_LTGT, 2};
      return {TOK_LT, 1};
    case '>':
      if (at[1] == '=') return {TOK_GE, 2};
      if (at[1] == '<') return {TOK_GTLT, 2};
      return {TOK_GT, 1};
    case '=': return {TOK_EQ, 1};
    case '+': return {TOK_PLUS, 1};
    case '-': return {TOK_MINUS, 1};
    case '*': return {TOK_TIMES, 1};
    case '/': return {TOK_DIVIDE, 1};
    case '\\': return {TOK_INTDIV, 1};
    case ',': return {TOK_COMMA, 1};
    case '^': return {TOK_POWER, 1};
    case '(': return {TOK_LPAREN, 1};
    case ')': return {TOK_RPAREN, 1};
    case '"': {
      const char* close = std::strchr(at + 1, '"');
      if (close == nullptr) return {TOK_INVALID, 0};
      return {TOK_STRING, static_cast<std::size_t>(close - at) + 1};
    }
    default: return {TOK_INVALID, 0};
  }
}

void scan_next_matching(Scanner& scanner) {
  scanner.token = nullptr;
  scanner.length = 0;
  if (scanner.patterns == nullptr) {
    // Only the white-space rule matches at a blank, so the fast path skips
    // blanks here instead of matching them as tokens.
    while (is_space(static_cast<unsigned char>(*scanner.cursor))) ++scanner.cursor;
  }
  for (;;) {
    if (*scanner.cursor == '\0') {
      scanner.kind = TOK_EOL;
      return;
    }
    const TokenMatch match = scanner.patterns != nullptr ? match_token_by_table(*scanner.patterns, scanner.cursor)
                                                         : match_token_fast(scanner.cursor);
    if (match.kind == TOK_INVALID) {
      scanner.kind = TOK_INVALID;
      return;
    }
    const char* start = scanner.cursor;
    scanner.cursor += match.length;
    if (match.kind == TOK_SPACE) continue;
    scanner.kind = match.kind;
    scanner.token = start;
    scanner.length = match.length;
    return;
  }
}

}  // namespace ombrix
