// Program files: the start of a file that is skipped, and SAVE's write into
// a folder (modes, symbolic links, names that cannot be written).
#include "driver/program_file.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "driver/dispatcher.hpp"
#include "temporary_folder.hpp"

namespace ombrix {
namespace {

TEST(ProgramFileTest, FirstLineLosesByteOrderMarkAndShebangLine) {
  struct Case {
    const char* line;
    const char* text;
  } const cases[] = {
      {"10 PRINT 1", "10 PRINT 1"},
      {"\xEF\xBB\xBF"
       "10 PRINT 1",
       "10 PRINT 1"},
      {"#!/usr/bin/env ombrix", ""},
      {"\xEF\xBB\xBF#!/usr/bin/env ombrix", ""},
      {"#!", ""},
      {"", ""},
      {"\xEF\xBB\xBF", ""},
      // Only the whole mark, and only a "#!" at the very start.
      {"\xEF\xBB"
       "10",
       "\xEF\xBB"
       "10"},
      {" #!", " #!"},
      {"# !", "# !"},
      {"#", "#"},
  };
  for (const Case& c : cases) EXPECT_STREQ(program_file_first_line(c.line), c.text) << c.line;
}

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* line : {"10 PRINT \"saved\"", "20 goto 10"}) interpret_line(interpreter_, line);
  }

  std::string path(const std::string& name) const { return folder_ + "/" + name; }
  const char* save(const std::string& name) { return program_file_save(interpreter_.program, path(name).c_str()); }

  static std::string read(const std::string& file) {
    std::string text;
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (in == nullptr) return "(cannot open " + file + ")";
    for (int c; (c = std::fgetc(in)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(in);
    return text;
  }
  static void write(const std::string& file, const std::string& text) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr) << file;
    std::fputs(text.c_str(), out);
    std::fclose(out);
  }
  static mode_t mode_of(const std::string& file) {
    struct stat status {};
    EXPECT_EQ(stat(file.c_str(), &status), 0) << file;
    return status.st_mode & 07777;
  }
  // Every name in the folder and its sub-folder "sub".
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const std::string& sub : {std::string(), std::string("sub/")}) {
      DIR* dir = opendir(path(sub).c_str());
      if (dir == nullptr) continue;
      while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
          found.insert(sub + entry->d_name);
        }
      }
      closedir(dir);
    }
    return found;
  }

  static constexpr const char* LISTING = "10 PRINT \"saved\"\n20 GOTO 10\n";
  Interpreter interpreter_;
  testing::TemporaryFolder temporary_{"save-test"};
  const std::string folder_ = temporary_.path();
};

TEST_F(SaveTest, NewFileHoldsTheListingWithTheUmasksMode) {
  const mode_t old_mask = umask(027);
  const char* reason = save("new.bas");
  umask(old_mask);
  EXPECT_EQ(reason, nullptr);
  EXPECT_EQ(read(path("new.bas")), LISTING);
  EXPECT_EQ(mode_of(path("new.bas")), 0640u);
  EXPECT_EQ(names(), (std::set<std::string>{"new.bas"}));
}

TEST_F(SaveTest, ReplacedFileKeepsItsMode) {
  write(path("old.bas"), "10 PRINT \"old\"\n");
  ASSERT_EQ(chmod(path("old.bas").c_str(), 0604), 0);
  EXPECT_EQ(save("old.bas"), nullptr);
  EXPECT_EQ(read(path("old.bas")), LISTING);
  EXPECT_EQ(mode_of(path("old.bas")), 0604u);
  EXPECT_EQ(names(), (std::set<std::string>{"old.bas"}));
}

TEST_F(SaveTest, SymbolicLinkKeepsPointingAtTheReplacedFile) {
  ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
  write(path("sub/target.bas"), "old\n");
  ASSERT_EQ(symlink("sub/target.bas", path("link.bas").c_str()), 0);
  // A chain of links, one relative to its own folder, one dangling.
  ASSERT_EQ(symlink("../link.bas", path("sub/chain.bas").c_str()), 0);
  ASSERT_EQ(symlink("made.bas", path("sub/dangling.bas").c_str()), 0);

  EXPECT_EQ(save("sub/chain.bas"), nullptr);
  EXPECT_EQ(save("sub/dangling.bas"), nullptr);

  EXPECT_EQ(read(path("sub/target.bas")), LISTING);
  EXPECT_EQ(read(path("sub/made.bas")), LISTING);
  struct stat status {};
  for (const char* link : {"link.bas", "sub/chain.bas", "sub/dangling.bas"}) {
    ASSERT_EQ(lstat(path(link).c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << link;
  }
  EXPECT_EQ(names(), (std::set<std::string>{"link.bas", "sub", "sub/chain.bas", "sub/dangling.bas", "sub/made.bas",
                                            "sub/target.bas"}));
}

TEST_F(SaveTest, NameThatCannotBeWrittenGivesTheReasonAndChangesNothing) {
  ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0644), 0);
  ASSERT_EQ(symlink("sub", path("folder-link").c_str()), 0);
  ASSERT_EQ(symlink("loop", path("loop").c_str()), 0);
  const std::set<std::string> before = names();
  struct Case {
    const char* name;
    std::string reason;
  } const cases[] = {
      {"sub", std::strerror(EISDIR)}, {"folder-link", std::strerror(EISDIR)},
      {"pipe", "Not a regular file"}, {"missing/new.bas", std::strerror(ENOENT)},
      {"loop", std::strerror(ELOOP)},
  };
  for (const Case& c : cases) {
    const char* reason = save(c.name);
    ASSERT_NE(reason, nullptr) << c.name;
    EXPECT_EQ(reason, c.reason) << c.name;
  }
  EXPECT_EQ(names(), before);
  struct stat status {};
  ASSERT_EQ(lstat(path("pipe").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

}  // namespace
}  // namespace ombrix
