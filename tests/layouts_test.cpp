#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "admsa_supp.h"
#include "admsa_tab.h"
#include "support/raw_record.h"

namespace {

const Entry* Find(int tid, int fid) {
  for (const Entry* e = LayoutOf(tid); e != nullptr && e->field >= 0; ++e) {
    if (e->field == fid) return e;
  }
  return nullptr;
}

// The codes of e's list, each exactly len bytes.
std::vector<std::string> Codes(const Entry& e) {
  std::vector<std::string> codes;
  for (const char* code = e.perm; code[0] != '\0'; code += e.len) {
    codes.emplace_back(code, static_cast<size_t>(e.len));
  }
  return codes;
}

std::unique_ptr<InRec> RawOf(const std::string& bytes) {
  Buffer b;
  b.setto(bytes.data(), static_cast<int>(bytes.size()));
  return std::make_unique<InRec>(&b);
}

struct Shape {
  int tid;
  char key;
  int entries;
  int packed;  // reassembled record length
  int raw;     // raw length needed
  int dlen;
  int lowest;  // the table's own field ids
  int highest;
};

// clang-format off
const Shape kShapes[] = {
  // tid    key  entries packed raw  dlen  ids
  { DCTid, 'D', 16,     111,   123, 111,  700, 713 },
  { FCTid, 'F', 12,     133,   545, 129,  300, 309 },
  { PCTid, 'P', 11,      65,    80,  65,  100, 109 },
  { PPTid, 'O',  8,      64,   227,  60,  800, 805 },
  { SITid, 'Z', 37,     246,   307, 195,    0,  44 },
  { SNTid, 'S',  8,      69,    86,  65,  200, 206 },
  { TCSid, '%', 18,     145,   522,  96,  500, 520 },
  { TCTid, 'T', 32,     159,   539,  94,  400, 425 },
  { TSTid, 'Q',  6,      59,    74,  55,  600, 604 },
};
// clang-format on

}  // namespace

TEST(LayoutTest, EveryLayoutHasItsShape) {
  for (const Shape& s : kShapes) {
    SCOPED_TRACE(s.tid);
    ASSERT_EQ(s.key, TablChars[s.tid]);
    EXPECT_EQ(s.tid, TabList[s.tid].num);
    EXPECT_EQ(s.dlen, TabList[s.tid].dlen);
    ASSERT_EQ(TabList[s.tid].fort, LayoutOf(s.tid));

    int entries = 0;
    int packed = 0;
    for (const Entry* e = LayoutOf(s.tid); e->field >= 0; ++e) {
      ++entries;
      packed += e->len;
    }
    EXPECT_EQ(s.entries, entries);
    EXPECT_EQ(s.packed, packed);
    EXPECT_EQ(s.raw, RawLengthNeeded(s.tid));

    const std::unique_ptr<Rec> rec(RawRecord(s.tid).Packed());
    EXPECT_EQ(s.packed, rec->len());
  }
}

TEST(LayoutTest, EntriesAreWellFormed) {
  // Fields that the terminal layout borrows from the connection-and-session layout.
  const std::set<int> borrowed = {510, 514, 516, 517};
  for (const Shape& s : kShapes) {
    const Entry* e = LayoutOf(s.tid);
    for (; e->field >= 0; ++e) {
      SCOPED_TRACE(testing::Message() << "table " << s.tid << " field " << e->field);
      const bool own = e->field >= s.lowest && e->field <= s.highest;
      const bool common = e->field >= 1000 && e->field <= 1021;
      EXPECT_TRUE(own || common || (s.tid == TCTid && borrowed.count(e->field) == 1));
      if (e->ctype == kCharField) {
        EXPECT_EQ(0, e->start);
        EXPECT_EQ(0, e->end);
      } else if (e->ctype == kNumberField) {
        EXPECT_TRUE(e->len == 2 || e->len == 4);
        EXPECT_LE(e->start, e->end);
      } else {
        EXPECT_EQ(kBitsField, e->ctype);
        EXPECT_EQ(SNTid, s.tid);
        EXPECT_EQ(e->len * 8 - 1, e->end);
      }
      // Every layout opens with its two common fields, at raw offsets 1 and 13.
      if (e == LayoutOf(s.tid)) {
        EXPECT_TRUE(common && e->off == 1);
      } else if (e == LayoutOf(s.tid) + 1) {
        EXPECT_TRUE(common && e->off == 13);
      }
    }
    EXPECT_EQ(0, e->ctype);
  }
  EXPECT_EQ(0, TabList[9].num);
}

TEST(LayoutTest, TerminalLayoutReadsConnectionFieldsWhereTheyLie) {
  for (int fid : {510, 514, 516, 517}) {
    const Entry* terminal = Find(TCTid, fid);
    const Entry* connection = Find(TCSid, fid);
    ASSERT_NE(nullptr, terminal) << fid;
    ASSERT_NE(nullptr, connection) << fid;
    EXPECT_EQ(connection->off, terminal->off) << fid;
    EXPECT_EQ(connection->len, terminal->len) << fid;
    EXPECT_EQ(connection->ctype, terminal->ctype) << fid;
  }
}

TEST(LayoutTest, CodeListEndsAtTheFirstCodeStartingWithNul) {
  const std::vector<std::string> printers = Codes(*Find(TCTid, 403));
  ASSERT_EQ(6u, printers.size());
  EXPECT_EQ("LPT1", printers[0]);
  EXPECT_EQ(std::string("PRN\0", 4), printers[5]);

  EXPECT_EQ((std::vector<std::string>{"0       ", "1       "}), Codes(*Find(TCSid, 511)));
  EXPECT_EQ((std::vector<std::string>{"DDMMYY", "MMDDYY", "YYMMDD"}), Codes(*Find(SITid, 21)));
  EXPECT_EQ((std::vector<std::string>{"Y", "N", " "}), Codes(*Find(DCTid, 702)));
  EXPECT_TRUE(Codes(*Find(TCTid, 416)).empty());
}

TEST(TableKeyTest, KeyCharacterFindsTheTable) {
  for (const Shape& s : kShapes) {
    EXPECT_EQ(&TabList[s.tid], RawOf(std::string(1, s.key) + "rest")->getfor()) << s.key;
  }
  for (const char* key : {"E", "X", "A", "d", " ", "\xff"}) {
    EXPECT_EQ(nullptr, RawOf(std::string(key) + "DFPOZS%TQ")->getfor()) << key;
  }
  EXPECT_EQ(nullptr, RawOf(std::string("\0D", 2))->getfor());
  EXPECT_EQ(nullptr, RawOf("")->getfor());

  const int noLayout[] = {-1, KBDid, Expid, LASTid};
  for (int tid : noLayout) {
    EXPECT_EQ(nullptr, LayoutOf(tid)) << tid;
    EXPECT_EQ(0, RawLengthNeeded(tid)) << tid;
  }
  unsigned char out[kRecWorkArea];
  EXPECT_EQ(-1, PackRecord(&TabList[9], nullptr, 0, out));
}

TEST(NameTableTest, EveryIdHasAName) {
  for (int id = 0; id < kPredCount; ++id) {
    ASSERT_NE(nullptr, prednames[id]) << id;
    EXPECT_NE('\0', prednames[id][0]) << id;
  }
  // Rules name attributes by id; a slip anywhere above shifts these.
  EXPECT_STREQ("TWASize", prednames[61]);
  EXPECT_STREQ("AuthenticationService", prednames[95]);

  std::set<std::string> codes;
  std::set<std::string> titles;
  for (int id = WDid; id < LSTid; ++id) {
    if (ResTypeArr[id][0] != '\0') codes.insert(ResTypeArr[id]);
    if (StanzaName[id][0] != '\0') titles.insert(StanzaName[id]);
  }
  EXPECT_EQ(static_cast<size_t>(LSTid), codes.size());
  EXPECT_EQ(static_cast<size_t>(LSTid), titles.size());
  EXPECT_STREQ("tdd", ResTypeArr[TDDid]);
  EXPECT_STREQ("Gateway Definitions", StanzaName[CDid]);
}
