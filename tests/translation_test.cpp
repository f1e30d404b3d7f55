// Scenario tests of the whole translation: raw records of the control file, packed
// as the reader packs them, translated by the shipped rule tables.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "admsa_tab.h"
#include "admsa_tran.h"
#include "support/capture.h"
#include "support/definitions.h"
#include "support/raw_record.h"

namespace {

using Texts = std::vector<std::string>;

// Counts the non-overlapping occurrences of needle in text.
int Occurrences(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++n;
  }
  return n;
}

class TranslationTest : public ::testing::Test {
 protected:
  ~TranslationTest() override {
    if (cfg_ != nullptr) ReleaseDefinitions(cfg_.get());
    ReleaseRecords(&conf_);
  }

  void Add(int tid, const RawRecord& raw) { conf_.tab[tid].add(raw.Packed()); }

  void Translate() {
    const Captured c = Capture([this] { cfg_ = std::make_unique<Forcfg>(&conf_); });
    log_ = c.out;
    err_ = c.err;
  }

  std::vector<Texts> Defs(int cls) const { return ClassTexts(*cfg_, cls); }
  const ListBP* Def(int cls, int n = 1) const { return cfg_->stanza(cls).get(n); }

  Config conf_;
  std::unique_ptr<Forcfg> cfg_;
  std::string log_;
  std::string err_;
};

RawRecord Transaction(const std::string& key) {
  RawRecord raw(PCTid);
  raw.Text(1003, key).Text(1002, "GRPA").Text(100, "PROG1").Number(108, 5);
  raw.Text(106, "Order entry").Number(109, 3);
  return raw;
}

RawRecord Region() {
  RawRecord raw(SITid);
  raw.Text(0, "Test region").Text(1000, "GRP A").Text(42, "myhost");
  return raw;
}

TEST_F(TranslationTest, ProgramControlRecordBecomesTransactionWithRegionTwaSize) {
  Add(PCTid, Transaction("TRN1"));
  Add(SITid, Region().Number(2, 64));
  Translate();

  const std::vector<Texts> expected = {{
      "_Key=TRN1",
      "GroupName=\\\"GRPA\\\"",
      "ProgName=\\\"PROG1\\\"",
      "Priority=5",
      "ResourceDescription=\\\"Order entry\\\"",
      "TClass=1",
      "TWASize=64",
  }};
  EXPECT_EQ(expected, Defs(TDid));
  EXPECT_NE(std::string::npos, log_.find("\n .... resource 'TRN1' processed\n"));
  EXPECT_EQ("", err_);
}

TEST_F(TranslationTest, EverySitRecordSpreadsTwaSizeToEveryEarlierTransaction) {
  Add(PCTid, Transaction("TRN1"));
  Add(PCTid, Transaction("TRN2"));
  Add(SITid, Region().Number(2, 100));
  Add(SITid, Region().Number(2, 200));
  Translate();

  ASSERT_EQ(2u, Defs(TDid).size());
  for (const Texts& def : Defs(TDid)) {
    ASSERT_EQ(8u, def.size());
    EXPECT_EQ("TWASize=100", def[6]);
    EXPECT_EQ("TWASize=200", def[7]);
  }
  EXPECT_EQ(2u, Defs(RDid).size());
}

TEST_F(TranslationTest, RegionDefinitionJoinsClassLimitsAndHasNoKey) {
  RawRecord sit = Region();
  sit.Text(18, "SYS1").Text(20, "Y").Text(21, "YYMMDD").Number(11, 4);
  for (int fid = 26; fid <= 35; ++fid) sit.Number(fid, 1);
  Add(SITid, sit);
  Translate();

  const std::vector<Texts> expected = {{
      "ResourceDescription=\\\"Test region\\\"",
      "CWASize=512",
      "SysTraceBufferSize=16384",
      "MaxServer=4",
      "ClassMaxTasks=1,1,1,1,1,1,1,1,1,1",
      "LocalSysId=\\\"SYS1\\\"",
      "SysDump=yes",
      "DateForm=yymmdd",
      "AuthenticationService=TAVO",
  }};
  EXPECT_EQ(expected, Defs(RDid));
}

TEST(TranslationRangeTest, CwaAndTraceBufferSizesAtTheirBoundaries) {
  struct Case {
    int fid;
    long number;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {1, 512, "CWASize", "512"},
      {1, 513, "CWASize", "513"},
      {1, 3584, "CWASize", "3584"},
      {1, 3585, "CWASize", "512"},
      {1, 0, "CWASize", "512"},
      {1, -1, "CWASize", "512"},
      {10, 199, "SysTraceBufferSize", "16384"},
      {10, 200, "SysTraceBufferSize", "20000"},
      {10, 2048, "SysTraceBufferSize", "204800"},
      {10, 2049, "SysTraceBufferSize", "16384"},
  };
  for (const Case& c : cases) {
    Config conf;
    conf.tab[SITid].add(Region().Number(c.fid, c.number).Packed());
    std::unique_ptr<Forcfg> cfg;
    Capture([&] { cfg = std::make_unique<Forcfg>(&conf); });
    EXPECT_EQ(c.value, ValueOf(cfg->stanza(RDid).get(1), c.name)) << c.name << " " << c.number;
    ReleaseDefinitions(cfg.get());
    ReleaseRecords(&conf);
  }
}

TEST_F(TranslationTest, TcpListenerOnlyWhenItsPortFlagIsSet) {
  Add(SITid, Region().Number(44, 0));
  Add(SITid, Region().Number(44, 1).Number(43, 0));
  Add(SITid, Region().Number(44, 7).Number(43, 1435).Text(42, "*"));
  Translate();

  const Texts sna = {"_Key=GRPSNA", "GroupName=\\\"GRP A\\\"", "Protocol=SNA",
                     "ResourceDescription=\\\"Translated SNA listener\\\""};
  // The TCP listeners of all SIT records come first, then the SNA ones.
  const std::vector<Texts> expected = {
      // Port 0 gives an empty service.
      {"_Key=GRPTCP", "GroupName=\\\"GRP A\\\"", "Protocol=TCP", "TCPAddress=myhost",
       "TCPService=\\\"\\\"", "ResourceDescription=\\\"Translated TCP/IP listener\\\""},
      // Any other port gives no service; "*" stands for any host.
      {"_Key=GRPTCP", "GroupName=\\\"GRP A\\\"", "Protocol=TCP", "TCPAddress=\\\"\\\"",
       "ResourceDescription=\\\"Translated TCP/IP listener\\\""},
      sna,
      sna,
      sna,
  };
  EXPECT_EQ(expected, Defs(LDid));
  // The key of the listener that field 44 rejects is logged all the same.
  EXPECT_EQ(3, Occurrences(log_, "resource 'GRPTCP' processed"));
  EXPECT_EQ(3, Occurrences(log_, "resource 'GRPSNA' processed"));
  EXPECT_EQ(3u, Defs(RDid).size());
}

TEST_F(TranslationTest, SignOnResetsPasswordToTheUserKey) {
  Add(SNTid, RawRecord(SNTid).Text(1005, "ABC").Text(200, "SECRET").Text(206, "Clerk"));
  Translate();

  const std::vector<Texts> expected = {{
      "_Key=ABC",
      "TAVOPassword=\\\"ABC\\\"",
      "OpID=\\\"\\\"",
      "ResourceDescription=\\\"Clerk\\\"",
  }};
  EXPECT_EQ(expected, Defs(UDid));
  EXPECT_NE(std::string::npos, log_.find(" .... resource 'ABC     ' processed\n"
                                         "      > Password for ABC      reset to ABC     \n"));
  EXPECT_EQ(std::string::npos, log_.find("SECRET"));
}

TEST_F(TranslationTest, KeysAreLoggedAsReadAndStoredWithoutTrailingBlanks) {
  Add(PCTid, Transaction("AB"));
  Add(PCTid, Transaction("    "));
  Translate();

  EXPECT_NE(std::string::npos, log_.find(" .... resource 'AB  ' processed\n"));
  EXPECT_NE(std::string::npos, log_.find(" .... resource '    ' processed\n"));
  ASSERT_EQ(2u, Defs(TDid).size());
  EXPECT_EQ("_Key=AB", Defs(TDid)[0][0]);
  EXPECT_EQ("_Key=", Defs(TDid)[1][0]);
}

TEST_F(TranslationTest, SystemTerminalEntryIsReadThreeTimesButIsNoTerminal) {
  Add(TCTid, RawRecord(TCTid).Text(1009, "T001").Text(1018, "S").Text(401, "B"));
  Translate();

  EXPECT_EQ(3, Occurrences(log_, " .... resource 'T001' processed\n"));
  EXPECT_TRUE(Defs(WDid).empty());
  EXPECT_TRUE(Defs(CDid).empty());
}

// A system entry of the terminal control table; protocol goes to field 500.
RawRecord Connection(const std::string& key, const char* protocol) {
  RawRecord raw(TCTid);
  raw.Text(1009, key).Text(1008, "LINK A").Text(1018, "S").Text(401, protocol);
  raw.Text(406, "Remote link").Text(400, "MODE1").Text(516, "10.0.0.1").Text(510, "PARTNER");
  raw.Number(514, 437).Number(517, 1435);
  return raw;
}

TEST_F(TranslationTest, SystemEntriesBecomeTcpOrSnaConnections) {
  Add(TCTid, Connection("TCP1", "T"));
  Add(TCTid, Connection("SNA1", "Z"));
  Add(TCTid, Connection("BAD1", "B"));
  Translate();

  const std::vector<Texts> expected = {
      {"_Key=TCP1", "GroupName=\\\"LINK A\\\"", "ConnectionType=tavo_tcp",
       "ListenerName=\\\"LINKTCP\\\"", "RemoteCodePageTR=\\\"437\\\"", "RemoteTCPAddress=10.0.0.1",
       "RemoteTCPPort=1435", "ResourceDescription=\\\"Remote link\\\""},
      {"_Key=SNA1", "GroupName=\\\"LINK A\\\"", "ConnectionType=local_sna",
       "ListenerName=\\\"LINKSNA\\\"", "DefaultSNAModeName=\\\"MODE1\\\"",
       "RemoteCodePageTR=\\\"437\\\"", "SNAConnectName=\\\"PARTNER\\\"",
       "ResourceDescription=\\\"Remote link\\\""},
  };
  EXPECT_EQ(expected, Defs(CDid));
  EXPECT_TRUE(Defs(WDid).empty());
}

TEST_F(TranslationTest, TerminalEntryIsNoConnection) {
  Add(TCTid, RawRecord(TCTid)
                 .Text(1009, "T002")
                 .Text(1018, "T")
                 .Text(401, "Q")
                 .Text(402, "Y")
                 .Text(423, "Y")
                 .Number(407, 24)
                 .Number(409, 80));
  Translate();

  EXPECT_TRUE(Defs(CDid).empty());
  ASSERT_EQ(1u, Defs(WDid).size());
  const ListBP* terminal = Def(WDid);
  EXPECT_EQ("T002", ValueOf(terminal, "_Key"));
  EXPECT_EQ("\\\"T002\\\"", ValueOf(terminal, "ModelId"));
  EXPECT_EQ("yes", ValueOf(terminal, "IsPrinter"));
  EXPECT_EQ("K100JP", ValueOf(terminal, "DevType"));
  EXPECT_EQ("24", ValueOf(terminal, "NumLines"));
  EXPECT_EQ("80", ValueOf(terminal, "NumColumns"));
  EXPECT_EQ("yes", ValueOf(terminal, "ActivateOnStartup"));
}

TEST(TranslationFileTest, FileBaseNames) {
  struct Case {
    const char* field;
    const char* value;  // of both BaseName and IndexName; null for none
  };
  const Case cases[] = {
      {"DATA\\ACCOUNTS.DAT", "\\\"ACCOUNTS\\\""},
      {"data\\x.y", "\\\"x\\\""},
      {"E:\\DIR\\F.DAT", "\\\"E:\\DIR\\F\\\""},
      {".PROFILE", "\\\".PROFILE\\\""},
      {"", nullptr},
      {"ACCOUNTS", "\\\"ACCOUNTS\\\""},
      // An extension belongs to the file, never to its directory.
      {"E:\\DIR.OLD\\F", "\\\"E:\\DIR.OLD\\F\\\""},
      {"E:\\DIR.OLD\\F.DAT", "\\\"E:\\DIR.OLD\\F\\\""},
      // A name that is all extension stays whole.
      {"   .DAT", "\\\"   .DAT\\\""},
      {"DATA\\.PROFILE", "\\\".PROFILE\\\""},
      {"DATA\\", "\\\"DATA\\\\\""},
  };
  for (const Case& c : cases) {
    Config conf;
    conf.tab[FCTid].add(RawRecord(FCTid).Text(1007, "ACCTS").Text(300, c.field).Packed());
    std::unique_ptr<Forcfg> cfg;
    Capture([&] { cfg = std::make_unique<Forcfg>(&conf); });
    const ListBP* file = cfg->stanza(FDid).get(1);
    ASSERT_NE(nullptr, file) << c.field;
    const std::string expected = c.value != nullptr ? c.value : "<none>";
    EXPECT_EQ(expected, ValueOf(file, "BaseName")) << c.field;
    EXPECT_EQ(expected, ValueOf(file, "IndexName")) << c.field;
    ReleaseDefinitions(cfg.get());
    ReleaseRecords(&conf);
  }
}

TEST_F(TranslationTest, ExtrapartitionFileIsTheNameAfterTheLastBackslash) {
  Add(DCTid, RawRecord(DCTid).Text(1015, "Q1").Text(700, "E").Text(709, "E:\\Q\\OUT.TXT"));
  Add(DCTid, RawRecord(DCTid).Text(1015, "Q2").Text(700, "E").Text(709, " E:\\Q\\OUT.TXT"));
  Add(DCTid, RawRecord(DCTid).Text(1015, "Q3").Text(700, "E").Text(709, "OUT.TXT"));
  Translate();

  ASSERT_EQ(3u, Defs(TDDid).size());
  EXPECT_EQ("\\\"OUT.TXT\\\"", ValueOf(Def(TDDid, 1), "ExtrapartitionFile"));
  EXPECT_EQ("<none>", ValueOf(Def(TDDid, 2), "ExtrapartitionFile"));
  // Without a directory the whole name is kept.
  EXPECT_EQ("\\\"OUT.TXT\\\"", ValueOf(Def(TDDid, 3), "ExtrapartitionFile"));
  EXPECT_EQ("extrapartition", ValueOf(Def(TDDid, 1), "DestType"));
}

TEST_F(TranslationTest, EmptyControlFileAnnouncesEveryRuleSetAndYieldsNothing) {
  Translate();
  EXPECT_EQ(12, Occurrences(log_, "\n Translating source table: "));
  EXPECT_EQ(3, Occurrences(log_, "\n Translating source table: System Initialisation Table\n"));
  EXPECT_EQ(1, Occurrences(log_, "\n Translating source table: Terminal Contol Table\n"));
  EXPECT_EQ(2, Occurrences(log_, "\n Translating source table: Connection and session Table\n"));
  EXPECT_EQ(0, Occurrences(log_, "processed"));
  for (int cls = 0; cls < Forcfg::kClasses; ++cls) EXPECT_TRUE(Defs(cls).empty()) << cls;
  EXPECT_EQ("", err_);
}

TEST(NeedsQuotesTest, ByNameSubstringOrByThreeIds) {
  const int quoted[] = {3, 11, 19, 21, 35, 45, 62, 64, 74, 75, 92};
  const int plain[] = {0, 8, 61, 67, 69, 70, 76, 88, 91, 95};
  for (int id : quoted) EXPECT_EQ(1, NeedsQuotes(id)) << prednames[id];
  for (int id : plain) EXPECT_EQ(0, NeedsQuotes(id)) << prednames[id];
  EXPECT_EQ(0, NeedsQuotes(-1));
  EXPECT_EQ(0, NeedsQuotes(kPredCount));
}

// Fills every byte of a raw record after its key with the bytes of pattern.
RawRecord Garbage(int tid, const std::string& pattern) {
  RawRecord raw(tid);
  std::string bytes;
  while (static_cast<int>(bytes.size()) < RawLengthNeeded(tid)) bytes += pattern;
  raw.Bytes(1, bytes.substr(0, static_cast<size_t>(RawLengthNeeded(tid) - 1)));
  return raw;
}

TEST_F(TranslationTest, ArbitraryBytesInEveryFieldAreTranslatedSafely) {
  std::string all_bytes;
  for (int b = 255; b > 0; --b) all_bytes += static_cast<char>(b);
  const std::string patterns[] = {all_bytes, std::string(1, '\0'), "S", "xxxxxxxxxxxxxxxxxxx.\\ "};
  for (const std::string& pattern : patterns) {
    for (int tid = DCTid; tid <= TSTid; ++tid) Add(tid, Garbage(tid, pattern));
  }
  Add(SNTid, RawRecord(SNTid).Text(1005, "LONGUSER").Text(200, "PASSWORD"));
  Translate();

  const ListBP* last_user = Def(UDid, static_cast<int>(Defs(UDid).size()));
  EXPECT_EQ("\\\"LONGUSER\\\"", ValueOf(last_user, "TAVOPassword"));
  EXPECT_EQ("", err_);
}

}  // namespace
