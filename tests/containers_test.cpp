#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "admsa_supp.h"

namespace {

// Shows the storage size, which the buffer keeps to itself.
class ProbeBuffer : public BufStr {
 public:
  int capacity() const { return blen; }
  std::string bytes() const { return std::string(data(), static_cast<size_t>(len())); }
};

}  // namespace

TEST(BufferTest, NewBufferIsEmpty) {
  Buffer b;
  EXPECT_EQ(0, b.len());
  EXPECT_EQ(nullptr, b.data());
}

TEST(BufferTest, StorageIsReusedWhenLargeEnoughAndOtherwiseGrowsExactly) {
  ProbeBuffer b;
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

TEST(ListTest, ItemsComeBackInOrderAndOutOfRangeGivesNull) {
  int items[3] = {1, 2, 3};
  List list;
  EXPECT_EQ(nullptr, list.get(1));
  list.add(&items[0]);
  EXPECT_EQ(&items[0], list.get(1));
  EXPECT_EQ(nullptr, list.get(2));
  list.add(nullptr);  // holds its place
  list.add(&items[2]);

  EXPECT_EQ(&items[0], list.get(1));
  EXPECT_EQ(nullptr, list.get(2));
  EXPECT_EQ(&items[2], list.get(3));
  for (int num : {4, 0, -1, -2147483647 - 1, 2147483647}) EXPECT_EQ(nullptr, list.get(num)) << num;
}

TEST(ListTest, CopiesShareNodesAndSurviveEachOther) {
  int a = 1;
  int b = 2;
  int c = 3;
  std::optional<List> original(std::in_place);
  original->add(&a);
  {
    List copy(*original);
    copy.add(&b);  // appended to the shared chain
    EXPECT_EQ(&b, original->get(2));
  }
  EXPECT_EQ(&a, original->get(1));
  EXPECT_EQ(&b, original->get(2));

  List survivor(*original);
  original.reset();
  survivor.add(&c);
  EXPECT_EQ(&a, survivor.get(1));
  EXPECT_EQ(&c, survivor.get(3));
}

TEST(ForcfgTest, AddKeepsDefinitionsOfKnownClassesOnly) {
  Forcfg cfg;
  ListBP first;
  ListBP second;
  cfg.add(3, nullptr);
  cfg.add(-1, &first);
  cfg.add(Forcfg::kClasses, &first);
  for (int i = -1; i <= Forcfg::kClasses; ++i) EXPECT_EQ(nullptr, cfg.stanza(i).get(1)) << i;

  cfg.add(3, &first);
  {
    const ListLP view = cfg.stanza(3);
    cfg.add(3, &second);
    EXPECT_EQ(&second, view.get(2));  // added after the copy, still reachable
  }
  EXPECT_EQ(&first, cfg.stz[3].get(1));
  EXPECT_EQ(&second, cfg.stz[3].get(2));
}
