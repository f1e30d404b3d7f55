#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "admsa_supp.h"
#include "admsa_tab.h"
#include "support/capture.h"
#include "support/raw_record.h"

namespace {

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

std::string NullPointerText() {
  char text[32];
  std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
  return text;
}

}  // namespace

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
      pos += e->len;
    }
  }
}

TEST(FieldAccessTest, TerminalRecordsReadThroughBothLayouts) {
  const RawRecord raw = Patterned(TCTid)
                            .Number(514, 0x01020304)
                            .Text(400, "NETNAME1")
                            .Text(424, "HOST")
                            .Text(1018, "S")
                            .Text(510, "CONNECT1")
                            .Text(403, "LPT3");
  const std::unique_ptr<Rec> rec(raw.Packed());
  EXPECT_EQ(WithNul("LPT3"), Field(*rec, TCTid, TCTid, 403));
  EXPECT_EQ(63, Position(TCTid, TCTid, 403));

  EXPECT_EQ(WithNul("\x04\x03\x02\x01"), Field(*rec, TCSid, TCTid, 514));
  EXPECT_EQ(103, Position(TCSid, TCTid, 514));
  // 508 lies inside the terminal's net name field, which starts at the same byte.
  EXPECT_EQ(WithNul("NETNAME1"), Field(*rec, TCSid, TCTid, 508));
  EXPECT_EQ(43, Position(TCSid, TCTid, 508));
  EXPECT_EQ(WithNul("HOST"), Field(*rec, TCSid, TCTid, 1021));
  EXPECT_EQ(WithNul("S"), Field(*rec, TCSid, TCTid, 1019));
  EXPECT_EQ(WithNul("CONNECT1"), Field(*rec, TCSid, TCTid, 510));
  EXPECT_EQ(151, Position(TCSid, TCTid, 510));
}

TEST(FieldAccessTest, CrossMatchStartsAtTheDistanceIntoTheCoveringEntry) {
  // Connection field 1019 (raw 511) within the terminal layout: entry 1018.
  EXPECT_EQ(80, Position(TCSid, TCTid, 1019));
  // Destination field 700 (raw 21, 1 byte) within the program layout's entry 100
  // (raw 21-28, position 12).
  EXPECT_EQ(12, Position(DCTid, PCTid, 700));
  // Destination field 702 (raw 52) within the program layout's entry 106 (raw 31-60,
  // position 20): 21 bytes into it.
  EXPECT_EQ(41, Position(DCTid, PCTid, 702));

  int pos = 100;  // formatp adds to what it is given
  const Entry* e = Rec::formatp(TCTid, TCTid, 403, &pos);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(163, pos);
  EXPECT_EQ(108, e->off);
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

TEST(FieldAccessTest, RepeatedAndOverlappingEntries) {
  EXPECT_EQ(69, Position(TCSid, TCSid, 510));
  const Entry* e = Rec::format(TCSid, 510);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(TCSdef + 8, e);

  const std::unique_ptr<Rec> rec(Patterned(TCSid).Text(510, "SESSION1").Packed());
  EXPECT_EQ(WithNul("SESSION1"), Field(*rec, TCSid, TCSid, 510));

  // Overlapping entries each keep their own copy of the shared bytes.
  const std::unique_ptr<Rec> sit(Patterned(SITid).Text(42, "*remote host").Packed());
  EXPECT_EQ(199, Position(SITid, SITid, 1020));
  EXPECT_EQ(200, Position(SITid, SITid, 42));
  EXPECT_EQ(WithNul("*"), Field(*sit, SITid, SITid, 1020));
  EXPECT_EQ(WithNul("*remote host" + std::string(28, ' ')), Field(*sit, SITid, SITid, 42));

  const std::unique_ptr<Rec> shared(Patterned(TCSid).Text(509, "1").Packed());
  EXPECT_EQ(WithNul("1       "), Field(*shared, TCSid, TCSid, 511));
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
                            .Text(1009, "TRM1")
                            .Text(400, "NETNAME1")
                            .Number(413, 0x0201)
                            .Text(403, "LPT1")
                            .Number(420, 7)
                            .Truncate(93);
  const std::unique_ptr<Rec> rec(raw.Packed());
  ASSERT_EQ(159, rec->len());
  EXPECT_EQ(WithNul("TRM1"), Field(*rec, TCTid, TCTid, 1009));
  EXPECT_EQ(WithNul("NETNAME1"), Field(*rec, TCTid, TCTid, 400));
  EXPECT_EQ(WithNul(std::string("\x01\0", 2)), Field(*rec, TCTid, TCTid, 413));
  EXPECT_EQ(WithNul("    "), Field(*rec, TCTid, TCTid, 403));
  EXPECT_EQ(WithNul(std::string(2, '\0')), Field(*rec, TCTid, TCTid, 420));
  EXPECT_EQ(WithNul(std::string(8, ' ')), Field(*rec, TCTid, TCTid, 510));

  unsigned char out[kRecWorkArea];
  ASSERT_EQ(246, PackRecord(&TabList[SITid], nullptr, 0, out));
  EXPECT_EQ(' ', out[0]);
  EXPECT_EQ(0, out[12]);  // field 1, a number
}
