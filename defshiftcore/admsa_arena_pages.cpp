#include "admsa_arena_pages.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <pthread.h>
#include <sys/mman.h>

#include <condition_variable>
#endif

namespace {

// The kept blocks are linked through their first bytes, so keeping one takes no
// memory of its own.
struct KeptBlock {
  KeptBlock* next;
};

std::mutex pool_lock;  // guards everything below
KeptBlock* kept = nullptr;
size_t kept_count = 0;
int users = 0;
std::atomic<size_t> mapped_count{0};  // blocks the system gave and has not got back

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

// A page of fresh memory costs the run a fault, and the system the filling of
// the page, when it is first written: on a virtual machine, the most of a big
// run's time after its own work. While some arena uses page blocks, a filler
// thread keeps kAhead blocks mapped and written in advance, so that the run
// finds them ready and that cost goes to another processor. A run that outpaces
// it, or a system that cannot start it, maps blocks as they are taken.
constexpr size_t kAhead = 4;
KeptBlock* ready = nullptr;  // written in advance, linked like the kept ones
size_t ready_count = 0;
bool filler_running = false;
bool filler_stop = false;
// Room in the stock, or the end. Never destroyed: the process may end (exit)
// while the filler waits on it, and destroying a condition that a thread waits
// on would block for ever.
std::condition_variable& filler_wake = *new std::condition_variable;
pthread_t filler;
// Held through Join and Leave, so that the filler of one period of use has ended
// before another can start.
std::mutex period_lock;

// Writes a byte in every small page of the block; where a large page backs it,
// the first write brings the whole of it.
void WriteAhead(void* block) {
  volatile char* const bytes = static_cast<char*>(block);
  for (size_t at = 0; at < PageBlocks::kSize; at += 4096) bytes[at] = 0;
}

void* Fill(void*) {
  std::unique_lock<std::mutex> hold(pool_lock);
  while (!filler_stop) {
    if (ready_count >= kAhead) {
      filler_wake.wait(hold);
      continue;
    }
    hold.unlock();
    void* block = MapBlock();
    if (block != nullptr) WriteAhead(block);
    hold.lock();
    // Out of memory: Take maps (and fails) on its own from now on.
    if (block == nullptr) break;
    ready = new (block) KeptBlock{ready};
    ++ready_count;
  }
  return nullptr;
}

// Under pool_lock: a block written in advance, or null.
void* TakeReady() {
  if (ready == nullptr) return nullptr;
  KeptBlock* block = ready;
  ready = block->next;
  --ready_count;
  filler_wake.notify_one();
  return block;
}

// Under pool_lock, by the first user.
void StartFiller() {
  filler_stop = false;
  filler_running = pthread_create(&filler, nullptr, Fill, nullptr) == 0;
}

// By the last user, not under pool_lock; the blocks left go back to the system
// with the kept ones.
KeptBlock* StopFiller() {
  bool running;
  {
    const std::lock_guard<std::mutex> hold(pool_lock);
    filler_stop = true;
    filler_wake.notify_one();
    running = filler_running;
    filler_running = false;
  }
  if (running) pthread_join(filler, nullptr);
  const std::lock_guard<std::mutex> hold(pool_lock);
  KeptBlock* left = ready;
  ready = nullptr;
  ready_count = 0;
  return left;
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

// No blocks are written in advance here.
std::mutex period_lock;
void* TakeReady() { return nullptr; }
void StartFiller() {}
KeptBlock* StopFiller() { return nullptr; }

#endif

}  // namespace

void* PageBlocks::Take() {
  {
    const std::lock_guard<std::mutex> hold(pool_lock);
    if (kept != nullptr) {
      KeptBlock* block = kept;
      kept = block->next;
      --kept_count;
      return block;
    }
    if (void* block = TakeReady()) return block;
  }
  return MapBlock();
}

void PageBlocks::Give(void* block) {
  if (block == nullptr) return;
  {
    const std::lock_guard<std::mutex> hold(pool_lock);
    if (users > 0) {
      kept = new (block) KeptBlock{kept};
      ++kept_count;
      return;
    }
  }
  UnmapBlock(block);
}

void PageBlocks::Join() {
  const std::lock_guard<std::mutex> period(period_lock);
  const std::lock_guard<std::mutex> hold(pool_lock);
  if (++users == 1) StartFiller();
}

void PageBlocks::Leave() {
  const std::lock_guard<std::mutex> period(period_lock);
  KeptBlock* unused = nullptr;
  {
    const std::lock_guard<std::mutex> hold(pool_lock);
    if (users > 0) --users;
    if (users > 0) return;
    unused = kept;
    kept = nullptr;
    kept_count = 0;
  }
  for (KeptBlock* list : {unused, StopFiller()}) {
    while (list != nullptr) {
      KeptBlock* next = list->next;
      UnmapBlock(list);
      list = next;
    }
  }
}

size_t PageBlocks::Kept() {
  const std::lock_guard<std::mutex> hold(pool_lock);
  return kept_count;
}

size_t PageBlocks::Mapped() { return mapped_count; }
