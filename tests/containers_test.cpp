// The containers that the rest of the library builds on: buffers that grow to
// exactly the size asked for, texts that keep their terminator, and lists that
// keep items in the order added, share nodes between copies and are filled and
// read back by number in time proportional to their length.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "admsa_arena.h"
#include "admsa_arena_pages.h"
#include "admsa_supp.h"

namespace {

// Shows the storage size, which the buffer keeps to itself.
class ProbeBuffer : public BufStr {
 public:
  int capacity() const { return blen; }
  std::string bytes() const { return std::string(data(), static_cast<size_t>(len())); }
};

// What lists promise, kept the plain way: a list either has no nodes yet or reads
// one chain of items; a copy reads the same chain; adding to a list without nodes
// starts a chain of its own, which copies made before do not see.
class Model {
 public:
  int Make() {
    lists_.push_back(-1);
    return static_cast<int>(lists_.size()) - 1;
  }
  int Copy(int from) {
    lists_.push_back(lists_[static_cast<size_t>(from)]);
    return static_cast<int>(lists_.size()) - 1;
  }
  void Add(int list, void* item) {
    int& chain = lists_[static_cast<size_t>(list)];
    if (chain < 0) {
      chains_.emplace_back();
      chain = static_cast<int>(chains_.size()) - 1;
    }
    chains_[static_cast<size_t>(chain)].push_back(item);
  }
  void* Get(int list, int num) const {
    const int chain = lists_[static_cast<size_t>(list)];
    if (chain < 0 || num < 1) return nullptr;
    const std::vector<void*>& items = chains_[static_cast<size_t>(chain)];
    return static_cast<size_t>(num) <= items.size() ? items[static_cast<size_t>(num) - 1] : nullptr;
  }
  int Length(int list) const {
    const int chain = lists_[static_cast<size_t>(list)];
    return chain < 0 ? 0 : static_cast<int>(chains_[static_cast<size_t>(chain)].size());
  }

 private:
  std::vector<int> lists_;  // chain read by each list, -1 for none yet
  std::vector<std::vector<void*>> chains_;
};

}  // namespace

TEST(BufferTest, StorageIsReusedWhenLargeEnoughAndOtherwiseGrowsExactly) {
  ProbeBuffer b;
  EXPECT_EQ(0, b.len());
  EXPECT_EQ(nullptr, b.data());
  b.setto("abcdefgh", 8);
  const char* first = b.data();
  b.setto("xyz", 3);
  EXPECT_EQ(first, b.data());
  EXPECT_EQ(8, b.capacity());
  EXPECT_EQ("xyz", b.bytes());

  b.concat("1234", 4);  // 7 bytes fit in 8
  EXPECT_EQ(first, b.data());
  EXPECT_EQ("xyz1234", b.bytes());
  b.concat("ab", 2);
  EXPECT_EQ(9, b.capacity());
  EXPECT_EQ("xyz1234ab", b.bytes());

  b.setto("0123456789", 10);
  EXPECT_EQ(10, b.capacity());
  EXPECT_EQ("0123456789", b.bytes());

  // Shortening in place changes only the length.
  b.setto(b.data(), 2);
  EXPECT_EQ("01", b.bytes());
  EXPECT_EQ('2', b.data()[2]);
  EXPECT_EQ(10, b.capacity());

  b.concat("", 0);
  b.setto("", 0);
  EXPECT_EQ(0, b.len());
}

TEST(BufStrTest, TextsKeepTheirTerminator) {
  ProbeBuffer s;
  s.setstr(nullptr);
  EXPECT_EQ(nullptr, s.data());
  s.setstr("");
  EXPECT_EQ(1, s.len());
  EXPECT_EQ('\0', s.data()[0]);

  s.setstr("A");
  s.setstr(nullptr);
  s.constr("B");
  EXPECT_STREQ("AB", s.data());
  EXPECT_EQ(3, s.len());
  EXPECT_EQ(3, s.capacity());
  s.constr("");
  s.constr("cdef");
  EXPECT_STREQ("ABcdef", s.data());
  EXPECT_EQ(7, s.len());

  BufStr appended;
  appended.constr("first");
  const BufStr set("first");
  EXPECT_EQ(set.len(), appended.len());
  EXPECT_STREQ(set.data(), appended.data());
}

TEST(ListTest, NullItemsAndNumbersOutsideTheListReadAlike) {
  int a = 1;
  int c = 3;
  List list;
  EXPECT_EQ(nullptr, list.get(1));
  list.add(&a);
  list.add(nullptr);  // holds its place
  list.add(&c);
  // Forward, backward, repeated and past the end, in an order that moves any
  // remembered position around.
  const struct {
    int num;
    void* item;
  } reads[] = {{3, &c}, {1, &a}, {2, nullptr}, {4, nullptr}, {3, &c},       {0, nullptr},
               {1, &a}, {1, &a}, {5, nullptr}, {2, nullptr}, {-1, nullptr}, {3, &c}};
  for (const auto& r : reads) EXPECT_EQ(r.item, list.get(r.num)) << r.num;
  for (int num : {-2147483647 - 1, 2147483647}) EXPECT_EQ(nullptr, list.get(num)) << num;

  list.add(&a);  // after reads that went past the end
  EXPECT_EQ(&a, list.get(4));
  EXPECT_EQ(&c, list.get(3));
  EXPECT_EQ(nullptr, list.get(5));
}

TEST(ListTest, CopiesSeeNodesThatAnyOfThemAppends) {
  int items[6] = {};
  List original;
  original.add(&items[0]);
  original.add(&items[1]);
  EXPECT_EQ(nullptr, original.get(3));  // read up to the end before the copy

  List copy(original);
  copy.add(&items[2]);      // behind the original's last node
  original.add(&items[3]);  // behind the copy's node, not over it
  EXPECT_EQ(nullptr, copy.get(5));
  {
    List third(copy);
    third.add(&items[4]);
  }  // destroying a copy releases nothing
  copy.add(&items[5]);
  for (const List* list : {&original, &copy}) {
    for (int i = 0; i < 6; ++i) EXPECT_EQ(&items[i], list->get(i + 1)) << i;
    EXPECT_EQ(nullptr, list->get(7));
  }
}

TEST(ListTest, CopyOfAnEmptyListStartsItsOwnNodes) {
  int a = 1;
  int b = 2;
  List empty;
  List copy(empty);
  empty.add(&a);
  copy.add(&b);
  EXPECT_EQ(&a, empty.get(1));
  EXPECT_EQ(nullptr, empty.get(2));
  EXPECT_EQ(&b, copy.get(1));
  EXPECT_EQ(nullptr, copy.get(2));
}

// Random adds, reads and copies on a handful of lists, each result compared with
// the model: whatever the remembered positions do, the answers must not change.
TEST(ListTest, RandomUseMatchesTheModel) {
  std::mt19937 random(20240611);
  std::vector<int> items(64);
  Model model;
  std::vector<std::unique_ptr<List>> lists;
  const auto pick = [&random](int n) {
    return static_cast<int>(random() % static_cast<unsigned>(n));
  };
  for (int step = 0; step < 20000; ++step) {
    const int op = pick(100);
    if (lists.empty() || (op < 3 && lists.size() < 12)) {
      lists.emplace_back(new List);
      model.Make();
      continue;
    }
    const int l = pick(static_cast<int>(lists.size()));
    if (op < 6 && lists.size() < 12) {
      lists.emplace_back(new List(*lists[static_cast<size_t>(l)]));
      model.Copy(l);
    } else if (op < 40) {
      void* item = pick(8) == 0 ? nullptr : &items[static_cast<size_t>(pick(64))];
      lists[static_cast<size_t>(l)]->add(item);
      model.Add(l, item);
    } else {
      const int num = pick(model.Length(l) + 3) - 1;
      ASSERT_EQ(model.Get(l, num), lists[static_cast<size_t>(l)]->get(num))
          << "step " << step << ", list " << l << ", number " << num;
    }
  }
}

// A list read back by number costs time in proportion to its length: 50,000 items
// take a millisecond, where walking from the first node for each takes seconds.
TEST(ListTest, FillingAndReadingInOrderTakesLinearTime) {
  constexpr int kItems = 50000;
  std::vector<int> items(kItems);
  const auto start = std::chrono::steady_clock::now();
  List list;
  for (int i = 0; i < kItems; ++i) list.add(&items[static_cast<size_t>(i)]);
  const List copy(list);
  int read = 0;
  for (int i = 1; list.get(i) != nullptr; ++i) {
    ASSERT_EQ(&items[static_cast<size_t>(i) - 1], list.get(i));
    ASSERT_EQ(&items[static_cast<size_t>(i) - 1], copy.get(i));
    ++read;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(kItems, read);
  EXPECT_LT(elapsed, std::chrono::seconds(1));
}

TEST(ForcfgTest, AddKeepsDefinitionsOfKnownClassesAndViewsShareTheClassList) {
  Forcfg cfg;
  ListBP definitions[3];
  cfg.add(4, nullptr);
  cfg.add(-1, &definitions[0]);
  cfg.add(Forcfg::kClasses, &definitions[0]);
  for (int i = -1; i <= Forcfg::kClasses; ++i) EXPECT_EQ(nullptr, cfg.stanza(i).get(1)) << i;

  cfg.add(4, &definitions[0]);
  const ListLP view = cfg.stanza(4);
  cfg.add(4, &definitions[1]);
  const ListLP copy(view);
  cfg.add(4, &definitions[2]);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(&definitions[i], view.get(i + 1)) << i;
    EXPECT_EQ(&definitions[i], copy.get(i + 1)) << i;
    EXPECT_EQ(&definitions[i], cfg.stz[4].get(i + 1)) << i;
  }
  EXPECT_EQ(nullptr, view.get(4));
}

bool AlignedTo(const void* p, size_t align) { return reinterpret_cast<uintptr_t>(p) % align == 0; }

// Every request gets memory of its own, aligned as asked, whether it fits the
// current block, needs a bigger one, or is large enough for a block of its own.
TEST(ArenaTest, RequestsAreAlignedDistinctAndWritableAcrossBlocks) {
  Arena arena;
  struct Taken {
    unsigned char* p;
    size_t bytes;
    unsigned char fill;
  };
  std::vector<Taken> taken;
  const size_t sizes[] = {0,
                          1,
                          3,
                          8,
                          17,
                          100,
                          Arena::kFirstBlock,
                          Arena::kLargestBlock / 4 + 1,
                          Arena::kLargestBlock + 5};
  const size_t aligns[] = {1, 2, 8, alignof(std::max_align_t)};
  unsigned char fill = 0;
  for (int round = 0; round < 200; ++round) {
    for (size_t bytes : sizes) {
      if (bytes > Arena::kLargestBlock / 4 && round % 50 != 0) continue;
      const size_t align = aligns[(taken.size() + static_cast<size_t>(round)) % 4];
      auto* p = static_cast<unsigned char*>(arena.Allocate(bytes, align));
      ASSERT_NE(nullptr, p);
      EXPECT_TRUE(AlignedTo(p, align)) << bytes << " bytes aligned to " << align;
      std::memset(p, ++fill, bytes);
      taken.push_back({p, bytes, fill});
    }
  }
  // Nothing overlaps: every request still holds what was written into it.
  for (const Taken& t : taken) {
    for (size_t i = 0; i < t.bytes; ++i) ASSERT_EQ(t.fill, t.p[i]) << t.bytes;
  }
  for (size_t i = 1; i < taken.size(); ++i) EXPECT_NE(taken[i - 1].p, taken[i].p);
  EXPECT_GT(arena.held(), Arena::kLargestBlock);

  // The blocks go back at once; the arena serves again from its first size.
  arena.Release();
  EXPECT_EQ(0u, arena.held());
  EXPECT_NE(nullptr, arena.Allocate(10));
  EXPECT_LE(arena.held(), Arena::kFirstBlock + 2 * alignof(std::max_align_t));
}

TEST(ArenaTest, TextsAreCopiedWithTheirTerminatorAndAFirstBlockOfTheCallersIsUsedFirst) {
  char area[64];
  Arena arena(area, sizeof area);
  const char* text = arena.CopyText("abc\0def", 7);
  EXPECT_TRUE(text >= area && text < area + sizeof area);
  EXPECT_EQ(0, std::memcmp(text, "abc\0def", 8));
  EXPECT_EQ(0u, arena.held());  // nothing taken from the C library yet
  const char* long_text = arena.CopyText(std::string(100, 'x').c_str(), 100);
  EXPECT_FALSE(long_text >= area && long_text < area + sizeof area);
  EXPECT_EQ(std::string(100, 'x'), long_text);
  EXPECT_GT(arena.held(), 100u);
  EXPECT_STREQ("", arena.CopyText(nullptr, 0));
}

// Big arenas take their blocks from PageBlocks. What one gives back serves
// another while some arena still uses them; when the last one goes back, so
// does every kept block.
TEST(ArenaTest, BigArenasShareTheirLargeBlocksOnlyWhileOneIsInUse) {
  const auto fill = [](Arena* arena, size_t bytes) {
    for (size_t n = 0; n < bytes; n += 4096) std::memset(arena->Allocate(4096), 1, 4096);
  };
  Arena records;
  Arena definitions;
  fill(&records, Arena::kPagedFrom + 3 * PageBlocks::kSize);
  fill(&definitions, Arena::kPagedFrom + PageBlocks::kSize);
  EXPECT_EQ(0u, PageBlocks::Kept());
  records.Release();
  const size_t kept = PageBlocks::Kept();
  EXPECT_GE(kept, 3u);
  fill(&definitions, 2 * PageBlocks::kSize);
  EXPECT_LT(PageBlocks::Kept(), kept);
  definitions.Release();
  EXPECT_EQ(0u, PageBlocks::Kept());
  EXPECT_EQ(0u, PageBlocks::Mapped());

  // Many blocks at once, each whole and aligned, and all back to the system at the end.
  PageBlocks::Join();
  std::vector<void*> blocks;
  for (int i = 0; i < 12; ++i) {
    void* block = PageBlocks::Take();
    ASSERT_NE(nullptr, block);
#if defined(__linux__)
    EXPECT_TRUE(AlignedTo(block, PageBlocks::kSize));
#endif
    std::memset(block, i, PageBlocks::kSize);
    blocks.push_back(block);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    const unsigned char* bytes = static_cast<unsigned char*>(blocks[i]);
    EXPECT_EQ(i, bytes[0]);
    EXPECT_EQ(i, bytes[PageBlocks::kSize - 1]);
    PageBlocks::Give(blocks[i]);
  }
  EXPECT_EQ(blocks.size(), PageBlocks::Kept());
  PageBlocks::Leave();
  EXPECT_EQ(0u, PageBlocks::Kept());
  EXPECT_EQ(0u, PageBlocks::Mapped());
}

// A buffer never writes to storage lent to it, nor releases it: a change moves
// the bytes to storage of its own first.
TEST(BufferTest, LentStorageIsNeitherWrittenNorReleased) {
  char lender[] = "shared";
  ProbeBuffer a;
  a.setstr("owned storage goes back first");
  a.lend(lender, 7);
  EXPECT_EQ(lender, a.data());
  EXPECT_EQ(0, a.capacity());
  EXPECT_STREQ("shared", a.data());

  a.setto(a.data(), 3);  // shortening in place changes only the length
  EXPECT_EQ(lender, a.data());
  EXPECT_EQ(3, a.len());

  ProbeBuffer b;
  b.lend(lender, 7);
  b.setstr("xy");  // fits in the lent bytes, yet goes elsewhere
  EXPECT_NE(lender, b.data());
  EXPECT_STREQ("xy", b.data());
  EXPECT_STREQ("shared", lender);

  ProbeBuffer c;
  c.lend(lender, 7);
  c.constr("!");
  EXPECT_STREQ("shared!", c.data());
  EXPECT_EQ(8, c.capacity());
  EXPECT_STREQ("shared", lender);
  // a, b and c are destroyed here: only b's and c's own storage is released.
}

TEST(ConfigTest, RecordsAreCopiedAndATableGoesBackOnItsOwn) {
  Config conf;
  unsigned char bytes[] = {'P', 'R', 'O', 'G'};
  conf.AddRecord(2, bytes, 4);
  conf.AddRecord(2, bytes, 2);
  conf.AddRecord(7, bytes, 0);
  conf.AddRecord(Config::kTables, bytes, 4);  // no such table: nothing filed
  conf.AddRecord(-1, bytes, 4);
  bytes[0] = 'X';
  ASSERT_NE(nullptr, conf.tab[2].get(2));
  EXPECT_EQ(0, std::memcmp("PROG", conf.tab[2].get(1)->data(), 4));
  EXPECT_EQ(2, conf.tab[2].get(2)->len());
  EXPECT_EQ(0, conf.tab[7].get(1)->len());
  EXPECT_EQ(nullptr, conf.tab[2].get(3));

  Rec own("OWN", 3);
  conf.tab[7].add(&own);  // a caller's record stays the caller's
  conf.Release(2);
  conf.Release(Config::kTables);
  EXPECT_EQ(nullptr, conf.tab[2].get(1));
  EXPECT_EQ(0, conf.tab[7].get(1)->len());
  EXPECT_EQ(&own, conf.tab[7].get(2));
  conf.AddRecord(2, bytes, 4);  // a released table is filled again
  EXPECT_EQ('X', conf.tab[2].get(1)->data()[0]);
}

TEST(ForcfgTest, PairsMadeInTheStoreHoldTheirValueAndLendTheirName) {
  static const char kName[] = "ProgName";
  std::string value = "ORDPGM";
  Forcfg cfg;
  ListBP* definition = cfg.NewDefinition();
  BPair* pair = cfg.NewPair(kName, value.c_str(), value.size());
  definition->add(pair);
  definition->add(cfg.NewPair(kName, "", 0));
  cfg.add(3, definition);
  value.assign("changed");

  ASSERT_EQ(definition, cfg.stanza(3).get(1));
  EXPECT_EQ(kName, pair->one.data());
  EXPECT_EQ(9, pair->one.len());
  EXPECT_STREQ("ORDPGM", pair->two.data());
  EXPECT_EQ(7, pair->two.len());
  EXPECT_STREQ("", definition->get(2)->two.data());
  EXPECT_EQ(1, definition->get(2)->two.len());
  EXPECT_GT(cfg.held(), 0u);

  // A caller's definition beside those of the store stays the caller's.
  ListBP own;
  cfg.add(3, &own);
  EXPECT_EQ(&own, cfg.stanza(3).get(2));
}
