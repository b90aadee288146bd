// The file that keeps the lines typed at the prompt from one terminal
// session to the next.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace ombrix {

// Entries kept in memory and in the file; older ones are dropped.
inline constexpr std::size_t HISTORY_LIMIT = 1000;

// $OMBRIX_HISTORY when set (set but empty: no file), else ~/.ombrix_history;
// empty when neither names a file.
std::string history_file_path();

// Whether a typed line is worth keeping after `previous`, the last line
// kept: not empty, not blanks only, and not the same line again.
bool history_keeps(const char* line, const std::string& previous);

// One line per entry, plain text, oldest first. A session reads the file
// once, trims it to HISTORY_LIMIT entries, and then appends each line it
// keeps at once, so a session that is killed loses nothing and two sessions
// at the same time both add theirs.
//
// A file that cannot be read or written costs one line on standard error,
// "WARNING: CANNOT READ HISTORY FILE <path>: <reason>" (or WRITE), once per
// session; the file is then left alone, and the session goes on.
class HistoryFile {
 public:
  HistoryFile() = default;
  HistoryFile(const HistoryFile&) = delete;
  HistoryFile& operator=(const HistoryFile&) = delete;
  ~HistoryFile();

  // Reads the entries of `path` (none when it does not exist yet) and opens
  // it for appending, creating it readable by its owner only. An empty path
  // does nothing.
  std::vector<std::string> open(const std::string& path);
  // Appends one entry; the caller has decided that it is kept.
  void append(const char* line);

 private:
  void warn(const char* what);

  std::string path_;
  std::FILE* file_ = nullptr;
};

}  // namespace ombrix
