#include "driver/fatal.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace ombrix {

void fatal_perror(const char* label) {
  std::perror(label);
  std::exit(1);
}

void fatal_silent() { std::exit(1); }

void install_out_of_memory_handler() {
  std::set_new_handler([] {
    errno = ENOMEM;
    fatal_perror("malloc");
  });
}

}  // namespace ombrix
