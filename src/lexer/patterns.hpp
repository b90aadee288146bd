// The token table compiled into POSIX regular expressions.
#pragma once

#include <regex.h>

#include <array>
#include <cstddef>

#include "lexer/token.hpp"

namespace ombrix {

// One compiled expression per token rule, in table order. This is the
// definition of what each token is; the scanner's fast matcher is checked
// against it.
class Patterns {
 public:
  Patterns() = default;
  Patterns(const Patterns&) = delete;
  Patterns& operator=(const Patterns&) = delete;
  ~Patterns();

  bool is_compiled() const { return compiled_; }
  const regex_t& rule(std::size_t order) const { return regexes_[order]; }

 private:
  friend void patterns_compile(Patterns& patterns);
  friend void patterns_free(Patterns& patterns);
  std::array<regex_t, TOKEN_TABLE_SIZE> regexes_{};
  bool compiled_ = false;
};

// Compiles every rule with REG_EXTENDED | REG_ICASE. Compiling twice is a no-op.
void patterns_compile(Patterns& patterns);
void patterns_free(Patterns& patterns);

}  // namespace ombrix
