// One resource definition on its way into the command file: the checks that
// refuse or amend it, and the remarks and commands it is written as.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "admsa_tab.h"
#include "admsa_tran_record.h"
#include "admsa_tran_render.h"
#include "admsa_tran_verify.h"
#include "support/capture.h"

namespace {

using Attrs = std::vector<std::pair<const char*, const char*>>;

std::string Script(AttrToScript* r) { return RenderDefinition(*r, nullptr, false, nullptr); }

// A definition checked and, when it passes, written: its script ("refused" when
// it did not pass) and what the check logged.
struct Outcome {
  std::string script;
  std::string log;
};

Outcome Migrate(const char* name, int cls, const Attrs& attrs, const char* region = "REGION1") {
  AttrToScript r(name, cls, region);
  int result = 0;
  const Captured log = Capture([&] {
    for (const auto& a : attrs) r.Add(a.first, a.second);
    result = Verify(&r);
  });
  return {result == 1 ? Script(&r) : "refused", log.out};
}

}  // namespace

TEST(AttrToScriptTest, WritesRemarksThenAnAddLineAndTwoAttributesPerUpdateLine) {
  struct Case {
    const char* name;
    const char* resource;
    int cls;
    const char* region;
    Attrs attrs;
    std::string script;  // the whole script, or with `part` a part of it
    bool part;
  };
  const std::string rule = "\n@REM ----------------------------------------------\n";
  const std::string user = rule + "@REM User Definitions\n\n@REM U1:\n";
  const std::string add = "\ntavoadd -c ud -r R -P U1\n";
  const std::string update = "tavoupdate -c ud -r R -P U1  ";
  const std::string long_region(300, 'R');
  const std::string long_value(600, 'v');
  // clang-format off
  const Case cases[] = {
    {"program", "PROGA", PDid, "REGION1",
     {{"PathName", "\\\"proga\\\""}, {"ResourceDescription", "\\\"Sample program\\\""},
      {"Resident", "no"}},
     rule + "@REM Program Definitions\n\n@REM PROGA:\n"
     "@REM \tPathName=\"proga\"\n@REM \tResourceDescription=\"Sample program\"\n"
     "@REM \tResident=no\n\n"
     "tavoadd -c pd -r REGION1 -P PROGA\n"
     "tavoupdate -c pd -r REGION1 -P PROGA  PathName=\\\"proga\\\" "
     "\"ResourceDescription=\\\"Sample program\\\"\"\n"
     "tavoupdate -c pd -r REGION1 -P PROGA  Resident=no\n", false},
    {"region definition: neither name nor add line", "", RDid, "REGION1",
     {{"ResourceDescription", "\\\"Main region\\\""}, {"CWASize", "512"}, {"MaxServer", "5"}},
     rule + "@REM Region Definition\n"
     "@REM \tResourceDescription=\"Main region\"\n@REM \tCWASize=512\n@REM \tMaxServer=5\n\n"
     "tavoupdate -c rd -r REGION1 -P  \"ResourceDescription=\\\"Main region\\\"\" CWASize=512\n"
     "tavoupdate -c rd -r REGION1 -P  MaxServer=5\n", false},
    {"region definition without attributes", "", RDid, "REGION1", {}, "", false},
    {"no attribute", "U1", UDid, "R", {}, user + add, false},
    {"one attribute", "U1", UDid, "R", {{"A", "1"}},
     user + "@REM \tA=1\n" + add + update + "A=1\n", false},
    {"two attributes", "U1", UDid, "R", {{"A", "1"}, {"B", "2"}},
     user + "@REM \tA=1\n@REM \tB=2\n" + add + update + "A=1 B=2\n", false},
    {"three attributes", "U1", UDid, "R", {{"A", "1"}, {"B", "2"}, {"C", "3"}},
     add + update + "A=1 B=2\n" + update + "C=3\n", true},
    {"attribute, name and region with blanks quoted, not in the remarks", "MY LSN", LDid,
     "MY REGION", {{"Protocol", "TCP"}, {"GroupName", "a b"}},
     "@REM MY LSN:\n@REM \tProtocol=TCP\n@REM \tGroupName=a b\n\n"
     "tavoadd -c ld -r \"MY REGION\" -P \"MY LSN\"\n"
     "tavoupdate -c ld -r \"MY REGION\" -P \"MY LSN\"  Protocol=TCP \"GroupName=a b\"\n", true},
    {"quotes and backslashes of values escaped, not in the remarks", "G1", TDid, "R",
     {{"GroupName", "\\\"G\\\\\""}, {"ResourceDescription", "\\\"say \"hi\" now\\\""}},
     "@REM \tGroupName=\"G\\\"\n@REM \tResourceDescription=\"say \"hi\" now\"\n\n"
     "tavoadd -c td -r R -P G1\n"
     "tavoupdate -c td -r R -P G1  GroupName=\\\"G\\\\\\\" "
     "\"ResourceDescription=\\\"say \\\"hi\\\" now\\\"\"\n", true},
    {"only the lines holding a % or the like escaped", "U1", UDid, "R",
     {{"A", "50%"}, {"B", "\\\"x\\\""}, {"C", "y"}},
     "@REM \tA=50%%\n@REM \tB=\"x\"\n@REM \tC=y\n" + add + update + "A=50%% B=\\^\"x\\^\"\n" +
     update + "C=y\n", true},
    {"trailing blanks dropped", "P1", PDid, "REGION1", {{"Resident", "no   "}, {"ProgType", "   "}},
     "P1  Resident=no ProgType=\n", true},
    {"long lines whole", "P1", PDid, long_region.c_str(), {{"PathName", long_value.c_str()}},
     "\ntavoadd -c pd -r " + long_region + " -P P1\ntavoupdate -c pd -r " + long_region +
     " -P P1  PathName=" + long_value + "\n", true},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Outcome o = Migrate(c.resource, c.cls, c.attrs, c.region);
    EXPECT_EQ("", o.log) << c.name;
    if (c.part) {
      EXPECT_TRUE(Has(o.script, c.script)) << c.name << "\n" << o.script;
    } else {
      EXPECT_EQ(c.script, o.script) << c.name;
    }
  }
}

TEST(AttrToScriptTest, DropsAndNamesAttributesBeyondTheThirtySecond) {
  Attrs attrs;
  std::vector<std::string> names;
  for (int i = 1; i <= 34; ++i) names.push_back("A" + std::to_string(i));
  for (const std::string& name : names) attrs.push_back({name.c_str(), "x"});
  const Outcome o = Migrate("T1", TSDid, attrs);
  EXPECT_EQ(
      " .... resource 'T1' has more than 32 attributes; 'A33=x' is not migrated\n"
      " .... resource 'T1' has more than 32 attributes; 'A34=x' is not migrated\n",
      o.log);
  EXPECT_TRUE(Has(o.script, "  A31=x A32=x\n"));
  EXPECT_FALSE(Has(o.script, "A33"));
}

TEST(AttrToScriptTest, UnknownClassMakesAnUnusableRecord) {
  for (int cls : {-1, static_cast<int>(LSTid)}) {
    AttrToScript r("X", cls, "REGION1");
    r.Add("Resident", "no");
    EXPECT_EQ(0, r.initok()) << cls;
    EXPECT_EQ(0, Verify(&r)) << cls;
    EXPECT_EQ("", Script(&r)) << cls;
  }
  EXPECT_EQ(0, AttrToScript(nullptr, PDid, "REGION1").initok());
  EXPECT_EQ(0, AttrToScript("P1", PDid, nullptr).initok());
}

// Each row a definition checked and, when it passes, written: what the check logs
// and a part of the script (null when the definition is refused).
TEST(VerifyTest, RefusesOrAmendsDefinitionsByClass) {
  struct Case {
    const char* name;
    const char* resource;
    int cls;
    Attrs attrs;
    std::string log;
    const char* written;
  };
  // The last of the supplied transactions, so that a search that stops early shows.
  const std::string supplied = TD_DeleteTransIds[kDeleteTransCount - 1];
  const std::string lower = {supplied[0], supplied[1], static_cast<char>(supplied[2] + 'a' - 'A'),
                             supplied[3]};
  const std::string longer = supplied + "X";
  const std::string shorter = supplied.substr(0, 3);
  const std::string unwritable =
      "' holds characters that cannot be written to a command file, and is not migrated\n";
  const Attrs queue = {{"TriggerLevel", "5"}, {"RecordLen", "80"}};
  // clang-format off
  const Case cases[] = {
    {"supplied transaction", supplied.c_str(), TDid,
     {{"ProgName", "P"}, {"ResourceDescription", "\\\"x y\\\""}},
     " .... resource '" + supplied + "' is a Version 2.0 supplied transaction, and is not "
     "migrated\n      > (ResourceDescription=\"x y\")\n", nullptr},
    {"supplied name in lower case", lower.c_str(), TDid, {}, "", "tavoadd"},
    {"supplied name and more", longer.c_str(), TDid, {}, "", "tavoadd"},
    {"part of a supplied name", shorter.c_str(), TDid, {}, "", "tavoadd"},

    {"system file", "QVBFILE", FDid, {},
     " .... resource 'QVBFILE'is a Version 2.0 system file, and is not migrated\n", nullptr},
    {"system program", "QVBPROG", PDid, {{"ResourceDescription", "\\\"Order entry\\\""}},
     " .... resource 'QVBPROG' is a Version 2.0 system program, and is not migrated\n"
     "      > (ResourceDescription=\"Order entry\")\n", nullptr},
    {"file prefix in lower case", "qvbfile", FDid, {}, "", "tavoadd"},
    {"program prefix in lower case", "qvbprog", PDid, {}, "", "tavoadd"},
    {"file named part of the prefix", "QV", FDid, {}, "", "tavoadd"},
    {"program named part of the prefix", "QV", PDid, {}, "", "tavoadd"},
    {"file with the prefix inside", "XQVB", FDid, {}, "", "tavoadd"},
    {"program with the prefix inside", "XQVB", PDid, {}, "", "tavoadd"},

    {"system queue", "QMSG", TDDid, {{"DestType", "intrapartition"}},
     " .... resource 'QMSG' is a TAVO system resource, and is not migrated\n", nullptr},
    {"system queue name in lower case", "qmsg", TDDid, {{"DestType", "intrapartition"}}, "",
     "tavoadd"},

    {"extrapartition queue loses its trigger level", "Q1", TDDid,
     {{"DestType", "extrapartition"}, queue[0], queue[1]}, "",
     "  DestType=extrapartition RecordLen=80\n"},
    {"remote queue loses its trigger level", "Q1", TDDid,
     {{"DestType", "remote"}, queue[0], queue[1]}, "", "  DestType=remote RecordLen=80\n"},
    {"indirect queue loses its trigger level", "Q1", TDDid,
     {{"DestType", "indirect"}, queue[0], queue[1]}, "", "  DestType=indirect RecordLen=80\n"},
    {"queue type compared exactly", "Q1", TDDid,
     {{"DestType", "Intrapartition"}, queue[0], queue[1]}, "",
     "  DestType=Intrapartition RecordLen=80\n"},
    {"intrapartition queue keeps its trigger level", "Q1", TDDid,
     {{"DestType", "intrapartition"}, queue[0]}, "", "  DestType=intrapartition TriggerLevel=5\n"},
    {"queue of no type keeps its trigger level", "Q1", TDDid, {queue[0]}, "", "  TriggerLevel=5\n"},

    // The net name is found whatever the case of its attribute, and reset where it stands.
    {"net name conflicting with the model", "T001", WDid,
     {{"netname", "\\\"LU01\\\""}, {"ModelId", "\\\"M1\\\""},
      {"ResourceDescription", "\\\"Desk\\\""}},
     " .... resource 'T001': 'ModelId=\\\"M1\\\"' conflicts with 'netname=\\\"LU01\\\"'\n"
     "      > NetName value reset to \"\"\n      > (ResourceDescription=\"Desk\")\n",
     "T001  NetName=\\\"\\\" ModelId=\\\"M1\\\"\n"},
    {"quoted empty net name is a value", "T002", WDid, {{"ModelId", "M"}, {"NetName", "\\\"\\\""}},
     " .... resource 'T002': 'ModelId=M' conflicts with 'NetName=\\\"\\\"'\n"
     "      > NetName value reset to \"\"\n", "T002  ModelId=M NetName=\\\"\\\"\n"},
    {"model without net name", "T1", WDid, {{"ModelId", "M"}}, "", "  ModelId=M\n"},
    {"model with empty net name", "T1", WDid, {{"ModelId", "M"}, {"NetName", ""}}, "",
     "  ModelId=M NetName=\n"},
    {"net name without model", "T1", WDid, {{"NetName", "L"}}, "", "  NetName=L\n"},

    {"tab in a description", "TRN1", TDid, {{"ResourceDescription", "\\\"Tab\there\\\""}},
     " .... resource 'TRN1" + unwritable + "      > (ResourceDescription=\"Tab?here\")\n", nullptr},
    {"line break in a value", "PROG1", PDid,
     {{"ResourceDescription", "\\\"x\\\""}, {"PathName", "a\r\nrd /s c:\\"}},
     " .... resource 'PROG1" + unwritable + "      > (ResourceDescription=\"x\")\n", nullptr},
    {"line feed in a name", "Q\n1", TDDid, {{"DestType", "intrapartition"}},
     " .... resource 'Q?1" + unwritable, nullptr},
    {"delete character", "USR\x7f", UDid, {{"ResourceDescription", "\\\"del\x7f\x01\\\""}},
     " .... resource 'USR?" + unwritable + "      > (ResourceDescription=\"del??\")\n", nullptr},
    // Refused for its characters, not as the system queue: one reason only.
    {"system queue with a control character", "QMSG", TDDid,
     {{"ResourceDescription", "\\\"sys\x1b\\\""}},
     " .... resource 'QMSG" + unwritable + "      > (ResourceDescription=\"sys?\")\n", nullptr},
    {"region definition shown by its region", "", RDid, {{"MaxServer", "5\x1a"}},
     " .... resource 'REGION1" + unwritable, nullptr},
    {"bytes above 127 and special characters", "CAF\xc3\x89", TDid,
     {{"ResourceDescription", "\\\"Caf\xc3\xa9 & bar \xff\\\""}}, "", "tavoadd"},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Outcome o = Migrate(c.resource, c.cls, c.attrs);
    EXPECT_EQ(c.log, o.log) << c.name;
    if (c.written == nullptr) {
      EXPECT_EQ("refused", o.script) << c.name;
    } else {
      EXPECT_TRUE(Has(o.script, c.written)) << c.name << "\n" << o.script;
    }
  }
}

// The commands take the word after -P for the name: without one, the first
// attribute would name the resource.
TEST(VerifyTest, DefinitionWithoutANameIsRefusedInEveryClassButTheRegion) {
  for (int cls = WDid; cls < RDid; ++cls) {
    const Outcome o = Migrate("", cls, {{"ResourceDescription", "\\\"no name\\\""}});
    EXPECT_EQ("refused", o.script) << StanzaName[cls];
    EXPECT_EQ(
        " .... a resource without a name is not migrated\n"
        "      > (ResourceDescription=\"no name\")\n",
        o.log)
        << StanzaName[cls];
  }
  EXPECT_NE("refused", Migrate("", RDid, {{"MaxServer", "5"}}).script);
}
