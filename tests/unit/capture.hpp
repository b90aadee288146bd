// Captures what a call writes to standard output or standard error (through stdio).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

namespace ombrix::testing {

// What `call` writes to `stream` (standard output or standard error).
template <typename F>
std::string capture_stream(std::FILE* stream, F&& call) {
  std::fflush(stream);
  std::FILE* sink = std::tmpfile();
  const int saved = dup(fileno(stream));
  dup2(fileno(sink), fileno(stream));
  call();
  std::fflush(stream);
  dup2(saved, fileno(stream));
  close(saved);
  std::string text;
  std::rewind(sink);
  for (int c; (c = std::fgetc(sink)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(sink);
  return text;
}

template <typename F>
std::string capture_stdout(F&& call) {
  return capture_stream(stdout, std::forward<F>(call));
}

}  // namespace ombrix::testing
