// A folder of its own for a test that writes files, removed with everything
// in it when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

namespace ombrix::testing {

class TemporaryFolder {
 public:
  explicit TemporaryFolder(const char* name) {
    std::string pattern = std::string("/tmp/ombrix-") + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "mkdtemp " << pattern;
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder() {
    if (path_.empty()) return;
    EXPECT_EQ(std::system(("rm -rf '" + path_ + "'").c_str()), 0);
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace ombrix::testing
