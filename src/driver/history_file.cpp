#include "driver/history_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace ombrix {

std::string history_file_path() {
  if (const char* named = std::getenv("OMBRIX_HISTORY")) return named;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  std::string path = home;
  if (path.back() != '/') path += '/';
  return path + ".ombrix_history";
}

bool history_keeps(const char* line, const std::string& previous) {
  if (line[std::strspn(line, " \t")] == '\0') return false;
  return previous != line;
}

HistoryFile::~HistoryFile() {
  if (file_ != nullptr) std::fclose(file_);
}

namespace {

// Reads the newest HISTORY_LIMIT entries of an open file; returns false on a
// read error. Only that many are held at any time, whatever the file's size.
bool read_entries(std::FILE* in, std::deque<std::string>& entries, bool& trimmed) {
  char* line = nullptr;
  std::size_t capacity = 0;
  for (ssize_t length; (length = getline(&line, &capacity, in)) >= 0;) {
    if (length > 0 && line[length - 1] == '\n') --length;
    if (length == 0) continue;
    entries.emplace_back(line, static_cast<std::size_t>(length));
    if (entries.size() > HISTORY_LIMIT) {
      entries.pop_front();
      trimmed = true;
    }
  }
  const int saved = errno;
  std::free(line);
  errno = saved;
  return std::ferror(in) == 0;
}

// Replaces the file by one holding `entries` only: written beside it and
// renamed over it, so the file is whole at every moment.
bool rewrite(const std::string& path, const std::deque<std::string>& entries) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());  // readable by its owner only
  if (fd < 0) return false;
  std::FILE* out = fdopen(fd, "w");
  if (out == nullptr) {
    const int saved = errno;
    close(fd);
    unlink(temporary.c_str());
    errno = saved;
    return false;
  }
  for (const std::string& entry : entries) {
    std::fwrite(entry.data(), 1, entry.size(), out);
    std::fputc('\n', out);
  }
  const bool written = std::ferror(out) == 0;
  const int saved = errno;
  if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int reason = written ? errno : saved;
    unlink(temporary.c_str());
    errno = reason;
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> HistoryFile::open(const std::string& path) {
  if (path.empty()) return {};
  path_ = path;
  std::deque<std::string> entries;
  bool trimmed = false;
  if (std::FILE* in = std::fopen(path.c_str(), "r")) {
    const bool read = read_entries(in, entries, trimmed);
    const int saved = errno;
    std::fclose(in);
    if (!read) {
      errno = saved;
      warn("READ");
      return {};
    }
  } else if (errno != ENOENT) {  // no file yet is the first session, not a fault
    warn("READ");
    return {};
  }
  if (trimmed && !rewrite(path, entries)) {
    warn("WRITE");
    return {entries.begin(), entries.end()};
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    warn("WRITE");
  } else if ((file_ = fdopen(fd, "a")) == nullptr) {
    const int saved = errno;
    close(fd);
    errno = saved;
    warn("WRITE");
  }
  return {entries.begin(), entries.end()};
}

void HistoryFile::append(const char* line) {
  if (file_ == nullptr) return;
  std::fputs(line, file_);
  std::fputc('\n', file_);
  if (std::fflush(file_) == 0) return;
  warn("WRITE");
  std::fclose(file_);
  file_ = nullptr;
}

void HistoryFile::warn(const char* what) {
  std::fprintf(stderr, "WARNING: CANNOT %s HISTORY FILE %s: %s\n", what, path_.c_str(), std::strerror(errno));
}

}  // namespace ombrix
