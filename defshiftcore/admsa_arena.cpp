#include "admsa_arena.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "admsa_arena_pages.h"
#include "admsa_errs.h"

// The header of a block; the memory handed out follows it.
struct Arena::Block {
  Block* next;
  size_t size;  // the bytes after the header
  bool paged;   // a block of PageBlocks, given back there
};

namespace {

[[noreturn]] void Exhausted(size_t bytes) {
  OutOfMemory(bytes > static_cast<size_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(bytes));
}

}  // namespace

Arena::Arena(size_t first_block)
    : blocks_(nullptr),
      next_(nullptr),
      left_(0),
      first_block_(first_block > 0 && first_block < kLargestBlock ? first_block : kLargestBlock),
      next_block_(first_block_),
      held_(0),
      paged_(false) {}

Arena::Arena(void* storage, size_t size)
    : blocks_(nullptr),
      next_(static_cast<char*>(storage)),
      left_(storage != nullptr ? size : 0),
      first_block_(kFirstBlock),
      next_block_(size > kFirstBlock && size < kLargestBlock ? 2 * size : kFirstBlock),
      held_(0),
      paged_(false) {}

Arena::~Arena() { Release(); }

void Arena::Release() {
  // The oldest block first: the newest lie at the top of the C library's heap,
  // and returned first each would give its memory back to the system one at a
  // time; returned last they join the free blocks below them and go back at once.
  Block* oldest_first = nullptr;
  while (blocks_ != nullptr) {
    Block* next = blocks_->next;
    blocks_->next = oldest_first;
    oldest_first = blocks_;
    blocks_ = next;
  }
  while (oldest_first != nullptr) {
    Block* next = oldest_first->next;
    if (oldest_first->paged) {
      PageBlocks::Give(oldest_first);
    } else {
      std::free(oldest_first);
    }
    oldest_first = next;
  }
  if (paged_) PageBlocks::Leave();
  paged_ = false;
  // The caller's first block is not the arena's to hand out again: it may be
  // shorter lived than a reused arena.
  next_ = nullptr;
  left_ = 0;
  next_block_ = first_block_;
  held_ = 0;
}

void* Arena::AllocateFromNewBlock(size_t bytes, size_t align) {
  // Some C libraries align less than std::max_align_t asks (32-bit Windows), so
  // the request keeps room to align its start whatever malloc returns.
  if (bytes > SIZE_MAX - sizeof(Block) - align) Exhausted(bytes);
  const size_t need = bytes + align - 1;
  const bool own = need > kLargestBlock / 4;
  Block* block = nullptr;
  size_t size = own ? need : (need > next_block_ ? need : next_block_);
  if (!own && held_ >= kPagedFrom) block = TakePageBlock();
  if (block != nullptr) {
    size = PageBlocks::kSize - sizeof(Block);
  } else {
    block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (block == nullptr) Exhausted(sizeof(Block) + size);
    block->paged = false;
  }
  block->size = size;
  held_ += sizeof(Block) + size;
  char* const start = reinterpret_cast<char*>(block + 1);
  char* const memory =
      start + (static_cast<size_t>(-reinterpret_cast<uintptr_t>(start)) & (align - 1));
  if (own && blocks_ != nullptr) {
    // A block of its own is full at once: the current block goes on serving.
    block->next = blocks_->next;
    blocks_->next = block;
    return memory;
  }
  block->next = blocks_;
  blocks_ = block;
  next_ = memory + bytes;
  left_ = size - static_cast<size_t>(next_ - start);
  if (!own && next_block_ < kLargestBlock) next_block_ *= 2;
  return memory;
}

Arena::Block* Arena::TakePageBlock() {
  if (!paged_) PageBlocks::Join();
  paged_ = true;
  void* memory = PageBlocks::Take();
  if (memory == nullptr) return nullptr;
  Block* block = static_cast<Block*>(memory);
  block->paged = true;
  return block;
}

char* Arena::CopyText(const char* data, size_t len) {
  if (len == SIZE_MAX) Exhausted(len);
  char* copy = AllocateBytes(len + 1);
  if (len > 0) std::memcpy(copy, data, len);
  copy[len] = '\0';
  return copy;
}
