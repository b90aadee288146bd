// Token kinds and the ordered token table that defines them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrix {

// The numbers are fixed: statements, commands, relational operators and
// built-in functions are told apart by these same values, and one runtime
// message prints them.
enum TokenKind : int32_t {
  TOK_PRINT = 0,
  TOK_IF = 1,
  TOK_THEN = 2,
  TOK_GOTO = 3,
  TOK_INPUT = 4,
  TOK_LET = 5,
  TOK_GOSUB = 6,
  TOK_RETURN = 7,
  TOK_END = 8,
  TOK_REM = 9,
  TOK_RANDOMIZE = 10,
  TOK_CLEAR = 11,
  TOK_LIST = 12,
  TOK_RENUM = 13,
  TOK_RUN = 14,
  TOK_STOP = 15,
  TOK_TROFF = 16,
  TOK_TRON = 17,
  TOK_CLS = 18,
  TOK_SHELL = 19,
  TOK_BEEP = 20,
  TOK_RND = 21,
  TOK_TIME = 22,
  TOK_FOR = 23,
  TOK_TO = 24,
  TOK_STEP = 25,
  TOK_NEXT = 26,
  TOK_SIN = 27,
  TOK_COS = 28,
  TOK_TAN = 29,
  TOK_COT = 30,
  TOK_ATN = 31,
  TOK_EXP = 32,
  TOK_LOG = 33,
  TOK_ABS = 34,
  TOK_SGN = 35,
  TOK_SQR = 36,
  TOK_INT = 37,
  TOK_LE = 38,
  TOK_LTGT = 39,
  TOK_LT = 40,
  TOK_GE = 41,
  TOK_GTLT = 42,
  TOK_GT = 43,
  TOK_EQ = 44,
  TOK_PLUS = 45,
  TOK_MINUS = 46,
  TOK_TIMES = 47,
  TOK_DIVIDE = 48,
  TOK_INTDIV = 49,
  TOK_MOD = 50,
  TOK_POWER = 51,
  TOK_COMMA = 52,
  TOK_LPAREN = 53,
  TOK_RPAREN = 54,
  TOK_STRING = 55,
  TOK_VARIABLE = 56,
  TOK_NUMBER = 57,
  TOK_SPACE = 58,
  TOK_INVALID = 59,
  TOK_EOL = 60,
};

inline constexpr int TOKEN_KIND_COUNT = 61;

struct TokenRule {
  const char* pattern;  // POSIX extended regular expression, anchored with "^"
  TokenKind kind;
};

inline constexpr std::size_t TOKEN_TABLE_SIZE = 59;

// Tried in this order at the cursor; the first rule that matches wins, even
// where a later rule would match a longer stretch. The order differs from the
// kind numbers in places (SHELL, BEEP and CLS come early, MOD late).
inline constexpr std::array<TokenRule, TOKEN_TABLE_SIZE> token_table{{
    {"^PRINT", TOK_PRINT},
    {"^IF", TOK_IF},
    {"^THEN", TOK_THEN},
    {"^GO[ \t\f\r\n]*TO", TOK_GOTO},
    {"^INPUT", TOK_INPUT},
    {"^LET", TOK_LET},
    {"^GO[ \t\f\r\n]*SUB", TOK_GOSUB},
    {"^RETURN", TOK_RETURN},
    {"^SHELL", TOK_SHELL},
    {"^BEEP", TOK_BEEP},
    {"^END", TOK_END},
    {"^REM.*$", TOK_REM},
    {"^RANDOMIZE", TOK_RANDOMIZE},
    {"^CLS", TOK_CLS},
    {"^CLEAR", TOK_CLEAR},
    {"^LIST", TOK_LIST},
    {"^RENUM", TOK_RENUM},
    {"^RUN", TOK_RUN},
    {"^STOP", TOK_STOP},
    {"^TROFF", TOK_TROFF},
    {"^TRON", TOK_TRON},
    {"^RND", TOK_RND},
    {"^TIME", TOK_TIME},
    {"^SIN", TOK_SIN},
    {"^COS", TOK_COS},
    {"^TAN", TOK_TAN},
    {"^COT", TOK_COT},
    {"^ATN", TOK_ATN},
    {"^EXP", TOK_EXP},
    {"^LOG", TOK_LOG},
    {"^ABS", TOK_ABS},
    {"^SGN", TOK_SGN},
    {"^SQR", TOK_SQR},
    {"^INT", TOK_INT},
    {"^FOR", TOK_FOR},
    {"^TO", TOK_TO},
    {"^STEP", TOK_STEP},
    {"^NEXT", TOK_NEXT},
    {"^<=", TOK_LE},
    {"^<>", TOK_LTGT},
    {"^<", TOK_LT},
    {"^>=", TOK_GE},
    {"^><", TOK_GTLT},
    {"^>", TOK_GT},
    {"^=", TOK_EQ},
    {"^\\+", TOK_PLUS},
    {"^\\-", TOK_MINUS},
    {"^\\*", TOK_TIMES},
    {"^\\/", TOK_DIVIDE},
    {"^\\\\", TOK_INTDIV},
    {"^MOD", TOK_MOD},
    {"^,", TOK_COMMA},
    {"^\\^", TOK_POWER},
    {"^\\(", TOK_LPAREN},
    {"^\\)", TOK_RPAREN},
    {"^\"[^\"]*\"", TOK_STRING},
    {"^[A-Z]", TOK_VARIABLE},
    {"^(([0-9]+|([0-9]*\\.[0-9]*))([eE][-+]?[0-9]+)?)", TOK_NUMBER},
    {"^[ \t\f\r\n]+", TOK_SPACE},
}};

// Every kind a pattern can yield appears exactly once, and white space is the
// last rule; the scanner's skip of white space relies on that.
constexpr bool token_table_is_complete() {
  std::array<int, TOKEN_TABLE_SIZE> seen{};
  for (const TokenRule& rule : token_table) {
    if (rule.kind < 0 || rule.kind >= static_cast<int>(TOKEN_TABLE_SIZE)) return false;
    if (seen[static_cast<std::size_t>(rule.kind)]++ != 0) return false;
  }
  return token_table.back().kind == TOK_SPACE && TOK_INVALID == TOKEN_TABLE_SIZE && TOK_EOL == TOKEN_TABLE_SIZE + 1;
}
static_assert(token_table_is_complete(), "token table must yield kinds 0..58 once each");

}  // namespace ombrix
