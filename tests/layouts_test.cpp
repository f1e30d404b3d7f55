// The record layouts of the source tables, the name tables, and reading a field
// of a reassembled record by id through its own layout or another table's.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "admsa_supp.h"
#include "admsa_tab.h"
#include "support/capture.h"
#include "support/raw_record.h"
#include "support/report.h"

namespace {

const Entry* Find(int tid, int fid) {
  for (const Entry* e = LayoutOf(tid); e != nullptr && e->field >= 0; ++e) {
    if (e->field == fid) return e;
  }
  return nullptr;
}

std::unique_ptr<InRec> RawOf(const std::string& bytes) {
  Buffer b;
  b.setto(bytes.data(), static_cast<int>(bytes.size()));
  return std::make_unique<InRec>(&b);
}

// A raw record of tid whose byte at every offset k >= 1 is (k % 251) + 1, so that
// any byte taken from a wrong offset shows.
RawRecord Patterned(int tid) {
  RawRecord raw(tid);
  std::string pattern;
  for (int k = 1; k < RawLengthNeeded(tid); ++k) pattern += static_cast<char>(k % 251 + 1);
  raw.Bytes(1, pattern);
  return raw;
}

// The bytes of field fid (through tid's layout) of rec, packed by dtab's layout.
std::string Field(const Rec& rec, int tid, int dtab, int fid) {
  const std::unique_ptr<Buffer> b(rec.field(tid, dtab, fid));
  return std::string(reinterpret_cast<const char*>(b->data()), static_cast<size_t>(b->len()));
}

std::string WithNul(const std::string& s) { return s + std::string(1, '\0'); }

int Position(int tid, int dtab, int fid) {
  int pos = 0;
  return Rec::formatp(tid, dtab, fid, &pos) != nullptr ? pos : -1;
}

struct Shape {
  int tid;
  char key;
  int raw;     // raw length needed
  int packed;  // reassembled record length
  int lowest;  // the table's own field ids
  int highest;
};

// clang-format off
const Shape kShapes[] = {
  // tid    key  raw  packed  ids
  { DCTid, 'D', 123, 111,    700, 713 },
  { FCTid, 'F', 545, 133,    300, 309 },
  { PCTid, 'P',  80,  65,    100, 109 },
  { PPTid, 'O', 227,  64,    800, 805 },
  { SITid, 'Z', 307, 246,      0,  44 },
  { SNTid, 'S',  86,  69,    200, 206 },
  { TCSid, '%', 522, 145,    500, 520 },
  { TCTid, 'T', 539, 159,    400, 425 },
  { TSTid, 'Q',  74,  59,    600, 604 },
};
// clang-format on

// Fields that the terminal layout borrows from the connection-and-session layout.
const std::set<int> kBorrowed = {510, 514, 516, 517};

}  // namespace

TEST(LayoutTest, KeyCharacterFindsTheTableWhoseRecordsHaveTheirShape) {
  for (const Shape& s : kShapes) {
    SCOPED_TRACE(s.tid);
    EXPECT_EQ(&TabList[s.tid], RawOf(std::string(1, s.key) + "rest")->getfor());
    EXPECT_EQ(s.tid, TabList[s.tid].num);
    EXPECT_EQ(s.raw, RawLengthNeeded(s.tid));
    const std::unique_ptr<Rec> rec(RawRecord(s.tid).Packed());
    EXPECT_EQ(s.packed, rec->len());
  }
  for (const char* key : {"d", " ", "\xff"}) {
    EXPECT_EQ(nullptr, RawOf(std::string(key) + "DFPOZS%TQ")->getfor()) << key;
  }
  for (int tid : {-1, static_cast<int>(KBDid), static_cast<int>(Expid), static_cast<int>(LASTid)}) {
    EXPECT_EQ(nullptr, LayoutOf(tid)) << tid;
    EXPECT_EQ(0, RawLengthNeeded(tid)) << tid;
  }
  unsigned char out[kRecWorkArea];
  EXPECT_EQ(-1, PackRecord(&TabList[9], nullptr, 0, out));
}

TEST(LayoutTest, EntriesAreWellFormed) {
  for (const Shape& s : kShapes) {
    const Entry* e = LayoutOf(s.tid);
    for (; e->field >= 0; ++e) {
      SCOPED_TRACE(testing::Message() << "table " << s.tid << " field " << e->field);
      const bool own = e->field >= s.lowest && e->field <= s.highest;
      const bool common = e->field >= 1000 && e->field <= 1021;
      const bool borrowed = s.tid == TCTid && kBorrowed.count(e->field) == 1;
      EXPECT_TRUE(own || common || borrowed);
      if (borrowed) {
        // Read where the connection layout has them.
        const Entry* connection = Find(TCSid, e->field);
        ASSERT_NE(nullptr, connection);
        EXPECT_EQ(connection->off, e->off);
        EXPECT_EQ(connection->len, e->len);
        EXPECT_EQ(connection->ctype, e->ctype);
      }
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

// That every id has a name, and that the ids code names name what they say, is
// proven when the library is built.
TEST(NameTableTest, ClassCodesAndTitlesAreDistinct) {
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

TEST(NameTableTest, QuotedByNameSubstringOrByThreeIds) {
  // By name, then the three quoted by their id alone.
  const int quoted[] = {
      3, 11, 19, 21, 35, 45, 74, 92, kUDPasswordPred, kUDOpIDPred, kCDRemoteCodePagePred};
  const int plain[] = {kKeyPred, 8, kTDTWASizePred, 67, 69, 70, 76, 88, 91, 95};
  for (int id : quoted) EXPECT_EQ(1, NeedsQuotes(id)) << prednames[id];
  for (int id : plain) EXPECT_EQ(0, NeedsQuotes(id)) << prednames[id];
  EXPECT_EQ(0, NeedsQuotes(-1));
  EXPECT_EQ(0, NeedsQuotes(kPredCount));
}

TEST(NameTableTest, IdsShareANameKeyExactlyWhenTheyShareTheirName) {
  for (int a = 0; a < kPredCount; ++a) {
    EXPECT_STREQ(prednames[a], PredName(a)) << a;
    for (int b = 0; b < kPredCount; ++b) {
      const bool same = std::string(prednames[a]) == prednames[b];
      EXPECT_EQ(same, NameKey(a) == NameKey(b)) << prednames[a] << " " << prednames[b];
    }
  }
  // Ids outside the table are all named "", which no id inside it is.
  for (int outside : {-1, kPredCount, 1000}) {
    EXPECT_STREQ("", PredName(outside)) << outside;
    EXPECT_EQ(NameKey(-1), NameKey(outside)) << outside;
    for (int id = 0; id < kPredCount; ++id) EXPECT_NE(NameKey(id), NameKey(outside)) << id;
  }
}

TEST(FieldAccessTest, EveryFieldComesBackFromItsRawOffset) {
  for (int tid = DCTid; tid <= TSTid; ++tid) {
    const RawRecord raw = Patterned(tid);
    const std::unique_ptr<Rec> rec(raw.Packed());
    int pos = 0;
    for (const Entry* e = LayoutOf(tid); e->field >= 0; ++e) {
      SCOPED_TRACE(testing::Message() << "table " << tid << " field " << e->field);
      const std::string expected =
          raw.bytes().substr(static_cast<size_t>(e->off), static_cast<size_t>(e->len));
      EXPECT_EQ(expected, std::string(reinterpret_cast<const char*>(rec->data()) + pos,
                                      static_cast<size_t>(e->len)));
      // A repeated id is found at its first occurrence, which has the same bytes.
      EXPECT_EQ(WithNul(expected), Field(*rec, tid, tid, e->field));
      if (Find(tid, e->field) == e) {
        EXPECT_EQ(pos, Position(tid, tid, e->field));
      }
      pos += e->len;
    }
  }
}

// A field of one layout read from a record packed by another: it starts at the
// distance of its raw offset into the entry that covers it.
TEST(FieldAccessTest, FieldsOfAnotherLayoutComeFromTheirRawOffset) {
  struct Cross {
    const char* name;
    int tid, dtab, fid;
    int pos;
  };
  const Cross cases[] = {
      {"borrowed number at its own raw offset", TCSid, TCTid, 514, 103},
      {"field at the start of a longer entry", TCSid, TCTid, 508, 43},
      {"borrowed text", TCSid, TCTid, 510, 151},
      {"entry of the same raw bytes", TCSid, TCTid, 1021, 72},
      {"one-byte entry of another id", TCSid, TCTid, 1019, 80},
      {"at the start of an entry", DCTid, PCTid, 700, 12},
      {"21 bytes into an entry", DCTid, PCTid, 702, 41},
  };
  for (const Cross& c : cases) {
    const RawRecord raw = Patterned(c.dtab);
    const std::unique_ptr<Rec> rec(raw.Packed());
    const Entry* e = Find(c.tid, c.fid);
    ASSERT_NE(nullptr, e) << c.name;
    EXPECT_EQ(c.pos, Position(c.tid, c.dtab, c.fid)) << c.name;
    EXPECT_EQ(WithNul(raw.bytes().substr(static_cast<size_t>(e->off), static_cast<size_t>(e->len))),
              Field(*rec, c.tid, c.dtab, c.fid))
        << c.name;
  }

  int pos = 100;  // formatp adds to what it is given
  const Entry* e = Rec::formatp(TCTid, TCTid, 403, &pos);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(163, pos);
  EXPECT_EQ(e, Rec::format(TCTid, 403));
}

TEST(FieldAccessTest, FieldsThatCannotBeLocatedAreReportedOnce) {
  struct Refusal {
    int tid, dtab, fid;
    const char* report;
  };
  const Refusal errors[] = {
      // No terminal entry holds raw bytes 63-64.
      {TCSid, TCTid, 503, "Error 39: Internal table cross match (6/7) failed for field 503\n"},
      // Raw 21-24: entry 700 holds only byte 21, entry 701 starts at 22.
      {SITid, DCTid, 1, "Error 39: Internal table cross match (4/0) failed for field 1\n"},
      {SITid, 12, 1, "Error 39: Internal table cross match (4/12) failed for field 1\n"},
      {SNTid, SNTid, 999, "Error 35: Bad internal table(5)/field(999) id\n"},
      {TCTid, TCSid, 503, "Error 35: Bad internal table(7)/field(503) id\n"},
      {KBDid, KBDid, 1, "Error 35: Bad internal table(9)/field(1) id\n"},
  };
  const std::unique_ptr<Rec> rec(Patterned(TCTid).Packed());
  for (const Refusal& r : errors) {
    SCOPED_TRACE(testing::Message() << r.tid << "/" << r.dtab << "/" << r.fid);
    std::string got = "unset";
    int pos = 7;
    const Captured c = Capture([&] {
      got = Field(*rec, r.tid, r.dtab, r.fid);
      EXPECT_EQ(nullptr, Rec::formatp(r.tid, r.dtab, r.fid, &pos));
    });
    EXPECT_EQ("", got);
    EXPECT_EQ(7, pos);
    EXPECT_EQ(
        r.report + ("Error 0: Message: " + NullPointerText() + ", formatp failed\n") + r.report,
        c.err);
    EXPECT_EQ("", c.out);
  }
  const Captured c = Capture([] { EXPECT_EQ(nullptr, Rec::format(5, 999)); });
  EXPECT_EQ("Error 35: Bad internal table(5)/field(999) id\n", c.err);
}

TEST(FieldAccessTest, RecordTooShortForTheLayoutReadsAsBlankOrZero) {
  const Rec rec("T123", 4);
  EXPECT_EQ(WithNul("    "), Field(rec, TCTid, TCTid, 403));
  EXPECT_EQ(WithNul(std::string(2, '\0')), Field(rec, TCTid, TCTid, 420));
  EXPECT_EQ(WithNul("T123"), Field(rec, TCTid, TCTid, 1009));

  const Rec empty(nullptr, 0);
  EXPECT_EQ(WithNul(std::string(4, '\0')), Field(empty, TCSid, TCTid, 514));
}

TEST(PackRecordTest, ShortRawRecordKeepsWhatItHas) {
  // 93 bytes: field 413 (raw 92-93) keeps its first byte only.
  const RawRecord raw = RawRecord(TCTid)
                            .Text(400, "NETNAME1")
                            .Number(413, 0x0201)
                            .Text(403, "LPT1")
                            .Number(420, 7)
                            .Truncate(93);
  const std::unique_ptr<Rec> rec(raw.Packed());
  ASSERT_EQ(159, rec->len());
  EXPECT_EQ(WithNul("NETNAME1"), Field(*rec, TCTid, TCTid, 400));
  EXPECT_EQ(WithNul(std::string("\x01\0", 2)), Field(*rec, TCTid, TCTid, 413));
  EXPECT_EQ(WithNul("    "), Field(*rec, TCTid, TCTid, 403));
  EXPECT_EQ(WithNul(std::string(2, '\0')), Field(*rec, TCTid, TCTid, 420));

  unsigned char out[kRecWorkArea];
  ASSERT_EQ(246, PackRecord(&TabList[SITid], nullptr, 0, out));
  EXPECT_EQ(' ', out[0]);
  EXPECT_EQ(0, out[12]);  // field 1, a number
}
