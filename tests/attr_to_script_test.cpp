#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "admsa_tab.h"
#include "admsa_tran_script.h"

namespace {

using Attrs = std::vector<std::pair<const char*, const char*>>;

std::string Script(AttrToScript* r) {
  FILE* f = std::tmpfile();
  if (f == nullptr) return "no temporary file";
  r->CreateScript(f);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  std::fclose(f);
  return text;
}

// A definition checked and, when it passes, written: its script ("refused" when
// it did not pass) and what the check logged.
struct Outcome {
  std::string script;
  std::string log;
};

Outcome Migrate(const char* name, int cls, const Attrs& attrs, const char* region = "REGION1") {
  AttrToScript r(name, cls, region);
  testing::internal::CaptureStdout();
  for (const auto& a : attrs) r.Add(a.first, a.second);
  const int result = r.Verify();
  std::string log = testing::internal::GetCapturedStdout();
  return {result == 1 ? Script(&r) : "refused", log};
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(AttrToScriptTest, WritesProgramAsRemarksThenCommands) {
  EXPECT_EQ(
      "\n"
      "@REM ----------------------------------------------\n"
      "@REM Program Definitions\n"
      "\n"
      "@REM PROGA:\n"
      "@REM \tPathName=\"proga\"\n"
      "@REM \tResourceDescription=\"Sample program\"\n"
      "@REM \tResident=no\n"
      "\n"
      "tavoadd -c pd -r REGION1 -P PROGA\n"
      "tavoupdate -c pd -r REGION1 -P PROGA  PathName=\\\"proga\\\" "
      "\"ResourceDescription=\\\"Sample program\\\"\"\n"
      "tavoupdate -c pd -r REGION1 -P PROGA  Resident=no\n",
      Migrate("PROGA", PDid,
              {{"PathName", "\\\"proga\\\""},
               {"ResourceDescription", "\\\"Sample program\\\""},
               {"Resident", "no"}})
          .script);
}

TEST(AttrToScriptTest, RegionDefinitionHasNeitherNameNorAddLine) {
  EXPECT_EQ(
      "\n"
      "@REM ----------------------------------------------\n"
      "@REM Region Definition\n"
      "@REM \tResourceDescription=\"Main region\"\n"
      "@REM \tCWASize=512\n"
      "@REM \tMaxServer=5\n"
      "\n"
      "tavoupdate -c rd -r REGION1 -P  \"ResourceDescription=\\\"Main region\\\"\" CWASize=512\n"
      "tavoupdate -c rd -r REGION1 -P  MaxServer=5\n",
      Migrate(
          "", RDid,
          {{"ResourceDescription", "\\\"Main region\\\""}, {"CWASize", "512"}, {"MaxServer", "5"}})
          .script);
  EXPECT_EQ("", Migrate("", RDid, {}).script);
}

TEST(AttrToScriptTest, PutsTwoAttributesOnEachUpdateLine) {
  const std::string head =
      "\n@REM ----------------------------------------------\n"
      "@REM User Definitions\n\n@REM U1:\n";
  const std::string add = "\ntavoadd -c ud -r R -P U1\n";
  const std::string update = "tavoupdate -c ud -r R -P U1  ";
  EXPECT_EQ(head + add, Migrate("U1", UDid, {}, "R").script);
  EXPECT_EQ(head + "@REM \tA=1\n" + add + update + "A=1\n",
            Migrate("U1", UDid, {{"A", "1"}}, "R").script);
  EXPECT_EQ(head + "@REM \tA=1\n@REM \tB=2\n" + add + update + "A=1 B=2\n",
            Migrate("U1", UDid, {{"A", "1"}, {"B", "2"}}, "R").script);
  EXPECT_TRUE(Has(Migrate("U1", UDid, {{"A", "1"}, {"B", "2"}, {"C", "3"}}, "R").script,
                  add + update + "A=1 B=2\n" + update + "C=3\n"));
}

TEST(AttrToScriptTest, QuotesAttributesWithBlanksButNeverNames) {
  const std::string script =
      Migrate("MY LSN", LDid, {{"Protocol", "TCP"}, {"GroupName", "a b"}}, "MY REGION").script;
  EXPECT_TRUE(Has(script, "\ntavoadd -c ld -r MY REGION -P MY LSN\n")) << script;
  EXPECT_TRUE(Has(script,
                  "\ntavoupdate -c ld -r MY REGION -P MY LSN  Protocol=TCP "
                  "\"GroupName=a b\"\n"))
      << script;
  EXPECT_TRUE(Has(script, "@REM \tGroupName=a b\n")) << script;
}

TEST(AttrToScriptTest, StoresAttributesWithoutTrailingBlanks) {
  EXPECT_TRUE(Has(Migrate("P1", PDid, {{"Resident", "no   "}, {"ProgType", "   "}}).script,
                  "P1  Resident=no ProgType=\n"));
}

TEST(AttrToScriptTest, ComposesLongLinesWhole) {
  const std::string region(300, 'R');
  const std::string value(600, 'v');
  const std::string script =
      Migrate("P1", PDid, {{"PathName", value.c_str()}}, region.c_str()).script;
  EXPECT_TRUE(Has(script, "\ntavoadd -c pd -r " + region + " -P P1\n"));
  EXPECT_TRUE(Has(script, "\ntavoupdate -c pd -r " + region + " -P P1  PathName=" + value + "\n"));
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
    EXPECT_EQ(0, r.Verify()) << cls;
    EXPECT_EQ("", Script(&r)) << cls;
  }
  EXPECT_EQ(0, AttrToScript(nullptr, PDid, "REGION1").initok());
  EXPECT_EQ(0, AttrToScript("P1", PDid, nullptr).initok());
}

TEST(VerifyTest, SuppliedTransactionsAreRefusedOnlyByTheirExactName) {
  std::set<std::string> ids;
  for (int i = 0; i < kDeleteTransCount; ++i) {
    ASSERT_NE(nullptr, TD_DeleteTransIds[i]) << i;
    EXPECT_EQ(4u, std::strlen(TD_DeleteTransIds[i])) << TD_DeleteTransIds[i];
    ids.insert(TD_DeleteTransIds[i]);
  }
  EXPECT_EQ(static_cast<size_t>(kDeleteTransCount), ids.size());
  EXPECT_EQ(nullptr, TD_DeleteTransIds[kDeleteTransCount]);

  const std::string id = TD_DeleteTransIds[kDeleteTransCount - 1];
  const Outcome refused =
      Migrate(id.c_str(), TDid, {{"ProgName", "P"}, {"ResourceDescription", "\\\"x y\\\""}});
  EXPECT_EQ("refused", refused.script);
  EXPECT_EQ(" .... resource '" + id +
                "' is a Version 2.0 supplied transaction, and is not migrated\n"
                "      > (ResourceDescription=\"x y\")\n",
            refused.log);
  const std::string lower = {id[0], id[1], static_cast<char>(id[2] + 'a' - 'A'), id[3]};
  for (const std::string& name : {id + "X", id.substr(0, 3), lower}) {
    const Outcome migrated = Migrate(name.c_str(), TDid, {});
    EXPECT_NE("refused", migrated.script) << name;
    EXPECT_EQ("", migrated.log) << name;
  }
}

TEST(VerifyTest, SystemFilesAndProgramsAreKnownByUpperCasePrefix) {
  EXPECT_EQ(" .... resource 'QVBFILE'is a Version 2.0 system file, and is not migrated\n",
            Migrate("QVBFILE", FDid, {}).log);
  const Outcome program =
      Migrate("QVBPROG", PDid, {{"ResourceDescription", "\\\"Order entry\\\""}});
  EXPECT_EQ("refused", program.script);
  EXPECT_EQ(
      " .... resource 'QVBPROG' is a Version 2.0 system program, and is not migrated\n"
      "      > (ResourceDescription=\"Order entry\")\n",
      program.log);
  for (int cls : {FDid, PDid}) {
    for (const char* name : {"qvbfile", "QV", "XQVB"}) {
      const Outcome migrated = Migrate(name, cls, {});
      EXPECT_NE("refused", migrated.script) << name;
      EXPECT_EQ("", migrated.log) << name;
    }
  }
}

TEST(VerifyTest, SystemQueueIsRefusedByItsExactName) {
  const Outcome refused = Migrate("QMSG", TDDid, {{"DestType", "intrapartition"}});
  EXPECT_EQ("refused", refused.script);
  EXPECT_EQ(" .... resource 'QMSG' is a TAVO system resource, and is not migrated\n", refused.log);
  EXPECT_NE("refused", Migrate("qmsg", TDDid, {{"DestType", "intrapartition"}}).script);
}

TEST(VerifyTest, TriggerLevelStaysOnlyWithIntrapartitionQueues) {
  for (const char* type : {"extrapartition", "remote", "indirect", "Intrapartition"}) {
    const Outcome o =
        Migrate("Q1", TDDid, {{"DestType", type}, {"TriggerLevel", "5"}, {"RecordLen", "80"}});
    EXPECT_FALSE(Has(o.script, "TriggerLevel")) << type;
    EXPECT_TRUE(Has(o.script, "  DestType=" + std::string(type) + " RecordLen=80\n")) << type;
    EXPECT_EQ("", o.log) << type;
  }
  EXPECT_TRUE(
      Has(Migrate("Q1", TDDid, {{"DestType", "intrapartition"}, {"TriggerLevel", "5"}}).script,
          "  DestType=intrapartition TriggerLevel=5\n"));
  EXPECT_TRUE(Has(Migrate("Q1", TDDid, {{"TriggerLevel", "5"}}).script, "  TriggerLevel=5\n"));
}

TEST(VerifyTest, NetNameConflictingWithModelIdIsResetInPlace) {
  // Lookup ignores case: netname is the terminal's NetName.
  const Outcome o = Migrate("T001", WDid,
                            {{"netname", "\\\"LU01\\\""},
                             {"ModelId", "\\\"M1\\\""},
                             {"ResourceDescription", "\\\"Front desk\\\""}});
  EXPECT_EQ(
      " .... resource 'T001': 'ModelId=\\\"M1\\\"' conflicts with 'netname=\\\"LU01\\\"'\n"
      "      > NetName value reset to \"\"\n"
      "      > (ResourceDescription=\"Front desk\")\n",
      o.log);
  EXPECT_TRUE(Has(o.script, "@REM \tNetName=\"\"\n@REM \tModelId=\"M1\"\n"));
  EXPECT_TRUE(Has(o.script, "T001  NetName=\\\"\\\" ModelId=\\\"M1\\\"\n"));
  EXPECT_FALSE(Has(o.script, "LU01"));

  // The quoted empty value is a value like any other.
  EXPECT_EQ(
      " .... resource 'T002': 'ModelId=M' conflicts with 'NetName=\\\"\\\"'\n"
      "      > NetName value reset to \"\"\n",
      Migrate("T002", WDid, {{"ModelId", "M"}, {"NetName", "\\\"\\\""}}).log);
}

TEST(VerifyTest, TerminalsWithoutConflictAreLeftAlone) {
  const Attrs cases[] = {
      {{"ModelId", "M"}}, {{"ModelId", "M"}, {"NetName", ""}}, {{"NetName", "L"}}};
  for (const Attrs& attrs : cases) {
    const Outcome o = Migrate("T1", WDid, attrs);
    EXPECT_EQ("", o.log) << attrs.back().first;
    EXPECT_TRUE(Has(o.script, std::string(attrs.back().first) + "=" + attrs.back().second + "\n"))
        << o.script;
  }
}
