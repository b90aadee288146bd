#include "lexer/patterns.hpp"

namespace ombrix {

Patterns::~Patterns() { patterns_free(*this); }

void patterns_compile(Patterns& patterns) {
  if (patterns.compiled_) return;
  for (std::size_t i = 0; i < TOKEN_TABLE_SIZE; ++i) {
    // The table's patterns are fixed and known to compile.
    regcomp(&patterns.regexes_[i], token_table[i].pattern, REG_EXTENDED | REG_ICASE);
  }
  patterns.compiled_ = true;
}

void patterns_free(Patterns& patterns) {
  if (!patterns.compiled_) return;
  for (regex_t& re : patterns.regexes_) regfree(&re);
  patterns.compiled_ = false;
}

}  // namespace ombrix
