#include "fuzz_io.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace ombrix::fuzz {

namespace {

void redirect_stdout_to(int fd) {
  std::fflush(stdout);
  if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) {
    std::perror("fuzz: redirecting standard output");
    std::abort();
  }
  close(fd);
}

}  // namespace

void discard_stdout() { redirect_stdout_to(open("/dev/null", O_WRONLY)); }

void capture_stdout() { redirect_stdout_to(memfd_create("ombrix-fuzz-stdout", 0)); }

std::string take_captured_stdout() {
  std::fflush(stdout);
  const off_t size = lseek(STDOUT_FILENO, 0, SEEK_END);
  std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (!text.empty() && pread(STDOUT_FILENO, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    std::perror("fuzz: reading captured standard output");
    std::abort();
  }
  if (ftruncate(STDOUT_FILENO, 0) != 0) std::abort();
  std::rewind(stdout);
  return text;
}

}  // namespace ombrix::fuzz
