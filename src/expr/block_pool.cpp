#include "expr/block_pool.hpp"

#include <array>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define OMBRIX_BLOCKS_FROM_NEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMBRIX_BLOCKS_FROM_NEW 1
#endif
#endif

namespace ombrix {

namespace {

constexpr std::size_t GRAIN = 16;
constexpr std::size_t LARGEST = 256;
constexpr std::size_t SLAB = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

class BlockPool {
 public:
  constexpr BlockPool() = default;
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;
  ~BlockPool() {
    for (void* slab : slabs_) ::operator delete(slab);
  }

  void* allocate(std::size_t size) {
    FreeBlock*& free = free_[class_of(size)];
    if (free != nullptr) {
      FreeBlock* block = free;
      free = block->next;
      return block;
    }
    const std::size_t rounded = (class_of(size) + 1) * GRAIN;
    if (static_cast<std::size_t>(end_ - next_) < rounded) new_slab();
    void* block = next_;
    next_ += rounded;
    return block;
  }

  void deallocate(void* block, std::size_t size) {
    FreeBlock*& free = free_[class_of(size)];
    free = new (block) FreeBlock{free};
  }

 private:
  static std::size_t class_of(std::size_t size) { return (size - 1) / GRAIN; }

  // What is left of the old slab stays unused: it is less than one block.
  void new_slab() {
    slabs_.reserve(slabs_.size() + 1);
    char* slab = static_cast<char*>(::operator new(SLAB));
    slabs_.push_back(slab);
    next_ = slab;
    end_ = slab + SLAB;
  }

  std::array<FreeBlock*, LARGEST / GRAIN> free_{};
  char* next_ = nullptr;
  char* end_ = nullptr;
  std::vector<void*> slabs_;
};

// Initialised before any code runs (its constructor is constexpr), so
// using it needs no check; destroyed when the process ends.
[[maybe_unused]] constinit BlockPool pool;

}  // namespace

void* block_allocate(std::size_t size) {
#ifndef OMBRIX_BLOCKS_FROM_NEW
  if (size != 0 && size <= LARGEST) return pool.allocate(size);
#endif
  return ::operator new(size);
}

void block_free(void* block, [[maybe_unused]] std::size_t size) {
  if (block == nullptr) return;
#ifndef OMBRIX_BLOCKS_FROM_NEW
  if (size != 0 && size <= LARGEST) {
    pool.deallocate(block, size);
    return;
  }
#endif
  ::operator delete(block);
}

}  // namespace ombrix
