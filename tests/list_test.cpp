// The promises of the list family that the rest of the library builds on: items in
// the order added, null items that read like missing ones, copies that share
// nodes, and filling and reading by number in time proportional to the length.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "admsa_supp.h"

namespace {

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

TEST(ListTest, NullItemsAndNumbersOutsideTheListReadAlike) {
  int a = 1;
  int c = 3;
  List list;
  list.add(&a);
  list.add(nullptr);
  list.add(&c);
  // Forward, backward, repeated and past the end, in an order that moves any
  // remembered position around.
  const struct {
    int num;
    void* item;
  } reads[] = {{3, &c}, {1, &a}, {2, nullptr}, {4, nullptr}, {3, &c},       {0, nullptr},
               {1, &a}, {1, &a}, {5, nullptr}, {2, nullptr}, {-1, nullptr}, {3, &c}};
  for (const auto& r : reads) EXPECT_EQ(r.item, list.get(r.num)) << r.num;

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

TEST(ListTest, TypedCopiesShareTheClassList) {
  Forcfg cfg;
  ListBP definitions[3];
  cfg.add(4, &definitions[0]);
  const ListLP view = cfg.stanza(4);
  EXPECT_EQ(&definitions[0], view.get(1));
  EXPECT_EQ(nullptr, view.get(2));
  cfg.add(4, &definitions[1]);
  const ListLP copy(view);
  cfg.add(4, &definitions[2]);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(&definitions[i], view.get(i + 1)) << i;
    EXPECT_EQ(&definitions[i], copy.get(i + 1)) << i;
    EXPECT_EQ(&definitions[i], cfg.stz[4].get(i + 1)) << i;
  }
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
