#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "admsa_supp.h"
#include "admsa_tab.h"
#include "admsa_tran.h"
#include "support/capture.h"
#include "support/memory_store.h"
#include "support/raw_record.h"

namespace {

// Reads every record of the store through a run; the run takes the store over.
class ReaderTest : public testing::Test {
 protected:
  ReaderTest() : run_("REGION"), store_(new MemoryStore) { run_.infile = store_; }

  void Add(const RawRecord& raw) { store_->Add(raw.bytes()); }
  void Add(const std::string& raw) { store_->Add(raw); }

  // Drains the store; keeps what reached the console in console_.
  Config* Read() {
    Config* conf = nullptr;
    console_ = Capture([this, &conf] { conf = run_.readinall(); });
    config_.reset(conf);
    return conf;
  }

  // The key field (raw offset 1) of record num of table tid, blanks trimmed.
  std::string KeyOf(int tid, int num) const {
    const Rec* rec = config_->tab[tid].get(num);
    if (rec == nullptr) return "<none>";
    const std::unique_ptr<Buffer> key(rec->field(tid, tid, LayoutOf(tid)->field));
    std::string text(reinterpret_cast<const char*>(key->data()));
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }

  int Count(int tid) const {
    int n = 0;
    while (config_->tab[tid].get(n + 1) != nullptr) ++n;
    return n;
  }

  Conversion run_;
  MemoryStore* store_;  // owned by run_
  std::unique_ptr<Config> config_;
  Captured console_;
};

RawRecord Keyed(int tid, const std::string& key) {
  RawRecord raw(tid);
  return raw.Text(LayoutOf(tid)->field, key);
}

}  // namespace

TEST_F(ReaderTest, EmptyOrMissingStoreGivesTenEmptyTables) {
  ASSERT_NE(nullptr, Read());
  for (int tid = 0; tid < Config::kTables; ++tid) EXPECT_EQ(0, Count(tid)) << tid;
  EXPECT_EQ(1, store_->reads());
  EXPECT_EQ("", console_.out + console_.err);

  Conversion without_store("REGION");
  const std::unique_ptr<Config> conf(without_store.readinall());
  ASSERT_NE(nullptr, conf);
  for (int tid = 0; tid < Config::kTables; ++tid) EXPECT_EQ(nullptr, conf->tab[tid].get(1));
}

TEST_F(ReaderTest, RecordsAreFiledUnderTheirTablesInReadingOrder) {
  const RawRecord terminal = Keyed(TCTid, "T001").Text(403, "LPT2").Number(421, 200);
  Add(terminal);
  Add(Keyed(TCSid, "C001"));
  Add(Keyed(TSTid, "QUEUE1"));
  Add(Keyed(DCTid, "D001"));
  Add(Keyed(TCTid, "T002"));
  Add(Keyed(TSTid, "QUEUE2"));
  Read();

  EXPECT_EQ(7, store_->reads());
  EXPECT_EQ(2, Count(TCTid));
  EXPECT_EQ("T001", KeyOf(TCTid, 1));
  EXPECT_EQ("T002", KeyOf(TCTid, 2));
  EXPECT_EQ("C001", KeyOf(TCSid, 1));
  EXPECT_EQ(2, Count(TSTid));
  EXPECT_EQ("QUEUE1", KeyOf(TSTid, 1));
  EXPECT_EQ("QUEUE2", KeyOf(TSTid, 2));
  EXPECT_EQ("D001", KeyOf(DCTid, 1));
  for (int tid : {FCTid, PCTid, PPTid, SITid, SNTid, KBDid}) EXPECT_EQ(0, Count(tid)) << tid;
  EXPECT_EQ("", console_.out + console_.err);

  const std::unique_ptr<Rec> expected(terminal.Packed());
  const Rec* rec = config_->tab[TCTid].get(1);
  ASSERT_EQ(159, rec->len());
  EXPECT_EQ(0, std::memcmp(expected->data(), rec->data(), 159));
}

TEST_F(ReaderTest, RecordsWithoutTableAreDroppedWithTheirOwnNote) {
  Add("E record that is not for us");
  Add("X workstation setup");
  Add("A unknown");
  Add(std::string("\0\1\2", 3));
  Add(std::string());
  Read();

  for (int tid = 0; tid < Config::kTables; ++tid) EXPECT_EQ(0, Count(tid)) << tid;
  EXPECT_EQ(
      " Ignoring Workstation Setup (QVBKBD) record\n"
      " .... The unrecognised table key byte is 0x00\n"
      " Ignoring empty record (no table key character)\n",
      console_.out);
  EXPECT_EQ(
      "Error 30: Unrecognised table key character A.  Record ignored.\n"
      "Error 30: Unrecognised table key character ?.  Record ignored.\n",
      console_.err);
}

TEST_F(ReaderTest, ShortRecordsAreKeptAndReadingGoesOn) {
  Add(Keyed(PCTid, "TRN1").Text(100, "PROG1").Truncate(30));
  Add("A");
  Add(std::string());
  Add("Q");
  Add(Keyed(TSTid, "QUEUE1").Bytes(74, std::string(300, 'z')));  // longer than needed
  Add(Keyed(PCTid, "TRN2"));
  Read();

  EXPECT_EQ(7, store_->reads());
  ASSERT_EQ(2, Count(PCTid));
  EXPECT_EQ("TRN1", KeyOf(PCTid, 1));
  EXPECT_EQ("TRN2", KeyOf(PCTid, 2));
  const Rec* rec = config_->tab[PCTid].get(1);
  ASSERT_EQ(65, rec->len());
  const std::unique_ptr<Buffer> program(rec->field(PCTid, PCTid, 100));
  EXPECT_STREQ("PROG1   ", reinterpret_cast<const char*>(program->data()));
  const std::unique_ptr<Buffer> priority(rec->field(PCTid, PCTid, 108));
  EXPECT_EQ(0, priority->data()[0] | priority->data()[1]);

  ASSERT_EQ(2, Count(TSTid));
  EXPECT_EQ("", KeyOf(TSTid, 1));
  EXPECT_EQ("QUEUE1", KeyOf(TSTid, 2));
  EXPECT_EQ(59, config_->tab[TSTid].get(2)->len());
  EXPECT_EQ(
      " .... Program Control Table record of 30 bytes is shorter than its layout (80 bytes); "
      "missing bytes taken as blanks, or zero in numbers\n"
      " Ignoring empty record (no table key character)\n"
      " .... Temporary Storage Table record of 1 bytes is shorter than its layout (74 bytes); "
      "missing bytes taken as blanks, or zero in numbers\n",
      console_.out);
  EXPECT_EQ("Error 30: Unrecognised table key character A.  Record ignored.\n", console_.err);
}
