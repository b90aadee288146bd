#include "expr/block_pool.hpp"

#include <vector>

namespace ombrix {

namespace block_pool_detail {

constinit Lists lists{};

namespace {

constexpr std::size_t SLAB = 64 * 1024;

// The slabs, returned to malloc when the process ends.
class Slabs {
 public:
  constexpr Slabs() = default;
  Slabs(const Slabs&) = delete;
  Slabs& operator=(const Slabs&) = delete;
  ~Slabs() {
    for (void* slab : slabs_) ::operator delete(slab);
  }

  // What is left of the old slab stays unused: it is less than one block.
  void add() {
    slabs_.reserve(slabs_.size() + 1);
    char* slab = static_cast<char*>(::operator new(SLAB));
    slabs_.push_back(slab);
    lists.next = slab;
    lists.end = slab + SLAB;
  }

 private:
  std::vector<void*> slabs_;
};

// Initialised before any code runs (its constructor is constexpr), so
// using it needs no check; destroyed when the process ends.
[[maybe_unused]] constinit Slabs slabs;

}  // namespace

void* allocate_slow(std::size_t size) {
#ifndef OMBRIX_BLOCKS_FROM_NEW
  // The block's free list is empty and the slab has too little left.
  if (size - 1 < LARGEST) {
    slabs.add();
    return block_allocate(size);
  }
#endif
  return ::operator new(size);
}

void free_large(void* block) { ::operator delete(block); }

}  // namespace block_pool_detail

}  // namespace ombrix
