// Captures what a call writes to standard output (through stdio).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace ombrix::testing {

template <typename F>
std::string capture_stdout(F&& call) {
  std::fflush(stdout);
  std::FILE* sink = std::tmpfile();
  const int saved = dup(fileno(stdout));
  dup2(fileno(sink), fileno(stdout));
  call();
  std::fflush(stdout);
  dup2(saved, fileno(stdout));
  close(saved);
  std::string text;
  std::rewind(sink);
  for (int c; (c = std::fgetc(sink)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(sink);
  return text;
}

}  // namespace ombrix::testing
