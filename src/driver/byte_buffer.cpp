#include "driver/byte_buffer.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

void bf_check(const ByteBuffer* buffer) {
  if (buffer == nullptr || buffer->data == nullptr || buffer->capacity == 0 || buffer->increment == 0 ||
      buffer->length > buffer->capacity) {
    fatal_silent();
  }
}

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

void bf_reset(ByteBuffer* buffer) {
  bf_check(buffer);
  buffer->length = 0;
}

ByteBuffer* read_line(std::FILE* input, const char* prompt, ByteBuffer* buffer) {
  bf_check(buffer);
  const int fd = fileno(input);
  if (fd == -1) fatal_perror("fileno");
  if (prompt != nullptr && isatty(fd) == 1) {
    std::fputs(prompt, stderr);
    std::fflush(stderr);
  }
  // One byte at a time through the stream's own buffer; the interpreter is
  // single-threaded, so the stream needs no locking per byte. Nothing else
  // touches the buffer while the line is read, so its invariants, checked
  // above, hold for every byte: the loop stores directly and grows the
  // storage by exactly one increment whenever it is full, as bf_addch does.
  char* data = buffer->data;
  uint64_t length = buffer->length;
  for (int c = getc_unlocked(input); c != '\n' && c != EOF; c = getc_unlocked(input)) {
    if (length == buffer->capacity) {
      buffer->length = length;
      bf_addch(buffer, static_cast<char>(c));
      data = buffer->data;
      length = buffer->length;
      continue;
    }
    data[length++] = static_cast<char>(c);
  }
  buffer->length = length;
  bf_addch(buffer, '\0');
  return buffer;
}

}  // namespace ombrix
