// The history file: where it is, which lines it keeps, its bound, and what a
// file that cannot be read or written costs.
#include "driver/history_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "capture.hpp"
#include "temporary_folder.hpp"

namespace ombrix {
namespace {

class HistoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_ + "/history"; }

  std::vector<std::string> file_lines() const {
    std::vector<std::string> lines;
    std::ifstream in(path_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void write_file(const std::vector<std::string>& lines) const {
    std::ofstream out(path_);
    for (const std::string& line : lines) out << line << '\n';
  }

  testing::TemporaryFolder folder_{"history"};
  const std::string dir_ = folder_.path();
  std::string path_;
};

TEST_F(HistoryFileTest, PathComesFromOmbrixHistoryThenHome) {
  const char* saved_home = std::getenv("HOME");
  const std::string home = saved_home != nullptr ? saved_home : "";
  const struct {
    const char* named;  // OMBRIX_HISTORY, or null for unset
    const char* home;   // HOME, or null for unset
    const char* path;
  } cases[] = {
      {"/x/h", "/home/u", "/x/h"},
      {"", "/home/u", ""},  // set but empty: no file
      {nullptr, "/home/u", "/home/u/.ombrix_history"},
      {nullptr, "/", "/.ombrix_history"},
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  for (const auto& c : cases) {
    if (c.named != nullptr)
      setenv("OMBRIX_HISTORY", c.named, 1);
    else
      unsetenv("OMBRIX_HISTORY");
    if (c.home != nullptr)
      setenv("HOME", c.home, 1);
    else
      unsetenv("HOME");
    EXPECT_EQ(history_file_path(), c.path) << (c.named ? c.named : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
  unsetenv("OMBRIX_HISTORY");
  if (saved_home != nullptr) setenv("HOME", home.c_str(), 1);
}

TEST(HistoryKeepsTest, SkipsEmptyBlankAndRepeatedLines) {
  EXPECT_TRUE(history_keeps("PRINT 1", ""));
  EXPECT_TRUE(history_keeps("PRINT 1", "PRINT 2"));
  EXPECT_TRUE(history_keeps(" PRINT 1", "PRINT 1"));
  EXPECT_FALSE(history_keeps("PRINT 1", "PRINT 1"));
  EXPECT_FALSE(history_keeps("", "PRINT 1"));
  EXPECT_FALSE(history_keeps(" \t ", "PRINT 1"));
}

TEST_F(HistoryFileTest, AppendedLinesAreReadBackByTheNextSession) {
  {
    HistoryFile file;
    EXPECT_TRUE(file.open(path_).empty());  // no file yet: no entries, no warning
    file.append("10 PRINT \"a, b\"");
    file.append("RUN");
  }
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);  // typed lines may hold what others must not read

  HistoryFile file;
  EXPECT_EQ(file.open(path_), (std::vector<std::string>{"10 PRINT \"a, b\"", "RUN"}));
  file.append("LIST");
  EXPECT_EQ(file_lines(), (std::vector<std::string>{"10 PRINT \"a, b\"", "RUN", "LIST"}));
}

TEST_F(HistoryFileTest, KeepsTheNewestEntriesAndTrimsTheFile) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < HISTORY_LIMIT + 500; ++i) lines.push_back("PRINT " + std::to_string(i));
  lines.insert(lines.begin() + 10, "");  // empty lines are no entries
  write_file(lines);
  const std::vector<std::string> newest(lines.end() - HISTORY_LIMIT, lines.end());

  HistoryFile file;
  EXPECT_EQ(file.open(path_), newest);
  EXPECT_EQ(file_lines(), newest);
  file.append("RUN");  // still appends to the trimmed file
  EXPECT_EQ(file_lines().back(), "RUN");
  EXPECT_EQ(file_lines().size(), HISTORY_LIMIT + 1);
}

TEST_F(HistoryFileTest, AFileThatCannotBeUsedCostsOneWarning) {
  const std::string unwritable = dir_ + "/missing/history";
  const struct {
    std::string path;
    std::string warning;
  } cases[] = {
      {dir_, "WARNING: CANNOT READ HISTORY FILE " + dir_ + ": Is a directory\n"},
      {unwritable, "WARNING: CANNOT WRITE HISTORY FILE " + unwritable + ": No such file or directory\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> entries;
    const std::string err = testing::capture_stream(stderr, [&] {
      HistoryFile file;
      entries = file.open(c.path);
      file.append("PRINT 1");
      file.append("PRINT 2");
    });
    EXPECT_TRUE(entries.empty()) << c.path;
    EXPECT_EQ(err, c.warning) << c.path;
  }
}

}  // namespace
}  // namespace ombrix
