// Small blocks for the parts of stored lines: the nodes of expressions, the
// nodes of the program's map, the statement after a THEN.
//
// A program of 20,000 lines is some 50,000 of these blocks. From malloc
// each one costs a header and, while a program loads and nothing has been
// freed yet, a hundred-odd instructions to get and as many to give back;
// here it costs no header and a handful of instructions. Blocks of up to
// 256 bytes are cut, rounded up to 16 bytes, from 64 KiB slabs; a freed
// block waits on the free list of its size for the next block of that
// size. The slabs are returned to malloc when the process ends.
//
// Under AddressSanitizer every block comes from operator new instead, so
// that the sanitizer sees each one.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace ombrix {

void* block_allocate(std::size_t size);
void block_free(void* block, std::size_t size);

// A std::allocator that takes its memory from the block pool.
template <typename T>
struct BlockAllocator {
  using value_type = T;
  BlockAllocator() = default;
  template <typename U>
  explicit BlockAllocator(const BlockAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(block_allocate(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) { block_free(p, n * sizeof(T)); }
  template <typename U>
  bool operator==(const BlockAllocator<U>&) const {
    return true;
  }
};

// Deletes an object made by block_new.
template <typename T>
struct BlockDelete {
  void operator()(T* object) const {
    object->~T();
    block_free(object, sizeof(T));
  }
};

template <typename T>
using BlockPtr = std::unique_ptr<T, BlockDelete<T>>;

template <typename T, typename... Args>
BlockPtr<T> block_new(Args&&... args) {
  void* block = block_allocate(sizeof(T));
  return BlockPtr<T>(new (block) T(std::forward<Args>(args)...));
}

}  // namespace ombrix
