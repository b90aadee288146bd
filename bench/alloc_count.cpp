// Counts heap allocations while the tight loop runs, through the same line
// dispatcher the interpreter uses, and prints allocations per executed
// statement. Every allocation ends in malloc (operator new included), so
// the C allocation functions are replaced here by counting wrappers around
// glibc's own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/dispatcher.hpp"
#include "program/interpreter.hpp"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {
uint64_t allocations = 0;
}

extern "C" {
void* malloc(std::size_t size) {
  ++allocations;
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  ++allocations;
  return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
  ++allocations;
  return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  ++allocations;
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  ++allocations;
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
  ++allocations;
  *result = __libc_memalign(alignment, size);
  return *result == nullptr ? 12 /* ENOMEM */ : 0;
}
void free(void* pointer) { __libc_free(pointer); }
}

namespace {

struct Count {
  uint64_t allocations;
  uint64_t statements;
  uint64_t typing;  // allocations made while the lines were typed: shows the counter works
};

// Types the loop program with OUTER outer passes, then RUN; counts what RUN allocates.
Count run_loop(ombrix::Interpreter& interpreter, int outer) {
  using ombrix::interpret_line;
  interpret_line(interpreter, "CLEAR");
  const uint64_t typing_start = allocations;
  const std::string for_line = "30 FOR I = 1 TO " + std::to_string(outer);
  interpret_line(interpreter, "20 LET S = 0");
  interpret_line(interpreter, for_line.c_str());
  interpret_line(interpreter, "40 FOR J = 1 TO 100");
  interpret_line(interpreter, "50 LET S = S + J");
  interpret_line(interpreter, "60 NEXT J");
  interpret_line(interpreter, "70 NEXT I");
  interpret_line(interpreter, "80 PRINT \"X\", S");
  std::fflush(stdout);
  const uint64_t typing = allocations - typing_start;
  const uint64_t before = allocations;
  interpret_line(interpreter, "RUN");
  const uint64_t used = allocations - before;
  std::fflush(stdout);
  // LET S, FOR I, then per outer pass FOR J, 100 x (LET, NEXT J), NEXT I; then PRINT.
  return Count{used, 202ULL * static_cast<uint64_t>(outer) + 3, typing};
}

}  // namespace

int main() {
  ombrix::Interpreter interpreter;
  ombrix::interpreter_reset(interpreter);
  ombrix::patterns_compile(interpreter.patterns);
  // A first short run makes the one-time allocations (stdout's buffer at
  // the first PRINT), so that the measured runs count only per-run ones.
  run_loop(interpreter, 1);
  const Count small = run_loop(interpreter, 1000);
  const Count large = run_loop(interpreter, 2000);
  ombrix::interpreter_reset(interpreter);
  ombrix::patterns_free(interpreter.patterns);

  std::printf("typing the 7 program lines: %llu allocations\n", static_cast<unsigned long long>(small.typing));
  std::printf("RUN of %llu statements: %llu allocations (%.6f per statement)\n",
              static_cast<unsigned long long>(small.statements), static_cast<unsigned long long>(small.allocations),
              static_cast<double>(small.allocations) / static_cast<double>(small.statements));
  std::printf("RUN of %llu statements: %llu allocations (%.6f per statement)\n",
              static_cast<unsigned long long>(large.statements), static_cast<unsigned long long>(large.allocations),
              static_cast<double>(large.allocations) / static_cast<double>(large.statements));
  const long long extra_allocations =
      static_cast<long long>(large.allocations) - static_cast<long long>(small.allocations);
  std::printf("allocations per executed statement: %+lld allocations for %llu more statements = %.6f\n",
              extra_allocations, static_cast<unsigned long long>(large.statements - small.statements),
              static_cast<double>(extra_allocations) / static_cast<double>(large.statements - small.statements));
  return 0;
}
