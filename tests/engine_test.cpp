// The translation engine driven by small rule tables of the tests' own, for the
// behaviours that the shipped tables never reach.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "admsa_conv.h"
#include "admsa_tab.h"
#include "admsa_tran_engine.h"
#include "support/capture.h"
#include "support/definitions.h"
#include "support/raw_record.h"

namespace {

using Texts = std::vector<std::string>;

constexpr DirFieldTrans kEnd = {kEndField, 0, 0, ByKind(kCopy), 0};

// Predicate ids by name, for readability of the rules below.
constexpr int kKey = 0;
constexpr int kGroupName = 54;
constexpr int kPriority = 56;
constexpr int kTAVOPassword = 62;
constexpr int kListenerName = 74;
constexpr int kDescription = 78;
constexpr int kClassMaxTasks = 91;

class EngineTest : public ::testing::Test {
 protected:
  ~EngineTest() override {
    ReleaseDefinitions(&cfg_);
    ReleaseRecords(&conf_);
  }

  void Add(int tid, const RawRecord& raw) { conf_.tab[tid].add(raw.Packed()); }

  void Run(const TTableRow* table) {
    const Captured c = Capture([&] { TranslateRules(table, &conf_, &cfg_); });
    log_ = c.out;
    err_ = c.err;
  }

  std::vector<Texts> Defs(int cls) const { return ClassTexts(cfg_, cls); }

  Config conf_;
  Forcfg cfg_;
  std::string log_;
  std::string err_;
};

RawRecord Transaction(const std::string& key) {
  RawRecord raw(PCTid);
  raw.Text(1003, key).Text(1002, "GRPA").Text(100, "PROG1").Text(106, "Order entry");
  raw.Number(108, 5);
  return raw;
}

constexpr DirFieldTrans kSixClasses[] = {
    {1003, WDid, kKey, ByKind(kCopy), 0},      {1003, TDDid, kKey, ByKind(kCopy), 0},
    {1003, FDid, kKey, ByKind(kCopy), 0},      {1003, PDid, kKey, ByKind(kCopy), 0},
    {1003, TDid, kKey, ByKind(kCopy), 0},      {1003, UDid, kKey, ByKind(kCopy), 0},
    {100, FDid, kGroupName, ByKind(kCopy), 0}, kEnd,
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
    {1005, UDid, kKey, ByKind(kCopy), 0},
    {204, UDid, kPriority, ByKind(kCopy), 0},          // a bit-set field
    {1005, UDid, kGroupName, ByRange(kAnyNumber), 0},  // a range map on characters
    {206, UDid, kDescription, ByKind(kCopy), 0},
    kEnd,
};
constexpr DirFieldTrans kNumberByValueMap[] = {
    {1003, TDid, kKey, ByKind(kCopy), 0},
    {108, TDid, kPriority, ByMap(kYesNo), 0},  // a value map on a number
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
    {1003, TDid, kKey, ByKind(kCopy), 0},
    {999, TDid, kGroupName, ByKind(kCopy), 0},
    {100, TDid, kGroupName, ByKind(kCopy), 0},
    kEnd,
};
constexpr DirFieldTrans kKeyOnly[] = {{1003, PDid, kKey, ByKind(kCopy), 0}, kEnd};
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
    {1011, CDid, kKey, ByKind(kCopy), 0},
    {503, CDid, kPriority, ByKind(kCopy), 0},
    {500, CDid, kGroupName, ByMap(kTakeOther), 503},
    {500, CDid, kListenerName, ByMap(kTakeOther), 1010},
    {502, CDid, kDescription, ByKind(kCopy), 0},
    kEnd,
};
constexpr TTableRow kUnlocatedTable[] = {{kUnlocated, TCTid, TCSid}, {nullptr, 0, 0}};

TEST_F(EngineTest, FieldThatCannotBeLocatedDropsOnlyItsAttribute) {
  Add(TCTid, RawRecord(TCTid).Text(1009, "C001").Text(1008, "GRP").Text(406, "Link"));
  Run(kUnlocatedTable);

  const std::string failure =
      "Error 39: Internal table cross match (6/7) failed for field 503\n"
      "Error 0: Message: (nil), formatp failed\n";
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
    {1003, TDid, kKey, ByKind(kCopy), 0},
    {104, TDid, kKey, ByMap(kRejectAny), 0},
    {108, TDid, kKey, ByRange(kClearNumber), 0},
    kEnd,
};
constexpr DirFieldTrans kClearThenReject[] = {
    {1003, PDid, kKey, ByKind(kCopy), 0},
    {104, PDid, kKey, ByMap(kClearAny), 0},
    {108, PDid, kKey, ByRange(kRejectNumber), 0},
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
    {1003, TDid, kKey, ByKind(kCopy), 0},
    {108, TDid, kPriority, ByRange(kArithmetic), 0},
    kEnd,
};
constexpr DirFieldTrans kWideNumbers[] = {
    {1, RDid, kPriority, ByKind(kCopy), 0},
    {1, RDid, kClassMaxTasks, ByRange(kMillion), 0},
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

constexpr DirFieldTrans kKeys[] = {{1003, TDid, kKey, ByKind(kCopy), 0}, kEnd};
constexpr DirFieldTrans kSpreadGroup[] = {
    {1000, TDid, kGroupName, ByKind(kSpread), 0},
    {1000, FDid, kGroupName, ByKind(kSpread), 0},
    kEnd,
};
constexpr DirFieldTrans kKeysAndSpread[] = {
    {1003, TDid, kKey, ByKind(kCopy), 0},
    {1002, TDid, kPriority, ByKind(kSpread), 0},
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
    {300, FDid, kKey, ByKind(kCopy), 0},
    {1007, FDid, kTAVOPassword, ByKind(kPasswordReset), 0},
    {300, FDid, kListenerName, ByMap(CCTCPMap), 0},
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

// The printer field's codes: "LPT1" to "LPT5", then "PRN" and a NUL byte.
constexpr ValueMap kPrinters = {
    {Txt("p0"), Txt("p1"), Txt("p2"), Txt("p3"), Txt("p4"), Txt("p5"), Txt("other")}};
constexpr DirFieldTrans kPrinterRules[] = {
    {1009, WDid, kKey, ByKind(kCopy), 0},
    {403, WDid, kPriority, ByMap(kPrinters), 0},
    kEnd,
};
constexpr TTableRow kPrinterTable[] = {{kPrinterRules, TCTid, TCTid}, {nullptr, 0, 0}};

TEST_F(EngineTest, CodesCompareUpToTheirFirstNul) {
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

}  // namespace
