#include "driver/byte_buffer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace ombrix {
namespace {

std::string line_of(const std::string& input, ByteBuffer* buffer) {
  // A real file: read_line needs a descriptor (a memory stream has none).
  std::FILE* file = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), file);
  std::rewind(file);
  read_line(file, "> ", buffer);
  std::fclose(file);
  return std::string(buffer->data, buffer->length);
}

TEST(ByteBufferTest, GrowsLinearlyByItsIncrement) {
  ByteBufferPtr buffer = bf_alloc(32, 16);
  line_of(std::string(100, 'x') + "\n", buffer.get());
  EXPECT_EQ(buffer->capacity, 112u);
  EXPECT_EQ(buffer->length, 101u);
  bf_reset(buffer.get());
  EXPECT_EQ(buffer->length, 0u);
  EXPECT_EQ(buffer->capacity, 112u);  // the storage stays after a reset
}

TEST(ByteBufferTest, ReadLineStoresEveryByteButTheNewline) {
  struct Case {
    std::string input;
    std::string stored;  // including the terminating NUL
  };
  const Case cases[] = {
      {"\n", std::string("\0", 1)},
      {"", std::string("\0", 1)},
      {"AB\r\nCD", std::string("AB\r\0", 4)},
      {"A\xff"
       "B\n",
       std::string("A\xff"
                   "B\0",
                   4)},
      {std::string("A\0B\n", 4), std::string("A\0B\0", 4)},
      {"no newline", std::string("no newline\0", 11)},
  };
  for (const Case& c : cases) {
    ByteBufferPtr buffer = bf_alloc(32, 16);
    EXPECT_EQ(line_of(c.input, buffer.get()), c.stored);
  }
}

TEST(ByteBufferTest, ReadLineAppendsToWhatIsThere) {
  ByteBufferPtr buffer = bf_alloc(4, 1);
  bf_addch(buffer.get(), 'x');
  EXPECT_EQ(line_of("yz\n", buffer.get()), std::string("xyz\0", 4));
}

// Lines are copied out of the stream's buffer a run at a time, so the cases
// that matter are lines that end at, just before or past the end of what the
// stream has read ahead (4096 bytes on a file here), read one after another
// from the same stream. Each must come out whole, and the buffer must grow as
// the same bytes appended one at a time would grow it.
TEST(ByteBufferTest, ConsecutiveLinesAcrossTheStreamBufferComeOutWhole) {
  std::vector<std::string> lines;
  for (const std::size_t length : {0, 1, 4094, 4095, 4096, 4097, 10000, 3, 8191, 8192, 5}) {
    std::string line(length, 'a');
    for (std::size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);
    if (length > 2) line[length / 2] = '\0';
    lines.push_back(line);
  }
  std::FILE* file = std::tmpfile();
  for (const std::string& line : lines) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fputc('\n', file);
  }
  std::fputs("last without newline", file);
  lines.emplace_back("last without newline");
  std::rewind(file);
  for (const auto& [capacity, increment] : {std::pair<uint64_t, uint64_t>{32, 16}, {1, 1}, {5000, 7}}) {
    std::rewind(file);
    for (const std::string& line : lines) {
      ByteBufferPtr read = bf_alloc(capacity, increment);
      ByteBufferPtr expected = bf_alloc(capacity, increment);
      read_line(file, nullptr, read.get());
      for (const char byte : line) bf_addch(expected.get(), byte);
      bf_addch(expected.get(), '\0');
      ASSERT_EQ(std::string(read->data, read->length), std::string(expected->data, expected->length));
      EXPECT_EQ(read->capacity, expected->capacity) << "line of " << line.size() << " bytes";
    }
    EXPECT_NE(std::feof(file), 0);
  }
  std::fclose(file);
}

using ByteBufferDeathTest = ::testing::Test;

TEST(ByteBufferDeathTest, ZeroArgumentsAreRejected) {
  EXPECT_EXIT(bf_alloc(0, 16), ::testing::ExitedWithCode(1), "^bf_alloc: Invalid Arguments$");
  EXPECT_EXIT(bf_alloc(32, 0), ::testing::ExitedWithCode(1), "^bf_alloc: Invalid Arguments$");
}

TEST(ByteBufferDeathTest, BrokenInvariantsEndSilently) {
  EXPECT_EXIT(bf_check(nullptr), ::testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(
      {
        ByteBufferPtr buffer = bf_alloc(8, 8);
        buffer->length = 9;
        bf_addch(buffer.get(), 'x');
      },
      ::testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(
      {
        ByteBufferPtr buffer = bf_alloc(8, 8);
        buffer->increment = 0;
        bf_reset(buffer.get());
      },
      ::testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(
      {
        ByteBufferPtr buffer = bf_alloc(8, 8);
        std::free(buffer->data);
        buffer->data = nullptr;
        bf_check(buffer.get());
      },
      ::testing::ExitedWithCode(1), "^$");
}

TEST(ByteBufferDeathTest, StreamWithoutDescriptorIsFatal) {
  char text[] = "PRINT 1\n";
  EXPECT_EXIT(
      {
        std::FILE* memory = fmemopen(text, sizeof text - 1, "r");
        ByteBufferPtr buffer = bf_alloc(32, 16);
        read_line(memory, nullptr, buffer.get());
      },
      ::testing::ExitedWithCode(1), "^fileno: Bad file descriptor\n$");
}

TEST(ByteBufferDeathTest, CapacityOverflowIsReported) {
  EXPECT_EXIT(
      {
        ByteBufferPtr buffer = bf_alloc(1, UINT64_MAX);
        bf_addch(buffer.get(), 'a');
        bf_addch(buffer.get(), 'b');
      },
      ::testing::ExitedWithCode(1), "^bf_addch: Value too large for defined data type\n$");
  EXPECT_EXIT(
      {
        ByteBufferPtr buffer = bf_alloc(1, UINT64_MAX);
        bf_append(buffer.get(), "abcd", 4);
      },
      ::testing::ExitedWithCode(1), "^bf_addch: Value too large for defined data type\n$");
}

}  // namespace
}  // namespace ombrix
