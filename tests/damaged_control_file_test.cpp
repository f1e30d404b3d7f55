// Whole migrations, in process, of control files that an old system damaged:
// what such a file cannot carry into the command file is left out and reported,
// and the rest is migrated.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "admsa_fm.h"
#include "admsa_supp.h"
#include "admsa_tab.h"
#include "admsa_tran.h"
#include "support/capture.h"
#include "support/definitions.h"
#include "support/memory_store.h"
#include "support/raw_record.h"

namespace {

class DamagedControlFileTest : public testing::Test {
 protected:
  void Add(const RawRecord& raw) { store_.Add(raw.bytes()); }

  // Reads the store, translates and writes the command file, as a run does.
  void Migrate() {
    Conversion run("REGION1");
    run.infile = &store_;
    HumanFile out(path_.c_str(), "REGION1");
    console_ = Capture([&] {
                 Config* conf = run.readinall();
                 Forcfg cfg(conf);
                 ReleaseRecords(conf);
                 delete conf;
                 ASSERT_EQ(0, out.openoutfile());
                 out.GenerateCommandScript(&cfg);
                 out.closefile();
                 ReleaseDefinitions(&cfg);
               }).out;
    run.infile = nullptr;  // the store is the fixture's
    file_ = ReadFile(path_);
  }

  // The tavoadd lines of the command file.
  std::string Adds() const {
    std::string adds;
    for (size_t pos = 0, end; (end = file_.find('\n', pos)) != std::string::npos; pos = end + 1) {
      if (file_.compare(pos, 8, "tavoadd ") == 0) adds += file_.substr(pos, end + 1 - pos);
    }
    return adds;
  }

  bool Logged(const std::string& line) const {
    return console_.find(line + "\n") != std::string::npos;
  }
  // Whether the report refuses a definition for reason, then shows its description.
  bool Refused(const std::string& reason, const std::string& description) const {
    return Logged(reason + "\n      > (ResourceDescription=\"" + description + "\")");
  }

  MemoryStore store_;
  const std::string path_ = TempPath("damaged.cmd");
  std::string console_;
  std::string file_;
};

RawRecord Transaction(const std::string& key, const std::string& description) {
  RawRecord raw(PCTid);
  raw.Text(1003, "").Bytes(1, key).Text(100, "PROG1").Text(106, description);
  return raw;
}

TEST_F(DamagedControlFileTest, DefinitionsWithoutANameAreLeftOutAndReported) {
  Add(Transaction("TRN1", "first good one"));
  Add(Transaction("    ", "blank key"));
  Add(Transaction(std::string(4, '\0'), "key of NUL bytes"));
  Add(Transaction(std::string("\0BCD", 4), "key cut by a NUL"));
  Add(Transaction("TRN2", "second good one"));
  Migrate();

  EXPECT_EQ(
      "tavoadd -c td -r REGION1 -P TRN1\n"
      "tavoadd -c td -r REGION1 -P TRN2\n",
      Adds());
  // A command that names no resource would take its first attribute for the name.
  EXPECT_EQ(std::string::npos, file_.find("-P \n"));
  EXPECT_EQ(std::string::npos, file_.find("-P  "));

  const std::string unnamed = " .... a resource without a name is not migrated";
  EXPECT_TRUE(Refused(unnamed, "blank key"));
  EXPECT_TRUE(Refused(unnamed, "key of NUL bytes"));
  EXPECT_TRUE(Refused(unnamed, "key cut by a NUL"));
  EXPECT_TRUE(Logged("      5 records checked, 2 migrated")) << console_;
}

TEST_F(DamagedControlFileTest, EveryClassRefusesADefinitionWithoutAName) {
  for (int tid : {DCTid, FCTid, PCTid, PPTid, SNTid, TCTid, TSTid}) Add(RawRecord(tid));
  Migrate();

  EXPECT_EQ("", Adds());
  size_t refused = 0;
  for (size_t at = 0; (at = console_.find("a resource without a name", at)) != std::string::npos;
       ++at) {
    ++refused;
  }
  EXPECT_EQ(7u, refused) << console_;
}

}  // namespace
