// A growable byte buffer, and the reader of one input line into it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace ombrix {

// Invariants, checked by every operation but creation and release: the
// buffer and its storage exist, capacity and increment are not 0, and
// length does not exceed capacity. A broken invariant ends the process.
struct ByteBuffer {
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  char* data = nullptr;
  uint64_t capacity = 0;
  uint64_t length = 0;
  uint64_t increment = 0;
};

// Releasing a buffer is its destructor.
using ByteBufferPtr = std::unique_ptr<ByteBuffer>;

// A capacity or increment of 0 ends the process ("bf_alloc: Invalid Arguments").
ByteBufferPtr bf_alloc(uint64_t capacity, uint64_t increment);
// Appends one byte; when full, the storage grows by exactly `increment`.
void bf_addch(ByteBuffer* buffer, char byte);
// Appends `count` bytes; the storage grows as `count` calls of bf_addch
// would grow it, in one step.
void bf_append(ByteBuffer* buffer, const char* bytes, uint64_t count);
// Ends the process silently: a buffer's invariants are broken.
[[noreturn]] void bf_broken();
// Inline, with bf_reset: the read loop checks and empties its buffer once a
// line, and the two calls cost more than the checks.
inline void bf_check(const ByteBuffer* buffer) {
  if (buffer == nullptr || buffer->data == nullptr || buffer->capacity == 0 || buffer->increment == 0 ||
      buffer->length > buffer->capacity) {
    bf_broken();
  }
}
// Empties the buffer and keeps its storage.
inline void bf_reset(ByteBuffer* buffer) {
  bf_check(buffer);
  buffer->length = 0;
}

// Appends one line of `input` (without its newline) and a NUL to the buffer.
// The line ends at a newline, at the end of input or at a read error. When
// `prompt` is given and the input is a terminal, the prompt goes to standard
// error first.
ByteBuffer* read_line(std::FILE* input, const char* prompt, ByteBuffer* buffer);

// The stream's end-of-file and error indicators. ombrix has one thread, so
// glibc's unlocked forms serve, which read the indicators inline instead of
// a call that takes the stream's lock: the read loop asks after every line.
#if defined(__GLIBC__)
inline bool stream_at_end(std::FILE* stream) { return feof_unlocked(stream) != 0; }
inline bool stream_failed(std::FILE* stream) { return ferror_unlocked(stream) != 0; }
#else
inline bool stream_at_end(std::FILE* stream) { return std::feof(stream) != 0; }
inline bool stream_failed(std::FILE* stream) { return std::ferror(stream) != 0; }
#endif

}  // namespace ombrix
