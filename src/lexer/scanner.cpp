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

// What the first byte of a token tells, in one look-up: for a byte that is a
// whole token by itself, whatever follows it, that token's kind (all below
// TOK_STRING); TOK_VARIABLE for a letter (a variable or the start of a
// keyword), TOK_NUMBER for a digit, TOK_SPACE for white space, TOK_EOL for
// the end of the line, and TOK_INVALID for every other byte ("<", ">", a
// quote and "." begin tokens that the matcher takes).
struct LeadBytes {
  std::array<uint8_t, 256> kind{};
  constexpr LeadBytes() {
    kind.fill(TOK_INVALID);
    kind['\0'] = TOK_EOL;
    for (unsigned char c : {' ', '\t', '\f', '\r', '\n'}) kind[c] = TOK_SPACE;
    for (int c = '0'; c <= '9'; ++c) kind[static_cast<std::size_t>(c)] = TOK_NUMBER;
    for (int c = 'A'; c <= 'Z'; ++c) kind[static_cast<std::size_t>(c)] = TOK_VARIABLE;
    for (int c = 'a'; c <= 'z'; ++c) kind[static_cast<std::size_t>(c)] = TOK_VARIABLE;
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
constexpr LeadBytes lead_bytes{};
static_assert(TOK_STRING < TOK_VARIABLE && TOK_STRING < TOK_NUMBER && TOK_STRING < TOK_SPACE &&
                  TOK_STRING < TOK_INVALID && TOK_STRING < TOK_EOL,
              "the kinds of one-byte tokens lie below every class of lead byte");

constexpr unsigned lead_of(char c) { return lead_bytes.kind[static_cast<unsigned char>(c)]; }
constexpr bool is_one_byte_token(unsigned lead) { return lead < TOK_STRING; }
constexpr bool is_space(char c) { return lead_of(c) == TOK_SPACE; }
constexpr bool is_digit(char c) { return lead_of(c) == TOK_NUMBER; }
constexpr bool is_letter(char c) { return lead_of(c) == TOK_VARIABLE; }
// Matching ignores letter case for ASCII letters only, as the C locale does.
constexpr unsigned char upper(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? u - 32 : u;
}

// "GO", any white space, then the rest: the two-word keywords GO TO and GO SUB.
std::size_t match_go(const char* at, const char* rest) {
  if (upper(at[0]) != 'G' || upper(at[1]) != 'O') return 0;
  std::size_t i = 2;
  while (is_space(at[i])) ++i;
  for (const char* r = rest; *r != '\0'; ++r, ++i) {
    if (upper(at[i]) != static_cast<unsigned char>(*r)) return 0;
  }
  return i;
}

// The spelling of a rule that matches one fixed run of letters: "^" and
// upper-case letters; or two such words with "[ \t\f\r\n]*" between them
// (GO TO, GO SUB), spelt here without the white space. Empty for the others.
struct Spelling {
  char text[16]{};
  std::size_t length = 0;
};

constexpr bool is_upper_letter(char c) { return c >= 'A' && c <= 'Z'; }

constexpr Spelling spelling_of(const char* pattern) {
  Spelling word;
  if (pattern[0] != '^') return {};
  const char* p = pattern + 1;
  constexpr const char blanks[] = "[ \t\f\r\n]*";
  bool joined = false;
  while (*p != '\0') {
    if (is_upper_letter(*p)) {
      if (word.length + 1 >= sizeof word.text) return {};
      word.text[word.length++] = *p++;
      continue;
    }
    std::size_t n = 0;
    while (blanks[n] != '\0' && p[n] == blanks[n]) ++n;
    if (blanks[n] != '\0' || joined || word.length == 0) return {};
    joined = true;
    p += n;
  }
  if (joined && !is_upper_letter(p[-1])) return {};
  return word;
}

constexpr bool is_plain_word(const char* pattern) {
  for (const char* p = pattern + 1; *p != '\0'; ++p) {
    if (!is_upper_letter(*p)) return false;
  }
  return pattern[0] == '^';
}

// The spellings of the token table's rules, in table order, worked out once.
struct Spellings {
  std::array<Spelling, TOKEN_TABLE_SIZE> of{};
  constexpr Spellings() {
    for (std::size_t i = 0; i < TOKEN_TABLE_SIZE; ++i) of[i] = spelling_of(token_table[i].pattern);
  }
};
constexpr Spellings spellings{};

constexpr bool starts_with(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (*text != *prefix) return false;
  }
  return true;
}

// Where a run of letters begins with a keyword's spelling, that keyword is
// the token: no spelling begins another one, no plain word begins with "GO"
// (so GO TO and GO SUB with white space cannot match where a word does) and
// none begins REM or begins with it. So at most one rule can match a run,
// and the order in which they are tried does not change the result.
constexpr bool keywords_are_prefix_free() {
  for (std::size_t i = 0; i < TOKEN_TABLE_SIZE; ++i) {
    const Spelling& a = spellings.of[i];
    if (a.length == 0) continue;
    if (is_plain_word(token_table[i].pattern) &&
        (starts_with(a.text, "GO") || starts_with(a.text, "REM") || starts_with("REM", a.text))) {
      return false;
    }
    for (std::size_t j = 0; j < TOKEN_TABLE_SIZE; ++j) {
      const Spelling& b = spellings.of[j];
      if (i != j && b.length != 0 && starts_with(b.text, a.text)) return false;
    }
  }
  return true;
}
static_assert(keywords_are_prefix_free(), "a run of letters matches at most one keyword");

// Every keyword is two letters or longer ("GO" begins GO TO and GO SUB).
constexpr bool keywords_begin_with_two_letters() {
  for (const TokenRule& rule : token_table) {
    const char* p = rule.pattern;
    if (p[0] == '^' && is_upper_letter(p[1]) && !is_upper_letter(p[2])) return false;
  }
  return true;
}
static_assert(keywords_begin_with_two_letters(), "a letter not followed by a letter is always a variable");

// The keywords by their first two letters: a keyword is found by one
// look-up and a compare of the letters after those two, instead of a
// search. Built from the token table itself so the two cannot drift apart.
// The list of each pair of letters ends in an entry with no letters left to
// compare, which therefore always matches: a variable (the first letter
// alone), or, after "GO" and "RE", the mark (length 0) that sends the run to
// the rules matched by hand (GO TO and GO SUB with white space, REM).
struct KeywordIndex {
  struct Keyword {
    uint64_t tail = 0;  // the upper-case letters after the first two, the first in the lowest byte
    TokenKind kind = TOK_VARIABLE;
    uint32_t length = 1;
  };
  static constexpr std::size_t CAPACITY = 128;
  std::array<Keyword, CAPACITY> keywords{};
  std::array<uint8_t, 32 * 32> first{};  // by the low five bits of the two letters
  std::size_t count = 1;                 // keywords[0] is the shared end of every empty list
  bool fits = true;

  static constexpr std::size_t pair(char a, char b) {
    return (static_cast<std::size_t>(a) & 31u) << 5 | (static_cast<std::size_t>(b) & 31u);
  }

  constexpr void add(const Keyword& keyword) {
    if (count == CAPACITY) {
      fits = false;
      return;
    }
    keywords[count++] = keyword;
  }

  // The list of one pair: its keywords in table order, then its end.
  constexpr void list(std::size_t from, char a, char b) {
    first[pair(a, b)] = static_cast<uint8_t>(count);
    for (std::size_t i = from; i < TOKEN_TABLE_SIZE; ++i) {
      const Spelling& word = spellings.of[i];
      if (word.length == 0 || word.text[0] != a || word.text[1] != b) continue;
      if (word.length - 2 > sizeof(uint64_t)) fits = false;
      Keyword keyword{0, token_table[i].kind, static_cast<uint32_t>(word.length)};
      for (std::size_t n = word.length; n > 2; --n) {
        keyword.tail = keyword.tail << 8 | static_cast<unsigned char>(word.text[n - 1]);
      }
      add(keyword);
    }
    const bool by_hand = (a == 'G' && b == 'O') || (a == 'R' && b == 'E');
    add({0, TOK_VARIABLE, by_hand ? 0u : 1u});
  }

  constexpr KeywordIndex() {
    std::array<bool, 32 * 32> listed{};
    for (std::size_t i = 0; i < TOKEN_TABLE_SIZE; ++i) {
      const Spelling& word = spellings.of[i];
      if (word.length == 0 || listed[pair(word.text[0], word.text[1])]) continue;
      listed[pair(word.text[0], word.text[1])] = true;
      list(i, word.text[0], word.text[1]);
    }
    for (const char* by_hand : {"GO", "RE"}) {
      if (!listed[pair(by_hand[0], by_hand[1])]) list(TOKEN_TABLE_SIZE, by_hand[0], by_hand[1]);
    }
  }
};
constexpr KeywordIndex keyword_index{};
static_assert(keyword_index.fits, "the keyword index holds every keyword");

// The rules that are not plain words. Out of line: they are rare, and the
// calls here would make every keyword's match save registers.
[[gnu::noinline]] TokenMatch match_go_or_rem(const char* at) {
  if (std::size_t n = match_go(at, "TO")) return {TOK_GOTO, n};
  if (std::size_t n = match_go(at, "SUB")) return {TOK_GOSUB, n};
  if (upper(at[0]) == 'R' && upper(at[1]) == 'E' && upper(at[2]) == 'M') {
    return {TOK_REM, std::strlen(at)};  // a remark takes the rest of the line
  }
  return {TOK_VARIABLE, 1};
}

// A run of two letters or more: a keyword, or a variable (the first letter);
// length 0 where the rules matched by hand must decide (match_go_or_rem).
inline TokenMatch match_word(const char* at) {
  const KeywordIndex::Keyword* keyword = &keyword_index.keywords[keyword_index.first[KeywordIndex::pair(at[0], at[1])]];
  for (;; ++keyword) {
    // Clearing bit 5 makes a lower-case ASCII letter upper case and no other
    // byte an upper-case letter; the end of the line stops the compare.
    const char* p = at + 2;
    uint64_t tail = keyword->tail;
    while (tail != 0 && static_cast<uint8_t>(*p & 0xDF) == static_cast<uint8_t>(tail)) {
      tail >>= 8;
      ++p;
    }
    if (tail == 0) break;
  }
  return {keyword->kind, keyword->length};
}

inline TokenMatch match_letter(const char* at) {
  // Most letters in a program are variables: with no letter after it, a
  // letter begins no keyword.
  if (!is_letter(at[1])) return {TOK_VARIABLE, 1};
  const TokenMatch match = match_word(at);
  if (match.length == 0) return match_go_or_rem(at);
  return match;
}

// digits | digits? "." digits?, then an optional exponent. The longest match
// always takes the whole mantissa: a shorter one ends before a ".", which
// cannot start an exponent.
TokenMatch match_number(const char* at) {
  std::size_t i = 0;
  while (is_digit(at[i])) ++i;
  if (at[i] == '.') {
    ++i;
    while (is_digit(at[i])) ++i;
  } else if (i == 0) {
    return {TOK_INVALID, 0};
  }
  if (at[i] == 'e' || at[i] == 'E') {
    std::size_t j = i + 1;
    if (at[j] == '+' || at[j] == '-') ++j;
    if (is_digit(at[j])) {
      while (is_digit(at[j])) ++j;
      i = j;
    }
  }
  return {TOK_NUMBER, i};
}

}  // namespace

TokenMatch match_token_fast(const char* at) {
  const unsigned lead = lead_of(at[0]);
  if (is_one_byte_token(lead)) return {static_cast<TokenKind>(lead), 1};
  if (lead == TOK_VARIABLE) return match_letter(at);
  if (lead == TOK_NUMBER || at[0] == '.') return match_number(at);
  if (lead == TOK_SPACE) {
    std::size_t n = 1;
    while (is_space(at[n])) ++n;
    return {TOK_SPACE, n};
  }
  switch (at[0]) {
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

void scan_next_by_table(Scanner& scanner, const Patterns& patterns) {
  if (scanner.cursor == scanner.given_back) {
    scan_next(scanner);  // a token given back is read again as it was matched
    return;
  }
  scanner.token = nullptr;
  scanner.length = 0;
  for (;;) {
    if (*scanner.cursor == '\0') {
      scanner.kind = TOK_EOL;
      return;
    }
    // The table's rules, white space matched as a token.
    const TokenMatch match = match_token_by_table(patterns, scanner.cursor);
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

// A keyword, or a variable that letters follow: at least two letters.
// Inline in scan_next_matching: a keyword starts most statements, and its
// look-up needs no more registers than the other fast paths there.
[[gnu::always_inline]] inline void scan_word(Scanner& scanner, const char* at) {
  const TokenMatch match = match_word(at);
  if (match.length == 0) {
    // GO TO or GO SUB with white space, REM, or "GO" or "RE" before other
    // letters: the matcher's hand rules take them. A tail call, so the
    // common path saves no registers for it.
    scan_matched(scanner, at);
    return;
  }
  scanner.kind = match.kind;
  scanner.token = at;
  scanner.cursor = at + match.length;
  scanner.length = match.length;
}

}  // namespace

void scan_next_matching(Scanner& scanner) {
  // Only the white-space rule matches at a blank, so the fast path skips
  // blanks here instead of matching them as tokens. Tokens mostly stand one
  // blank apart: that blank costs one compare, longer runs are skipped below.
  const char* at = scanner.cursor;
  if (*at == ' ') ++at;
  for (;;) {
    const unsigned lead = lead_of(*at);
    // The tokens of one byte, a letter that no letter follows (always a
    // variable, see match_letter) and plain digits need no call: most tokens
    // of a program are these.
    if (is_one_byte_token(lead) || (lead == TOK_VARIABLE && !is_letter(at[1]))) {
      scanner.kind = static_cast<TokenKind>(lead);
      scanner.token = at;
      scanner.cursor = at + 1;
      scanner.length = 1;
      return;
    }
    if (lead == TOK_VARIABLE) {
      scan_word(scanner, at);
      return;
    }
    if (lead == TOK_NUMBER) {
      // Digits not followed by a "." or an exponent's "E" are the whole
      // number; their value is taken in the same pass.
      uint32_t value = static_cast<unsigned char>(*at) - static_cast<uint32_t>('0');
      std::size_t n = 1;
      uint32_t digit;
      for (; (digit = static_cast<unsigned char>(at[n]) - static_cast<uint32_t>('0')) <= 9; ++n) {
        value = value * 10 + digit;  // wraps past nine digits, where it is not kept
      }
      // The byte after the digits is told by `digit`, its distance from "0",
      // so that the loop keeps no copy of it: "." lies below "0"; "E" and
      // "e" differ in the bit of letter case only.
      constexpr uint32_t dot = static_cast<uint32_t>('.') - '0';
      constexpr uint32_t exponent = static_cast<uint32_t>('e') - '0';
      static_assert((exponent & ~32u) == static_cast<uint32_t>('E') - '0');
      if (digit != dot && (digit | 32u) != exponent) {
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
    } else if (lead == TOK_SPACE) {
      ++at;
      continue;
    } else if (lead == TOK_EOL) {
      scanner.kind = TOK_EOL;
      scanner.cursor = at;
      scanner.token = nullptr;
      scanner.length = 0;
      return;
    }
    scan_matched(scanner, at);
    return;
  }
}

}  // namespace ombrix
