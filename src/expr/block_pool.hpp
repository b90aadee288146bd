// Small blocks for the parts of stored lines: the nodes of expressions and
// the statement after a THEN.
//
// A program of 20,000 lines is some 40,000 of these blocks. From malloc
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

#if defined(__SANITIZE_ADDRESS__)
#define OMBRIX_BLOCKS_FROM_NEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMBRIX_BLOCKS_FROM_NEW 1
#endif
#endif

namespace ombrix {

namespace block_pool_detail {

inline constexpr std::size_t GRAIN = 16;
inline constexpr std::size_t LARGEST = 256;

struct FreeBlock {
  FreeBlock* next;
};

// What taking and giving back a block touches: a free list per size, and
// the rest of the slab being cut.
struct Lists {
  FreeBlock* free[LARGEST / GRAIN];
  char* next;
  char* end;
};
extern constinit Lists lists;

inline std::size_t class_of(std::size_t size) { return (size - 1) / GRAIN; }

// A new slab, a large block, a block of size 0: everything but the two
// common cases below.
void* allocate_slow(std::size_t size);
void free_large(void* block);

}  // namespace block_pool_detail

// Inline, as every stored line takes a few blocks: the common cases (a
// block from its free list, or cut from the slab) cost a handful of
// instructions without a call.
inline void* block_allocate(std::size_t size) {
#ifndef OMBRIX_BLOCKS_FROM_NEW
  namespace d = block_pool_detail;
  if (size - 1 < d::LARGEST) {  // 1 to LARGEST bytes: size 0 wraps around
    d::FreeBlock*& free = d::lists.free[d::class_of(size)];
    if (free != nullptr) {
      d::FreeBlock* block = free;
      free = block->next;
      return block;
    }
    const std::size_t rounded = (d::class_of(size) + 1) * d::GRAIN;
    if (static_cast<std::size_t>(d::lists.end - d::lists.next) >= rounded) {
      void* block = d::lists.next;
      d::lists.next += rounded;
      return block;
    }
  }
#endif
  return block_pool_detail::allocate_slow(size);
}

inline void block_free(void* block, [[maybe_unused]] std::size_t size) {
  if (block == nullptr) return;
#ifndef OMBRIX_BLOCKS_FROM_NEW
  namespace d = block_pool_detail;
  if (size - 1 < d::LARGEST) {
    d::FreeBlock*& free = d::lists.free[d::class_of(size)];
    free = new (block) d::FreeBlock{free};
    return;
  }
#endif
  block_pool_detail::free_large(block);
}

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
