#include "driver/byte_buffer.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "driver/fatal.hpp"

namespace ombrix {

ByteBuffer::~ByteBuffer() { std::free(data); }

ByteBufferPtr bf_alloc(uint64_t capacity, uint64_t increment) {
  if (capacity == 0 || increment == 0) {
    std::fputs("bf_alloc: Invalid Arguments", stderr);
    std::exit(1);
  }
  ByteBufferPtr buffer(new (std::nothrow) ByteBuffer);
  if (!buffer) fatal_perror("bf_alloc");
  buffer->data = static_cast<char*>(std::malloc(capacity));
  if (buffer->data == nullptr) fatal_perror("bf_alloc");
  buffer->capacity = capacity;
  buffer->increment = increment;
  return buffer;
}

void bf_broken() { fatal_silent(); }

void bf_addch(ByteBuffer* buffer, char byte) {
  bf_check(buffer);
  if (buffer->length == buffer->capacity) {
    const uint64_t grown = buffer->capacity + buffer->increment;
    if (grown < buffer->capacity) {
      errno = EOVERFLOW;
      fatal_perror("bf_addch");
    }
    void* data = std::realloc(buffer->data, grown);
    if (data == nullptr) fatal_perror("realloc");
    buffer->data = static_cast<char*>(data);
    buffer->capacity = grown;
  }
  buffer->data[buffer->length++] = byte;
}

namespace {

#if defined(__GLIBC__)
// The bytes the stream has read ahead and not yet handed out, and the step
// past some of them: glibc's own FILE fields, the ones that getc_unlocked
// reads and that gnulib's freadptr/freadseek use for the same purpose.
std::size_t read_ahead(std::FILE* input, const char** bytes) {
  *bytes = input->_IO_read_ptr;
  return static_cast<std::size_t>(input->_IO_read_end - input->_IO_read_ptr);
}
void consume(std::FILE* input, std::size_t count) { input->_IO_read_ptr += count; }
#endif

// Makes room for `count` more bytes: the capacity that bf_addch would reach
// one increment at a time, grown in one step.
void make_room(ByteBuffer* buffer, uint64_t count) {
  if (count <= buffer->capacity - buffer->length) return;
  const uint64_t missing = count - (buffer->capacity - buffer->length);
  const uint64_t steps = missing / buffer->increment + (missing % buffer->increment != 0 ? 1 : 0);
  if (steps > (UINT64_MAX - buffer->capacity) / buffer->increment) {
    errno = EOVERFLOW;
    fatal_perror("bf_addch");
  }
  const uint64_t grown = buffer->capacity + steps * buffer->increment;
  void* data = std::realloc(buffer->data, grown);
  if (data == nullptr) fatal_perror("realloc");
  buffer->data = static_cast<char*>(data);
  buffer->capacity = grown;
}

}  // namespace

void bf_append(ByteBuffer* buffer, const char* bytes, uint64_t count) {
  bf_check(buffer);
  make_room(buffer, count);
  std::memcpy(buffer->data + buffer->length, bytes, count);
  buffer->length += count;
}

ByteBuffer* read_line(std::FILE* input, const char* prompt, ByteBuffer* buffer) {
  bf_check(buffer);
  const int fd = fileno(input);
  if (fd == -1) fatal_perror("fileno");
  if (prompt != nullptr && isatty(fd) == 1) {
    std::fputs(prompt, stderr);
    std::fflush(stderr);
  }
#if defined(__GLIBC__)
  // The line is copied from the stream's buffer a run at a time, its end
  // found with memchr: byte by byte it cost about fifteen instructions a
  // byte, a tenth of the cost of loading a program. NUL bytes in the line
  // are kept as they are.
  for (;;) {
    const char* bytes = nullptr;
    const std::size_t count = read_ahead(input, &bytes);
    if (count == 0) {
      // Nothing read ahead: getc refills the buffer and hands out its
      // first byte (or reports the end of the input or an error).
      const int c = getc_unlocked(input);
      if (c == '\n' || c == EOF) break;
      bf_addch(buffer, static_cast<char>(c));
      continue;
    }
    const auto* end = static_cast<const char*>(std::memchr(bytes, '\n', count));
    if (end != nullptr) {
      // The common case: the rest of the line is read ahead. It goes in
      // with its NUL in one step.
      const auto taken = static_cast<std::size_t>(end - bytes);
      make_room(buffer, taken + 1);
      std::memcpy(buffer->data + buffer->length, bytes, taken);
      buffer->length += taken;
      buffer->data[buffer->length++] = '\0';
      consume(input, taken + 1);
      return buffer;
    }
    bf_append(buffer, bytes, count);
    consume(input, count);
  }
#else
  // One byte at a time through the stream's own buffer; the interpreter is
  // single-threaded, so the stream needs no locking per byte.
  for (int c = getc_unlocked(input); c != '\n' && c != EOF; c = getc_unlocked(input)) {
    bf_addch(buffer, static_cast<char>(c));
  }
#endif
  bf_addch(buffer, '\0');
  return buffer;
}

}  // namespace ombrix
