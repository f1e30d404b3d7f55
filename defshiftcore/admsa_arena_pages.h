// Large blocks for the arenas of a big run, backed by large pages where the
// system gives them.
#ifndef DEFSHIFTCORE_ADMSA_ARENA_PAGES_H_
#define DEFSHIFTCORE_ADMSA_ARENA_PAGES_H_

#include <cstddef>

// A million definitions fill hundreds of megabytes; in pages of 4 KB each one
// costs the run a fault of its own when first written. Blocks of kSize bytes
// aligned to kSize let Linux back them with 2 MB pages instead (transparent huge
// pages, asked for block by block), which takes the faults from hundreds of
// thousands down to a few hundred. Elsewhere the blocks are ordinary memory.
//
// The blocks an arena gives back are kept for the next Take while some arena
// still uses page blocks (the source tables go back while the definitions grow,
// and their blocks then serve the definitions without fresh pages); when the last
// user leaves, every kept block goes back to the system, so nothing is held
// between runs. For one thread, as the whole migration is: nothing here locks.
class PageBlocks {
 public:
  static constexpr size_t kSize = 2 * 1024 * 1024;

  // A block of kSize bytes aligned to kSize, or null when the system has none.
  // The caller must have joined (Join) and not yet left.
  static void* Take();
  // Gives back a block that Take returned.
  static void Give(void* block);

  // An arena joins before its first Take and leaves after giving back its last
  // block.
  static void Join();
  static void Leave();

  // For the tests: the blocks kept for reuse, and all blocks the system gave
  // that have not gone back to it (kept or taken).
  static size_t Kept();
  static size_t Mapped();
};

#endif  // DEFSHIFTCORE_ADMSA_ARENA_PAGES_H_
