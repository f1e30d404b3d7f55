// The translation: the engine driven by small rule tables of the tests' own, for
// the behaviours that the shipped tables never reach, and scenarios of the shipped
// rule tables on raw records packed as the reader packs them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "admsa_conv.h"
#include "admsa_tab.h"
#include "admsa_tran.h"
#include "admsa_tran_engine.h"
#include "support/capture.h"
#include "support/definitions.h"
#include "support/raw_record.h"
#include "support/report.h"

namespace {

using Texts = std::vector<std::string>;

class TranslationTest : public ::testing::Test {
 protected:
  ~TranslationTest() override { ReleaseRecords(&conf_); }

  void Add(int tid, const RawRecord& raw) { conf_.tab[tid].add(raw.Packed()); }

  // The translation of a run, by the shipped rule tables.
  void Translate() {
    Keep(Capture([this] { cfg_ = std::make_unique<Forcfg>(&conf_); }));
  }
  // The translation by the rule sets of table.
  void Run(const TTableRow* table) {
    cfg_ = std::make_unique<Forcfg>();
    Keep(Capture([&] { TranslateRules(table, &conf_, cfg_.get()); }));
  }

  std::vector<Texts> Defs(int cls) const { return ClassTexts(*cfg_, cls); }
  const ListBP* Def(int cls, int n = 1) const { return cfg_->stanza(cls).get(n); }

  Config conf_;
  std::unique_ptr<Forcfg> cfg_;
  std::string log_;
  std::string err_;

 private:
  void Keep(const Captured& c) {
    log_ = c.out;
    err_ = c.err;
  }
};

class EngineTest : public TranslationTest {};

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

constexpr DirFieldTrans kEnd = {kEndField, 0, 0, ByKind(kCopy), 0};

constexpr DirFieldTrans kSixClasses[] = {
    {1003, WDid, kKeyPred, ByKind(kCopy), 0},        {1003, TDDid, kKeyPred, ByKind(kCopy), 0},
    {1003, FDid, kKeyPred, ByKind(kCopy), 0},        {1003, PDid, kKeyPred, ByKind(kCopy), 0},
    {1003, TDid, kKeyPred, ByKind(kCopy), 0},        {1003, UDid, kKeyPred, ByKind(kCopy), 0},
    {100, FDid, kTDGroupNamePred, ByKind(kCopy), 0}, kEnd,
};
constexpr TTableRow kSixClassesTable[] = {{kSixClasses, PCTid, PCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, SixthDestinationOfARecordIsReportedAndDropped) {
  Add(PCTid, Transaction("TRN1"));
  Run(kSixClassesTable);

  EXPECT_EQ("Error 37: Too many destinations in internal table 5\n", err_);
  for (int cls : {WDid, TDDid, PDid, TDid}) {
    EXPECT_EQ(std::vector<Texts>{{"_Key=TRN1"}}, Defs(cls)) << cls;
  }
  // The record goes on after the message.
  EXPECT_EQ(std::vector<Texts>({{"_Key=TRN1", "GroupName=\\\"PROG1\\\""}}), Defs(FDid));
  EXPECT_TRUE(Defs(UDid).empty());
}

constexpr ValueMap kYesNo = {{Txt("yes"), Txt("no")}};
constexpr RangeMap kAnyNumber = {{RangeEnd(Act(kCopyValue))}};
constexpr DirFieldTrans kMismatches[] = {
    {1005, UDid, kKeyPred, ByKind(kCopy), 0},
    {204, UDid, kTDPriorityPred, ByKind(kCopy), 0},          // a bit-set field
    {1005, UDid, kTDGroupNamePred, ByRange(kAnyNumber), 0},  // a range map on characters
    {206, UDid, kCDDescriptionPred, ByKind(kCopy), 0},
    kEnd,
};
constexpr DirFieldTrans kNumberByValueMap[] = {
    {1003, TDid, kKeyPred, ByKind(kCopy), 0},
    {108, TDid, kTDPriorityPred, ByMap(kYesNo), 0},  // a value map on a number
    kEnd,
};
constexpr TTableRow kMismatchTable[] = {
    {kMismatches, SNTid, SNTid}, {kNumberByValueMap, PCTid, PCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, FieldOfAnotherTypeThanItsMappingIsReportedAndDropped) {
  Add(SNTid, RawRecord(SNTid).Text(1005, "USER1").Text(206, "Clerk"));
  Add(PCTid, Transaction("TRN1"));
  Run(kMismatchTable);

  EXPECT_EQ(
      "Error 38: Bad type 49 in internal translation table 1\n"
      "Error 38: Bad type 88 in internal translation table 2\n"
      "Error 38: Bad type 53 in internal translation table 1\n",
      err_);
  EXPECT_EQ(std::vector<Texts>({{"_Key=USER1", "ResourceDescription=\\\"Clerk\\\""}}), Defs(UDid));
  EXPECT_EQ(std::vector<Texts>{{"_Key=TRN1"}}, Defs(TDid));
}

constexpr DirFieldTrans kUnknownField[] = {
    {1003, TDid, kKeyPred, ByKind(kCopy), 0},
    {999, TDid, kTDGroupNamePred, ByKind(kCopy), 0},
    {100, TDid, kTDGroupNamePred, ByKind(kCopy), 0},
    kEnd,
};
constexpr DirFieldTrans kKeyOnly[] = {{1003, PDid, kKeyPred, ByKind(kCopy), 0}, kEnd};
constexpr TTableRow kUnknownFieldTable[] = {
    {kUnknownField, PCTid, PCTid}, {kKeyOnly, PCTid, PCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, FieldMissingFromTheLayoutRejectsTheRecordOnly) {
  Add(PCTid, Transaction("TRN1"));
  Add(PCTid, Transaction("TRN2"));
  Run(kUnknownFieldTable);

  EXPECT_EQ(
      "Error 35: Bad internal table(2)/field(999) id\n"
      "Error 35: Bad internal table(2)/field(999) id\n",
      err_);
  EXPECT_TRUE(Defs(TDid).empty());
  EXPECT_EQ(std::vector<Texts>({{"_Key=TRN1"}, {"_Key=TRN2"}}), Defs(PDid));
}

// Field 503 of the connection layout has no counterpart in a terminal record.
constexpr ValueMap kTakeOther = {
    {Act(kOtherField), Act(kOtherField), Act(kOtherField), Act(kOtherField)}};
constexpr DirFieldTrans kUnlocated[] = {
    {1011, CDid, kKeyPred, ByKind(kCopy), 0},
    {503, CDid, kTDPriorityPred, ByKind(kCopy), 0},
    {500, CDid, kTDGroupNamePred, ByMap(kTakeOther), 503},
    {500, CDid, kCDListenerNamePred, ByMap(kTakeOther), 1010},
    {502, CDid, kCDDescriptionPred, ByKind(kCopy), 0},
    kEnd,
};
constexpr TTableRow kUnlocatedTable[] = {{kUnlocated, TCTid, TCSid}, {nullptr, 0, 0}};

TEST_F(EngineTest, FieldThatCannotBeLocatedDropsOnlyItsAttribute) {
  Add(TCTid, RawRecord(TCTid).Text(1009, "C001").Text(1008, "GRP").Text(406, "Link"));
  Run(kUnlocatedTable);

  const std::string failure =
      "Error 39: Internal table cross match (6/7) failed for field 503\n"
      "Error 0: Message: " +
      NullPointerText() + ", formatp failed\n";
  EXPECT_EQ(failure + failure, err_);
  EXPECT_EQ(std::vector<Texts>(
                {{"_Key=C001", "ListenerName=\\\"GRP\\\"", "ResourceDescription=\\\"Link\\\""}}),
            Defs(CDid));
}

// Field 104 holds blanks (code 0) or anything else (entry 1).
constexpr ValueMap kRejectAny = {{Act(kReject), Act(kReject)}};
constexpr ValueMap kClearAny = {{Act(kClearReject), Act(kClearReject)}};
constexpr RangeMap kRejectNumber = {{RangeEnd(Act(kReject))}};
constexpr RangeMap kClearNumber = {{RangeEnd(Act(kClearReject))}};
constexpr DirFieldTrans kRejectThenClear[] = {
    {1003, TDid, kKeyPred, ByKind(kCopy), 0},
    {104, TDid, kKeyPred, ByMap(kRejectAny), 0},
    {108, TDid, kKeyPred, ByRange(kClearNumber), 0},
    kEnd,
};
constexpr DirFieldTrans kClearThenReject[] = {
    {1003, PDid, kKeyPred, ByKind(kCopy), 0},
    {104, PDid, kKeyPred, ByMap(kClearAny), 0},
    {108, PDid, kKeyPred, ByRange(kRejectNumber), 0},
    kEnd,
};
constexpr TTableRow kRejectTable[] = {
    {kRejectThenClear, PCTid, PCTid}, {kClearThenReject, PCTid, PCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, OnlyTheLastRejectionOrClearanceOfARecordCounts) {
  Add(PCTid, Transaction("TRN1"));
  Run(kRejectTable);
  EXPECT_EQ(std::vector<Texts>{{"_Key=TRN1"}}, Defs(TDid));
  EXPECT_TRUE(Defs(PDid).empty());
}

// clang-format off
constexpr RangeMap kArithmetic = {{
  {1,  1,  Txt(":*100")},
  {2,  2,  Txt(":+ 5")},
  {3,  3,  Txt(":-10")},
  {7,  7,  Txt(":/2")},
  {8,  8,  Txt(":/0")},
  {9,  9,  Txt(":%4")},
  {10, 10, Txt(":*-2")},
  {11, 11, Txt(":")},
  {12, 12, Txt("fixed")},
  RangeEnd(Act(kCopyValue)),
}};
// clang-format on
constexpr RangeMap kMillion = {{RangeEnd(Txt(":*1000000"))}};
constexpr DirFieldTrans kNumbers[] = {
    {1003, TDid, kKeyPred, ByKind(kCopy), 0},
    {108, TDid, kTDPriorityPred, ByRange(kArithmetic), 0},
    kEnd,
};
constexpr DirFieldTrans kWideNumbers[] = {
    {1, RDid, kTDPriorityPred, ByKind(kCopy), 0},
    {1, RDid, kRDClassMaxTasksPred, ByRange(kMillion), 0},
    kEnd,
};
constexpr TTableRow kNumberTable[] = {
    {kNumbers, PCTid, PCTid}, {kWideNumbers, SITid, SITid}, {nullptr, 0, 0}};

TEST_F(EngineTest, NumbersThroughRangeMapsAndArithmetic) {
  const struct {
    long number;
    const char* value;
  } cases[] = {
      {1, "100"},  {2, "7"},   {3, "-7"},     {7, "3"},         {8, "8"},         {9, "9"},
      {10, "-20"}, {11, "11"}, {12, "fixed"}, {40000, "40000"}, {65535, "65535"}, {0, "0"},
  };
  for (const auto& c : cases) Add(PCTid, Transaction("T").Number(108, c.number));
  Add(SITid, RawRecord(SITid).Number(1, -5));
  Add(SITid, RawRecord(SITid).Number(1, 2147483647));
  Run(kNumberTable);

  const std::vector<Texts> got = Defs(TDid);
  ASSERT_EQ(sizeof cases / sizeof cases[0], got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(std::string("Priority=") + cases[i].value, got[i].at(1)) << cases[i].number;
  }
  EXPECT_EQ(std::vector<Texts>({{"Priority=-5", "ClassMaxTasks=-5000000"},
                                {"Priority=2147483647", "ClassMaxTasks=2147483647000000"}}),
            Defs(RDid));
}

constexpr DirFieldTrans kKeys[] = {{1003, TDid, kKeyPred, ByKind(kCopy), 0}, kEnd};
constexpr DirFieldTrans kSpreadGroup[] = {
    {1000, TDid, kTDGroupNamePred, ByKind(kSpread), 0},
    {1000, FDid, kTDGroupNamePred, ByKind(kSpread), 0},
    kEnd,
};
constexpr DirFieldTrans kKeysAndSpread[] = {
    {1003, TDid, kKeyPred, ByKind(kCopy), 0},
    {1002, TDid, kTDPriorityPred, ByKind(kSpread), 0},
    kEnd,
};
constexpr TTableRow kSpreadTable[] = {{kKeys, PCTid, PCTid},
                                      {kSpreadGroup, SITid, SITid},
                                      {kKeysAndSpread, PCTid, PCTid},
                                      {nullptr, 0, 0}};

TEST_F(EngineTest, SpreadReachesOnlyDefinitionsCommittedBeforeIt) {
  Add(PCTid, Transaction("A"));
  Add(PCTid, Transaction("B"));
  Add(SITid, RawRecord(SITid).Text(1000, "GRP"));
  Run(kSpreadTable);

  // Spread values keep their blanks and take no quotes.
  const std::string group = "GroupName=GRP     ";
  const std::string priority = "Priority=GRPA    ";
  EXPECT_EQ(std::vector<Texts>({{"_Key=A", group, priority, priority},
                                {"_Key=B", group, priority, priority},
                                {"_Key=A", priority},
                                {"_Key=B"}}),
            Defs(TDid));
  EXPECT_TRUE(Defs(FDid).empty());
}

constexpr DirFieldTrans kLongValues[] = {
    {300, FDid, kKeyPred, ByKind(kCopy), 0},
    {1007, FDid, kUDPasswordPred, ByKind(kPasswordReset), 0},
    {300, FDid, kCDListenerNamePred, ByMap(CCTCPMap), 0},
    kEnd,
};
constexpr TTableRow kLongTable[] = {{kLongValues, FCTid, FCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, LongFieldsStayWithinTheKeyAndCutAreas) {
  const std::string sixty(60, 'K');
  std::string high;
  for (int b = 0x80; high.size() < 60; ++b) high += static_cast<char>(b);
  Add(FCTid, RawRecord(FCTid).Text(300, sixty));
  Add(FCTid, RawRecord(FCTid).Text(300, high));
  Add(FCTid, RawRecord(FCTid).Text(300, "ABC DEF"));
  Run(kLongTable);

  const std::string key19(19, 'K');
  EXPECT_NE(std::string::npos, log_.find(" .... resource '" + sixty +
                                         "' processed\n"
                                         "      > Password for " +
                                         key19 + " reset to " + key19 + "\n"));
  const std::vector<Texts> got = Defs(FDid);
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(Texts({"_Key=" + sixty, "TAVOPassword=\\\"" + key19 + "\\\"",
                   "ListenerName=\\\"" + std::string(31, 'K') + "\\\""}),
            got[0]);
  EXPECT_EQ("_Key=" + high, got[1][0]);
  EXPECT_EQ("TAVOPassword=\\\"" + high.substr(0, 19) + "\\\"", got[1][1]);
  EXPECT_EQ("ListenerName=\\\"" + high.substr(0, 31) + "\\\"", got[1][2]);
  EXPECT_EQ("ListenerName=\\\"ABCTCP\\\"", got[2][2]);
}

// The printer field's codes: "LPT1" to "LPT5", then "PRN" and a NUL byte. How
// codes compare byte by byte is shown by CodeIndexTest with a code list made for
// it; here the code's index chooses its entry of the map, and any other value the
// entry after the last code.
constexpr ValueMap kPrinters = {
    {Txt("p0"), Txt("p1"), Txt("p2"), Txt("p3"), Txt("p4"), Txt("p5"), Txt("other")}};
constexpr DirFieldTrans kPrinterRules[] = {
    {1009, WDid, kKeyPred, ByKind(kCopy), 0},
    {403, WDid, kTDPriorityPred, ByMap(kPrinters), 0},
    kEnd,
};
constexpr TTableRow kPrinterTable[] = {{kPrinterRules, TCTid, TCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, PrinterCodeChoosesItsValueMapEntry) {
  const struct {
    std::string bytes;
    const char* value;
  } cases[] = {
      {"LPT3", "p2"},
      {std::string("PRN\0", 4), "p5"},
      {std::string("LP\0\0", 4), "other"},
      {"PRN ", "other"},
      {"LPT6", "other"},
      {std::string("\0\0\0\0", 4), "other"},
  };
  const int printer_offset = 108;
  for (const auto& c : cases) Add(TCTid, RawRecord(TCTid).Bytes(printer_offset, c.bytes));
  Run(kPrinterTable);

  const std::vector<Texts> got = Defs(WDid);
  ASSERT_EQ(sizeof cases / sizeof cases[0], got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(std::string("Priority=") + cases[i].value, got[i].at(1)) << i;
  }
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

TEST_F(TranslationTest, CwaAndTraceBufferSizesAtTheirBoundaries) {
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
  for (const Case& c : cases) Add(SITid, Region().Number(c.fid, c.number));
  Translate();
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    EXPECT_EQ(cases[i].value, ValueOf(Def(RDid, static_cast<int>(i) + 1), cases[i].name))
        << cases[i].name << " " << cases[i].number;
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
  // A system entry of neither kind is read by all three rule sets but is no terminal.
  EXPECT_EQ(3, Occurrences(log_, " .... resource 'BAD1' processed\n"));
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

TEST_F(TranslationTest, FileBaseNames) {
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
  for (const Case& c : cases) Add(FCTid, RawRecord(FCTid).Text(1007, "ACCTS").Text(300, c.field));
  Translate();
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    const ListBP* file = Def(FDid, static_cast<int>(i) + 1);
    ASSERT_NE(nullptr, file) << c.field;
    const std::string expected = c.value != nullptr ? c.value : "<none>";
    EXPECT_EQ(expected, ValueOf(file, "BaseName")) << c.field;
    EXPECT_EQ(expected, ValueOf(file, "IndexName")) << c.field;
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
  EXPECT_EQ(0, Occurrences(log_, "processed"));
  for (int cls = 0; cls < Forcfg::kClasses; ++cls) EXPECT_TRUE(Defs(cls).empty()) << cls;
  EXPECT_EQ("", err_);
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

// A run gives each table's records back once no later rule set reads them: the
// definitions and the report must be those of a translation that keeps them all.
TEST(TranslateAndReleaseTest, GivesTheDefinitionsAndReportOfAFullTranslation) {
  std::vector<std::pair<int, RawRecord>> raws;
  raws.emplace_back(PCTid, Transaction("ORD1"));
  raws.emplace_back(SITid, Region().Number(2, 64));
  raws.emplace_back(PCTid, Transaction("ORD2"));
  raws.emplace_back(TCTid, Connection("CON1", "T"));
  raws.emplace_back(TCTid, Connection("CON2", "S"));
  raws.emplace_back(SNTid, RawRecord(SNTid).Text(1005, "USER1").Text(200, "PW"));
  for (int tid = DCTid; tid <= TSTid; ++tid) raws.emplace_back(tid, Garbage(tid, "S"));
  Config kept;
  Config spent;
  for (const auto& r : raws) {
    const std::unique_ptr<Rec> rec(r.second.Packed());
    kept.AddRecord(r.first, rec->data(), rec->len());
    spent.AddRecord(r.first, rec->data(), rec->len());
  }

  Forcfg full;
  Forcfg released;
  const Captured full_report = Capture([&] { TranslateRules(TTable, &kept, &full); });
  const Captured released_report = Capture([&] { TranslateAndRelease(TTable, &spent, &released); });

  EXPECT_EQ(full_report.out, released_report.out);
  EXPECT_EQ(full_report.err, released_report.err);
  for (int cls = 0; cls < Forcfg::kClasses; ++cls) {
    EXPECT_EQ(ClassTexts(full, cls), ClassTexts(released, cls)) << cls;
  }
  EXPECT_FALSE(ClassTexts(released, TDid).empty());
  for (const TTableRow* row = TTable; row->trans != nullptr; ++row) {
    EXPECT_EQ(nullptr, spent.tab[row->sdtab].get(1)) << row->sdtab;
    EXPECT_NE(nullptr, kept.tab[row->sdtab].get(1)) << row->sdtab;
  }
}

}  // namespace
