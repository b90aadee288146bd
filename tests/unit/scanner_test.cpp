#include "lexer/scanner.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "values/number.hpp"

namespace ombrix {
namespace {

struct Token {
  TokenKind kind;
  std::string text;
  bool operator==(const Token&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Token& t) { return os << t.kind << ":'" << t.text << "'"; }

// Tokens up to and including the first TOK_EOL or TOK_INVALID.
std::vector<Token> tokens(const std::string& line, const Patterns* reference = nullptr) {
  Scanner scanner(line.c_str());
  std::vector<Token> out;
  for (;;) {
    if (reference != nullptr) {
      scan_next_by_table(scanner, *reference);
    } else {
      scan_next(scanner);
    }
    out.push_back({scanner.kind, std::string(scanner.text())});
    if (scanner.kind == TOK_EOL || scanner.kind == TOK_INVALID) return out;
  }
}

// Every number the scanner reads has the value of its text, also where the
// scanner converted the digits while it read them; and so does a number
// read again after it was given back.
void expect_number_values(const std::string& line) {
  Scanner scanner(line.c_str());
  for (;;) {
    scan_next(scanner);
    if (scanner.kind == TOK_EOL || scanner.kind == TOK_INVALID) return;
    if (scanner.kind != TOK_NUMBER) continue;
    const Number expected = number_from_text(scanner.text());
    const Number first = number_of_token(scanner);
    scan_unget(scanner);
    scan_next(scanner);
    const Number again = number_of_token(scanner);
    for (const Number& got : {first, again}) {
      ASSERT_EQ(got.tag, expected.tag) << "'" << scanner.text() << "' in '" << line << "'";
      ASSERT_EQ(got.payload, expected.payload) << "'" << scanner.text() << "' in '" << line << "'";
    }
  }
}

class ScannerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { patterns_compile(patterns); }
  static Patterns patterns;
};
Patterns ScannerTest::patterns;

struct StreamCase {
  const char* line;
  std::vector<Token> expected;
};

TEST_F(ScannerTest, TokenStreams) {
  const std::vector<StreamCase> cases = {
      {"PRINTX", {{TOK_PRINT, "PRINT"}, {TOK_VARIABLE, "X"}, {TOK_EOL, ""}}},
      {"TOTAL", {{TOK_TO, "TO"}, {TOK_VARIABLE, "T"}, {TOK_VARIABLE, "A"}, {TOK_VARIABLE, "L"}, {TOK_EOL, ""}}},
      {"FORI=1TO9",
       {{TOK_FOR, "FOR"},
        {TOK_VARIABLE, "I"},
        {TOK_EQ, "="},
        {TOK_NUMBER, "1"},
        {TOK_TO, "TO"},
        {TOK_NUMBER, "9"},
        {TOK_EOL, ""}}},
      {"print a", {{TOK_PRINT, "print"}, {TOK_VARIABLE, "a"}, {TOK_EOL, ""}}},
      {"GOTO 10", {{TOK_GOTO, "GOTO"}, {TOK_NUMBER, "10"}, {TOK_EOL, ""}}},
      {"go to", {{TOK_GOTO, "go to"}, {TOK_EOL, ""}}},
      {"GO\tTO", {{TOK_GOTO, "GO\tTO"}, {TOK_EOL, ""}}},
      {"GO SUB 5", {{TOK_GOSUB, "GO SUB"}, {TOK_NUMBER, "5"}, {TOK_EOL, ""}}},
      {"GO X", {{TOK_VARIABLE, "G"}, {TOK_VARIABLE, "O"}, {TOK_VARIABLE, "X"}, {TOK_EOL, ""}}},
      {"<= <> >< =<",
       {{TOK_LE, "<="}, {TOK_LTGT, "<>"}, {TOK_GTLT, "><"}, {TOK_EQ, "="}, {TOK_LT, "<"}, {TOK_EOL, ""}}},
      {"< > >=", {{TOK_LT, "<"}, {TOK_GT, ">"}, {TOK_GE, ">="}, {TOK_EOL, ""}}},
      {"12.5E-3", {{TOK_NUMBER, "12.5E-3"}, {TOK_EOL, ""}}},
      {".5 5. .", {{TOK_NUMBER, ".5"}, {TOK_NUMBER, "5."}, {TOK_NUMBER, "."}, {TOK_EOL, ""}}},
      {"1E", {{TOK_NUMBER, "1"}, {TOK_VARIABLE, "E"}, {TOK_EOL, ""}}},
      {"1e+", {{TOK_NUMBER, "1"}, {TOK_VARIABLE, "e"}, {TOK_PLUS, "+"}, {TOK_EOL, ""}}},
      {"-5", {{TOK_MINUS, "-"}, {TOK_NUMBER, "5"}, {TOK_EOL, ""}}},
      {"1.2.3", {{TOK_NUMBER, "1.2"}, {TOK_NUMBER, ".3"}, {TOK_EOL, ""}}},
      {"\"AB\"C", {{TOK_STRING, "\"AB\""}, {TOK_VARIABLE, "C"}, {TOK_EOL, ""}}},
      {"\"open", {{TOK_INVALID, ""}}},
      {"REM  Hello ", {{TOK_REM, "REM  Hello "}, {TOK_EOL, ""}}},
      {"remark: ;", {{TOK_REM, "remark: ;"}, {TOK_EOL, ""}}},
      {"A;", {{TOK_VARIABLE, "A"}, {TOK_INVALID, ""}}},
      {"  :", {{TOK_INVALID, ""}}},
      {"?", {{TOK_INVALID, ""}}},
      {"#", {{TOK_INVALID, ""}}},
      {"\v", {{TOK_INVALID, ""}}},
      {" \t\f\r ", {{TOK_EOL, ""}}},
      {"", {{TOK_EOL, ""}}},
      {"X MOD 2", {{TOK_VARIABLE, "X"}, {TOK_MOD, "MOD"}, {TOK_NUMBER, "2"}, {TOK_EOL, ""}}},
      {"2^3\\4/5*6,(7)",
       {{TOK_NUMBER, "2"},
        {TOK_POWER, "^"},
        {TOK_NUMBER, "3"},
        {TOK_INTDIV, "\\"},
        {TOK_NUMBER, "4"},
        {TOK_DIVIDE, "/"},
        {TOK_NUMBER, "5"},
        {TOK_TIMES, "*"},
        {TOK_NUMBER, "6"},
        {TOK_COMMA, ","},
        {TOK_LPAREN, "("},
        {TOK_NUMBER, "7"},
        {TOK_RPAREN, ")"},
        {TOK_EOL, ""}}},
  };
  for (const StreamCase& c : cases) {
    EXPECT_EQ(tokens(c.line), c.expected) << "line: " << c.line;
    EXPECT_EQ(tokens(c.line, &patterns), c.expected) << "table, line: " << c.line;
  }
}

TEST_F(ScannerTest, UngetGivesBackOneTokenOnly) {
  Scanner scanner("PRINT  42");
  scan_next(scanner);
  scan_next(scanner);
  ASSERT_EQ(scanner.kind, TOK_NUMBER);
  scan_unget(scanner);
  EXPECT_EQ(scanner.kind, TOK_INVALID);
  scan_unget(scanner);  // nothing more to give back
  scan_next(scanner);
  EXPECT_EQ(scanner.kind, TOK_NUMBER);
  EXPECT_EQ(scanner.text(), "42");
  scan_next(scanner);
  EXPECT_EQ(scanner.kind, TOK_EOL);
  scan_unget(scanner);  // EOL carries no text: no change
  scan_next(scanner);
  EXPECT_EQ(scanner.kind, TOK_EOL);

  Scanner invalid("A ;");
  scan_next(invalid);
  scan_next(invalid);
  ASSERT_EQ(invalid.kind, TOK_INVALID);
  scan_unget(invalid);
  scan_next(invalid);
  EXPECT_EQ(invalid.kind, TOK_INVALID);  // the cursor never moves past what no rule matches
}

// The fast matcher must yield exactly the tokens of the ordered table of
// regular expressions, on every kind of input.
TEST_F(ScannerTest, FastMatcherAgreesWithTableOnGeneratedCorpus) {
  std::vector<std::string> pieces;
  for (const TokenRule& rule : token_table) {
    std::string word;
    for (const char* p = rule.pattern + 1; *p != '\0'; ++p) {
      if (*p >= 'A' && *p <= 'Z') word.push_back(*p);
    }
    if (!word.empty()) {
      pieces.push_back(word);
      std::string mixed = word;
      for (std::size_t i = 0; i < mixed.size(); i += 2) mixed[i] = static_cast<char>(mixed[i] + 32);
      pieces.push_back(mixed);
    }
  }
  for (const char* p : {"GO TO",      "go\tsub",    "GO  \r\nTO", "Go",  "GOS",     "REM", "rem x", "12",   "12.5",
                        ".5",         "5.",         ".",          "1E5", "1e-5",    "1E+", "2.5e3", "0007", "999999999",
                        "1000000000", "0000000012", "2147483648", "12e", "\"str\"", "\"",  "\"\"",  "<=",   "<>",
                        "><",         ">=",         "=<",         "+",   "-",       "*",   "/",     "\\",   "^",
                        ",",          "(",          ")",          ";",   ":",       "?",   "#",     "$",    "!",
                        "'",          "@",          "_",          "[",   "]",       "{",   "}",     "~",    "`",
                        "&",          "|",          "%"}) {
    pieces.emplace_back(p);
  }
  for (int b = 1; b < 256; ++b) pieces.emplace_back(1, static_cast<char>(b));
  for (const char* ws : {" ", "\t", "\f", "\r", "\n", "\v", "  "}) pieces.emplace_back(ws);

  std::mt19937 random(12345);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> count(1, 8);
  int lines = 0;
  for (int i = 0; i < 60000; ++i) {
    std::string line;
    for (int n = count(random); n > 0; --n) line += pieces[pick(random)];
    // Tokenize to the end, checking both matchers at every position reached.
    for (std::size_t at = 0; at < line.size(); ++at) {
      const TokenMatch fast = match_token_fast(line.c_str() + at);
      const TokenMatch table = match_token_by_table(patterns, line.c_str() + at);
      ASSERT_EQ(fast.kind, table.kind) << "at " << at << " in '" << line << "'";
      ASSERT_EQ(fast.length, table.length) << "at " << at << " in '" << line << "'";
    }
    // And the scanner itself, which takes the one-byte tokens, lone letters
    // and plain digits without the matcher.
    ASSERT_EQ(tokens(line), tokens(line, &patterns)) << "in '" << line << "'";
    expect_number_values(line);
    ++lines;
  }
  EXPECT_EQ(lines, 60000);
}

}  // namespace
}  // namespace ombrix
