#include "admsa_arena_pages.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// The kept blocks are linked through their first bytes, so keeping one takes no
// memory of its own.
struct KeptBlock {
  KeptBlock* next;
};

// The migration runs on one thread and nothing of the product starts another, so
// the pool takes no lock. (The Windows packages are built with the compilers'
// win32 threading model, whose run time needs only what Windows NT 4.0 has and
// offers no std::mutex.)
KeptBlock* kept = nullptr;
size_t kept_count = 0;
int users = 0;
size_t mapped_count = 0;  // blocks the system gave and has not got back

#if defined(__linux__)

// Maps twice the size and trims to an aligned block: only an aligned 2 MB range
// can be backed by one large page.
void* MapBlock() {
  const size_t span = 2 * PageBlocks::kSize;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + PageBlocks::kSize - 1) & ~(uintptr_t{PageBlocks::kSize} - 1);
  const size_t before = aligned - start;
  const size_t after = span - before - PageBlocks::kSize;
  if (before > 0) munmap(mapped, before);
  if (after > 0) munmap(reinterpret_cast<void*>(aligned + PageBlocks::kSize), after);
  void* block = reinterpret_cast<void*>(aligned);
  ++mapped_count;
  // Only advice: a system without large pages serves the block in small ones.
  madvise(block, PageBlocks::kSize, MADV_HUGEPAGE);
  return block;
}

void UnmapBlock(void* block) {
  munmap(block, PageBlocks::kSize);
  --mapped_count;
}

#else

// Ordinary memory; the alignment only matters where large pages are asked for.
void* MapBlock() {
  void* block = std::malloc(PageBlocks::kSize);
  if (block != nullptr) ++mapped_count;
  return block;
}
void UnmapBlock(void* block) {
  std::free(block);
  --mapped_count;
}

#endif

}  // namespace

void* PageBlocks::Take() {
  if (kept != nullptr) {
    KeptBlock* block = kept;
    kept = block->next;
    --kept_count;
    return block;
  }
  return MapBlock();
}

void PageBlocks::Give(void* block) {
  if (block == nullptr) return;
  if (users > 0) {
    kept = new (block) KeptBlock{kept};
    ++kept_count;
    return;
  }
  UnmapBlock(block);
}

void PageBlocks::Join() { ++users; }

void PageBlocks::Leave() {
  if (users > 0) --users;
  if (users > 0) return;
  KeptBlock* unused = kept;
  kept = nullptr;
  kept_count = 0;
  while (unused != nullptr) {
    KeptBlock* next = unused->next;
    UnmapBlock(unused);
    unused = next;
  }
}

size_t PageBlocks::Kept() { return kept_count; }

size_t PageBlocks::Mapped() { return mapped_count; }
