#include "lexer/scanner.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
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

// The classes of the bytes, one table look-up each instead of a chain of
// compares: every token starts with a look at its first byte or two.
enum CharClass : uint8_t { OTHER = 0, SPACE = 1, DIGIT = 2, LETTER = 4 };

struct CharClasses {
  std::array<uint8_t, 256> of{};
  constexpr CharClasses() {
    for (unsigned char c : {' ', '\t', '\f', '\r', '\n'}) of[c] = SPACE;
    for (int c = '0'; c <= '9'; ++c) of[static_cast<std::size_t>(c)] = DIGIT;
    for (int c = 'A'; c <= 'Z'; ++c) of[static_cast<std::size_t>(c)] = LETTER;
    for (int c = 'a'; c <= 'z'; ++c) of[static_cast<std::size_t>(c)] = LETTER;
  }
};
constexpr CharClasses char_classes{};

// The bytes that are a whole token by themselves, whatever follows them:
// TOK_INVALID for every other byte.
struct OneByteTokens {
  std::array<TokenKind, 256> kind{};
  constexpr OneByteTokens() {
    kind.fill(TOK_INVALID);
    kind['='] = TOK_EQ;
    kind['+'] = TOK_PLUS;
    kind['-'] = TOK_MINUS;
    kind['*'] = TOK_TIMES;
    kind['/'] = TOK_DIVIDE;
    kind['\\'] = TOK_INTDIV;
    kind[','] = TOK_COMMA;
    kind['^'] = TOK_POWER;
    kind['('] = TOK_LPAREN;
    kind[')'] = TOK_RPAREN;
  }
};
constexpr OneByteTokens one_byte_tokens{};

constexpr bool is_space(unsigned char c) { return char_classes.of[c] == SPACE; }
constexpr bool is_digit(unsigned char c) { return char_classes.of[c] == DIGIT; }
constexpr bool is_letter(unsigned char c) { return char_classes.of[c] == LETTER; }
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

// A run of letters packed five bits a letter, the first in the lowest bits.
// The low five bits of an ASCII letter are 1 to 26 in either case, so
// packed runs compare without regard to case, as the rules match, and a
// keyword is tested against the run with one mask and one compare instead
// of a loop over its letters.
constexpr uint64_t packed_letter(unsigned char c, std::size_t position) {
  return static_cast<uint64_t>(c & 31u) << (5 * position);
}
constexpr std::size_t PACKED_LETTERS_MAX = 12;  // 60 bits

struct PackedWord {
  uint64_t bits = 0;
  uint64_t mask = 0;
  std::size_t length = 0;
};

constexpr PackedWord pack_word(const char* word) {
  PackedWord packed;
  for (; word[packed.length] != '\0'; ++packed.length) {
    packed.bits |= packed_letter(static_cast<unsigned char>(word[packed.length]), packed.length);
    packed.mask |= uint64_t{31} << (5 * packed.length);
  }
  return packed;
}

// The letters a run is packed to: as many as the longest keyword has.
constexpr std::size_t longest_keyword() {
  std::size_t longest = 0;
  for (const TokenRule& rule : token_table) {
    if (is_word_pattern(rule.pattern)) longest = std::max(longest, pack_word(rule.pattern + 1).length);
  }
  return longest;
}
constexpr std::size_t KEYWORD_LETTERS = longest_keyword();
static_assert(KEYWORD_LETTERS <= PACKED_LETTERS_MAX, "every keyword fits in a packed run");

constexpr bool starts_with(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (*text != *prefix) return false;
  }
  return true;
}

// Where a run spells the beginning of a keyword, that keyword is the token:
// no keyword is the beginning of another, nor of the hand-matched GO TO,
// GO SUB and REM, so at most one rule can match a run and the order in
// which they are tried does not change the result.
constexpr bool keywords_are_prefix_free() {
  for (const TokenRule& a : token_table) {
    if (!is_word_pattern(a.pattern)) continue;
    if (starts_with(a.pattern + 1, "GO") || starts_with(a.pattern + 1, "REM")) return false;
    for (const TokenRule& b : token_table) {
      if (&a != &b && is_word_pattern(b.pattern) && starts_with(b.pattern + 1, a.pattern + 1)) return false;
    }
  }
  return true;
}
static_assert(keywords_are_prefix_free(), "a run of letters matches at most one keyword");

// The keyword rules whose patterns begin with each letter, packed. Built
// from the token table itself so the two cannot drift apart; the rules
// that are not plain words (GO TO, GO SUB, REM) are matched by hand below.
struct KeywordIndex {
  struct Entry {
    PackedWord word;
    TokenKind kind;
  };
  std::array<std::array<Entry, 8>, 26> by_letter{};
  std::array<int, 26> count{};

  constexpr KeywordIndex() {
    for (const TokenRule& rule : token_table) {
      if (!is_word_pattern(rule.pattern)) continue;
      const auto letter = static_cast<std::size_t>(rule.pattern[1] - 'A');
      by_letter[letter][static_cast<std::size_t>(count[letter]++)] = {pack_word(rule.pattern + 1), rule.kind};
    }
  }
};
constexpr KeywordIndex keyword_index{};
constexpr PackedWord packed_go = pack_word("GO");
constexpr PackedWord packed_rem = pack_word("REM");

// Every keyword is two letters or longer ("GO" begins GO TO and GO SUB).
constexpr bool keywords_begin_with_two_letters() {
  for (const TokenRule& rule : token_table) {
    const char* p = rule.pattern;
    if (p[0] == '^' && p[1] >= 'A' && p[1] <= 'Z' && !(p[2] >= 'A' && p[2] <= 'Z')) return false;
  }
  return true;
}
static_assert(keywords_begin_with_two_letters(), "a letter not followed by a letter is always a variable");

// The rules that are not plain words. Out of line: they are rare, and the
// calls here would make every keyword's match save registers.
[[gnu::noinline]] TokenMatch match_go_or_rem(const char* at, uint64_t run) {
  if ((run & packed_go.mask) == packed_go.bits) {
    if (std::size_t n = match_go(at, "TO")) return {TOK_GOTO, n};
    if (std::size_t n = match_go(at, "SUB")) return {TOK_GOSUB, n};
  }
  if ((run & packed_rem.mask) == packed_rem.bits) {
    return {TOK_REM, std::strlen(at)};  // a remark takes the rest of the line
  }
  return {TOK_VARIABLE, 1};
}

inline TokenMatch match_letter(const char* at) {
  // Most letters in a program are variables: with no letter after it, a
  // letter begins no keyword.
  if (!is_letter(static_cast<unsigned char>(at[1]))) return {TOK_VARIABLE, 1};
  uint64_t run =
      packed_letter(static_cast<unsigned char>(at[0]), 0) | packed_letter(static_cast<unsigned char>(at[1]), 1);
  for (std::size_t i = 2; i < KEYWORD_LETTERS && is_letter(static_cast<unsigned char>(at[i])); ++i) {
    run |= packed_letter(static_cast<unsigned char>(at[i]), i);
  }
  const auto letter = static_cast<std::size_t>((at[0] & 31) - 1);
  for (int i = 0; i < keyword_index.count[letter]; ++i) {
    const KeywordIndex::Entry& entry = keyword_index.by_letter[letter][static_cast<std::size_t>(i)];
    if ((run & entry.word.mask) == entry.word.bits) return {entry.kind, entry.word.length};
  }
  if (letter == 'G' - 'A' || letter == 'R' - 'A') return match_go_or_rem(at, run);
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
  if (one_byte_tokens.kind[c] != TOK_INVALID) return {one_byte_tokens.kind[c], 1};
  switch (c) {
    case '<':
      if (at[1] == '=') return {TOK_LE, 2};
      if (at[1] == '>') return {TOK_LTGT, 2};
      return {TOK_LT, 1};
    case '>':
      if (at[1] == '=') return {TOK_GE, 2};
      if (at[1] == '<') return {TOK_GTLT, 2};
      return {TOK_GT, 1};
    case '"': {
      const char* close = std::strchr(at + 1, '"');
      if (close == nullptr) return {TOK_INVALID, 0};
      return {TOK_STRING, static_cast<std::size_t>(close - at) + 1};
    }
    default: return {TOK_INVALID, 0};
  }
}

namespace {

// The reference path: the table's rules, white space matched as a token.
// Out of line, so that the fast path saves no registers for it.
[[gnu::noinline]] void scan_next_by_table(Scanner& scanner) {
  for (;;) {
    if (*scanner.cursor == '\0') {
      scanner.kind = TOK_EOL;
      return;
    }
    const TokenMatch match = match_token_by_table(*scanner.patterns, scanner.cursor);
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

}  // namespace

namespace {

// The tokens that scan_next_matching does not take itself. A call of its
// own, so that the common paths there save no registers for it.
[[gnu::noinline]] void scan_matched(Scanner& scanner, const char* at) {
  const TokenMatch match = match_token_fast(at);
  scanner.kind = match.kind;
  if (match.kind == TOK_INVALID) {
    scanner.cursor = at;
    scanner.token = nullptr;
    scanner.length = 0;
    return;
  }
  scanner.token = at;
  scanner.cursor = at + match.length;
  scanner.length = match.length;
}

// A keyword, or a variable that letters follow.
[[gnu::noinline]] void scan_word(Scanner& scanner, const char* at) {
  const TokenMatch match = match_letter(at);
  scanner.kind = match.kind;
  scanner.token = at;
  scanner.cursor = at + match.length;
  scanner.length = match.length;
}

}  // namespace

void scan_next_matching(Scanner& scanner) {
  if (scanner.patterns != nullptr) {
    scanner.token = nullptr;
    scanner.length = 0;
    scan_next_by_table(scanner);
    return;
  }
  // Only the white-space rule matches at a blank, so the fast path skips
  // blanks here instead of matching them as tokens.
  const char* at = scanner.cursor;
  while (is_space(static_cast<unsigned char>(*at))) ++at;
  const auto c = static_cast<unsigned char>(*at);
  // The tokens of one byte, a letter that no letter follows (always a
  // variable, see match_letter) and plain digits need no call: most tokens
  // of a program are these.
  if (one_byte_tokens.kind[c] != TOK_INVALID || (is_letter(c) && !is_letter(static_cast<unsigned char>(at[1])))) {
    scanner.kind = is_letter(c) ? TOK_VARIABLE : one_byte_tokens.kind[c];
    scanner.token = at;
    scanner.cursor = at + 1;
    scanner.length = 1;
    return;
  }
  if (is_digit(c)) {
    // Digits not followed by a "." or an exponent's "E" are the whole
    // number; their value is taken in the same pass.
    uint32_t value = c - '0';
    std::size_t n = 1;
    for (uint32_t digit; (digit = static_cast<unsigned char>(at[n]) - static_cast<uint32_t>('0')) <= 9; ++n) {
      value = value * 10 + digit;  // wraps past nine digits, where it is not kept
    }
    if (at[n] != '.' && at[n] != 'e' && at[n] != 'E') {
      if (n <= 9) {
        scanner.digits_at = at;
        scanner.digits_value = value;
      }
      scanner.kind = TOK_NUMBER;
      scanner.token = at;
      scanner.cursor = at + n;
      scanner.length = n;
      return;
    }
  }
  if (is_letter(c)) {
    scan_word(scanner, at);
    return;
  }
  if (c == '\0') {
    scanner.kind = TOK_EOL;
    scanner.cursor = at;
    scanner.token = nullptr;
    scanner.length = 0;
    return;
  }
  scan_matched(scanner, at);
}

}  // namespace ombrix
