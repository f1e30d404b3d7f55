// The store of a run's records and definitions: memory taken in order from a few
// large blocks and returned all at once.
#ifndef DEFSHIFTCORE_ADMSA_ARENA_H_
#define DEFSHIFTCORE_ADMSA_ARENA_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

// Hands out memory for objects that all live as long as the arena: nothing taken
// is returned on its own, and the destructor (or Release) returns every block at
// once without running the destructor of any object made in it. What an object
// made here owns elsewhere is therefore never released: objects made here hold
// their texts in the arena as well (Buffer::lend).
//
// A block is taken only when the current one is full, so a run that keeps a
// million small objects pays for a few thousand allocations; blocks double from the
// first block's size (kFirstBlock unless the arena is made with another) up to
// kLargestBlock, so that an arena that holds little also takes little. Once an arena holds
// kPagedFrom bytes it is a big one, and its further blocks are PageBlocks (admsa_arena_pages.h),
// which a big run's pages are cheaper in. A request larger than a quarter of the largest block
// gets a block of its own. When memory cannot be had, OutOfMemory ends the process: nothing here
// returns null.
class Arena {
 public:
  static constexpr size_t kFirstBlock = 1024;
  // Below the size from which the C library maps memory of its own for a request:
  // the blocks of an arena that goes back early (the records of a table) are then
  // taken again by the next arena without fresh pages.
  static constexpr size_t kLargestBlock = 64 * 1024;
  static constexpr size_t kPagedFrom = 2 * 1024 * 1024;

  explicit Arena(size_t first_block = kFirstBlock);
  // An arena whose first block is the size bytes at storage, which the caller owns
  // and which must outlive the arena (an area inside the arena's owner, so that an
  // owner that holds little takes no memory at all). Later blocks are the arena's.
  Arena(void* storage, size_t size);
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // bytes of memory aligned to align, a power of two not above
  // alignof(std::max_align_t); distinct from every other request, also for 0 bytes.
  void* Allocate(size_t bytes, size_t align = alignof(std::max_align_t)) {
    // Two requests of nothing must still be told apart.
    if (bytes == 0) bytes = 1;
    // align is a power of two: the bytes up to the next multiple of it.
    const size_t pad = static_cast<size_t>(-reinterpret_cast<uintptr_t>(next_)) & (align - 1);
    if (left_ > 0 && bytes <= left_ && pad <= left_ - bytes) {
      char* p = next_ + pad;
      next_ = p + bytes;
      left_ -= pad + bytes;
      return p;
    }
    return AllocateFromNewBlock(bytes, align);
  }
  // bytes of memory without alignment, for texts.
  char* AllocateBytes(size_t bytes) { return static_cast<char*>(Allocate(bytes, 1)); }
  // A copy of the len bytes at data, followed by a NUL that len does not count.
  char* CopyText(const char* data, size_t len);

  // A new T made in the arena from args. Its destructor never runs.
  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    return new (Allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }

  // Returns every block: whatever was made in the arena is gone. The arena can be
  // used again.
  void Release();

  // The bytes of all blocks held, for the bench and the tests.
  size_t held() const { return held_; }

 private:
  struct Block;

  // Takes a block for a request of bytes aligned to align and returns its memory.
  void* AllocateFromNewBlock(size_t bytes, size_t align);
  // A block from PageBlocks, joining them on the first; null when they have none.
  Block* TakePageBlock();

  Block* blocks_;       // the newest block first, each linking to the one before
  char* next_;          // the free memory of the current block
  size_t left_;         // bytes free at next_
  size_t first_block_;  // size of the first ordinary block
  size_t next_block_;   // size of the next ordinary block
  size_t held_;
  bool paged_;  // joined PageBlocks, which Release leaves
};

#endif  // DEFSHIFTCORE_ADMSA_ARENA_H_
