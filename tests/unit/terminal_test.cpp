// Tab completion's words: what a typed prefix completes to, and the words
// held to the token table. (The keys themselves are pressed in a real
// terminal by tests/terminal/tmux_editing_test.sh.)
#include "driver/terminal.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "driver/session_commands.hpp"
#include "lexer/scanner.hpp"

namespace ombrix {
namespace {

using Words = std::vector<std::string_view>;

TEST(TerminalTest, CompletesAPrefixInAnyCaseToUpperCaseWords) {
  const struct {
    const char* typed;
    Words words;
  } cases[] = {
      {"pr", {"PRINT"}},
      {"PRINT", {"PRINT"}},
      {"r", {"RANDOMIZE", "REM", "RENUM", "RETURN", "RND", "RUN"}},
      {"Go", {"GOSUB", "GOTO"}},
      {"in", {"INPUT", "INT"}},
      {"tRo", {"TROFF", "TRON"}},
      {"sq", {"SQR"}},
      {"sa", {"SAVE"}},
      {"lo", {"LOAD", "LOG"}},
      {"PRINTX", {}},
      {"x", {}},
      {"1", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(terminal_completions(c.typed), c.words) << c.typed;
}

// Every keyword the scanner knows can be completed, and every word offered
// is one keyword token as a whole, or a session command, which the token
// table must not know unless it is a keyword already (STEP).
TEST(TerminalTest, CompletionWordsAreTheKeywordsOfTheTokenTable) {
  std::set<std::string_view> untokened;
  for (const SessionCommand& command : session_commands()) untokened.insert(command.name);
  std::set<TokenKind> completed;
  for (const std::string_view word : terminal_completions("")) {
    const std::string text(word);
    const TokenMatch match = match_token_fast(text.c_str());
    if (untokened.count(word) != 0 && match.length != word.size()) {
      EXPECT_TRUE(match.kind == TOK_VARIABLE && match.length == 1) << word;
      continue;
    }
    EXPECT_EQ(match.length, word.size()) << word;
    completed.insert(match.kind);
  }
  std::set<TokenKind> keywords = {TOK_MOD};
  for (int kind = TOK_PRINT; kind <= TOK_INT; ++kind) keywords.insert(static_cast<TokenKind>(kind));
  EXPECT_EQ(completed, keywords);
}

}  // namespace
}  // namespace ombrix
