#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "admsa_fm.h"
#include "admsa_supp.h"
#include "admsa_tab.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_script.h"
#include "defshiftcore.h"
#include "support/capture.h"
#include "support/interpreter_model.h"

namespace {

using Attrs = std::vector<std::pair<const char*, const char*>>;

// Lines holding characters that the interpreter reads.
const char* const kSpecial[] = {
    "tavoupdate -c td -r R -P T  \"ResourceDescription=\\\"Sales & Marketing\\\"\"",
    "tavoupdate -c td -r R -P T  Priority=5 ResourceDescription=\\\"Sales & Marketing\\\"",
    "tavoadd -c pd -r R -P A&B",
    "tavoadd -c pd -r R -P A|B",
    "tavoadd -c pd -r R -P A<B",
    "tavoadd -c pd -r R -P A>B",
    "tavoadd -c pd -r R -P A^B",
    "tavoadd -c pd -r R -P A%B",
    "tavoupdate -c td -r R -P T  X=%PATH%",
    "tavoupdate -c td -r R -P T  X=%1",
    "tavoupdate -c td -r R -P T  X=%~dp0",
    "tavoupdate -c td -r R -P T  X=100%",
    "tavoupdate -c td -r R -P T  X=%%",
    "tavoupdate -c td -r R -P T  X=endsin^",
    "tavoupdate -c td -r R -P T  X=^^^",
    "tavoupdate -c td -r R -P T  \"X=\\\"(a) & b\\\"\" Y=c|d<e>f",
    "tavoupdate -c td -r R -P T  X=\"a & b\" & \"c\"",
    "tavoupdate -c td -r R -P T  X=\"unbalanced & quote",
    "tavoupdate -c td -r R -P T  X=a\"b\"c%d^e&f|g<h>i(j)k",
    "@REM \tResourceDescription=\"Sales & Marketing\"",
    "@REM \tResourceDescription=\"%PATH% (100%)\"",
    "@REM \tResourceDescription=\"a|b <in >out\"",
    "@REM \tGroupName=\"G^\"",
    "@REM \tX=^",
    "@REM TR%1:",
    "@REM  the permanent database for region 'A&B' with the resource definitions",
    "@REM  the permanent database for region '%COMSPEC%' with the resource definitions",
};

// Lines that the interpreter reads as written: they stay byte for byte.
const char* const kPlain[] = {
    "",
    "@REM ----------------------------------------------",
    "@ECHO Copyright (C) 2026 The defshift developers. All rights reserved.",
    "tavoadd -c pd -r REGION1 -P PROGA",
    "tavoupdate -c pd -r REGION1 -P PROGA  PathName=\\\"proga\\\" "
    "\"ResourceDescription=\\\"Sample program\\\"\"",
    "@REM \tResourceDescription=\"Plain (ok) \"quoted\"\"",
    "tavoupdate -c td -r R -P T  X=\"unbalanced (quote",
    "tavoupdate -c td -r R -P T  X=caf\xc3\xa9 Y=\xff!",
};

TEST(ScriptEscapeTest, InterpreterHandsOnExactlyTheUnescapedLine) {
  for (const char* line : kSpecial) {
    const std::string escaped = ScriptEscape(line);
    std::string handed;
    std::string why;
    ASSERT_TRUE(Interpret(escaped, &handed, &why)) << line << "\n" << escaped << "\n" << why;
    EXPECT_EQ(line, handed) << escaped;
  }
}

// The model must see what the interpreter does with such lines unescaped, or the
// checks above prove nothing.
TEST(ScriptEscapeTest, UnescapedLinesAreActedOn) {
  const char* const acted_on[] = {
      kSpecial[0],  // the \" of the value ends the quotes around the attribute
      "tavoadd -c pd -r R -P A|B",
      "tavoadd -c pd -r R -P A>B",
      "tavoupdate -c td -r R -P T  X=%PATH%",
      "tavoupdate -c td -r R -P T  X=endsin^",
      "@REM TR%1:",
  };
  for (const char* line : acted_on) {
    std::string handed;
    std::string why;
    EXPECT_FALSE(Interpret(line, &handed, &why)) << line;
  }
  std::string handed;
  std::string why;
  ASSERT_TRUE(Interpret("tavoadd -c pd -r R -P A^B", &handed, &why));
  EXPECT_EQ("tavoadd -c pd -r R -P AB", handed);
}

TEST(ScriptEscapeTest, LinesWithoutSpecialCharactersStayAsComposed) {
  for (const char* line : kPlain) {
    EXPECT_EQ(line, ScriptEscape(line));
    std::string handed;
    std::string why;
    ASSERT_TRUE(Interpret(line, &handed, &why)) << line << "\n" << why;
    EXPECT_EQ(line, handed);
  }
}

TEST(ScriptEscapeTest, EscapesEveryCharacterOfALineThatNeedsIt) {
  EXPECT_EQ("^\"a^&b^\" ^(x^) %%1%% ^^", ScriptEscape("\"a&b\" (x) %1% ^"));
  EXPECT_EQ("@REM TR%%1:", ScriptEscape("@REM TR%1:"));
}

TEST(ControlCharacterTest, FindsAndShowsEveryControlByte) {
  for (int b = 1; b < 256; ++b) {
    const char text[] = {'a', static_cast<char>(b), 'z', '\0'};
    const bool control = b < 32 || b == 127;
    EXPECT_EQ(control, HoldsControlCharacter(text)) << b;
    EXPECT_EQ(control ? "a?z" : std::string(text), ShowControlCharacters(text)) << b;
  }
  EXPECT_FALSE(HoldsControlCharacter(nullptr));
  EXPECT_EQ("", ShowControlCharacters(nullptr));
}

struct Refusal {
  const char* name;
  int cls;
  Attrs attrs;
  const char* shown;        // the name in the log line
  const char* description;  // the description line, or null
};

TEST(AttrToScriptTest, RefusesDefinitionsHoldingControlCharacters) {
  const Refusal refusals[] = {
      {"TRN1",
       TDid,
       {{"ResourceDescription", "\\\"Tab\there\\\""}},
       "TRN1",
       "ResourceDescription=\"Tab?here\""},
      {"PROG1",
       PDid,
       {{"ResourceDescription", "\\\"x\\\""}, {"PathName", "a\r\nrd /s c:\\"}},
       "PROG1",
       "ResourceDescription=\"x\""},
      {"Q\n1", TDDid, {{"DestType", "intrapartition"}}, "Q?1", nullptr},
      {"USR\x7f",
       UDid,
       {{"ResourceDescription", "\\\"del\x7f\x01\\\""}},
       "USR?",
       "ResourceDescription=\"del??\""},
      // Refused for its characters, not as the system queue: one reason only.
      {"QMSG",
       TDDid,
       {{"ResourceDescription", "\\\"sys\x1b\\\""}},
       "QMSG",
       "ResourceDescription=\"sys?\""},
      {"", RDid, {{"MaxServer", "5\x1a"}}, "REGION1", nullptr},
  };
  for (const Refusal& r : refusals) {
    AttrToScript record(r.name, r.cls, "REGION1");
    for (const auto& a : r.attrs) record.Add(a.first, a.second);
    const Captured captured = Capture([&] { EXPECT_EQ(0, record.Verify()) << r.shown; });
    std::string log = std::string(" .... resource '") + r.shown +
                      "' holds characters that cannot be written to a command file, and is not "
                      "migrated\n";
    if (r.description != nullptr) log += std::string("      > (") + r.description + ")\n";
    EXPECT_EQ(log, captured.out);
  }
  // Bytes above 127, blanks and the interpreter's special characters are all
  // written safely.
  AttrToScript record("CAF\xc3\x89", TDid, "REGION1");
  record.Add("ResourceDescription", "\\\"Caf\xc3\xa9 & bar \xff\\\"");
  const Captured captured = Capture([&] { EXPECT_EQ(1, record.Verify()); });
  EXPECT_EQ("", captured.out);
}

ListBP* Definition(const Attrs& pairs) {
  ListBP* definition = new ListBP;
  for (const auto& p : pairs) {
    BPair* pair = new BPair;
    pair->one.setstr(p.first);
    pair->two.setstr(p.second);
    definition->add(pair);
  }
  return definition;
}

TEST(CommandFileTest, FullDiskFailsTheCloseAndIsReportedOnce) {
  // The header alone stays in the stream's buffer until the close; hundreds of
  // definitions make writes fail while the definitions are written.
  for (const int definitions : {0, 400}) {
    Forcfg cfg;
    for (int i = 0; i < definitions; ++i) {
      cfg.add(PDid, Definition({{"_Key", "PROGRAM1"}, {"ResourceDescription", "\\\"a b\\\""}}));
    }
    HumanFile store("/dev/full", "REGION1");
    int opened = -2;
    int closed = -2;
    const Captured captured = Capture([&] {
      opened = store.openoutfile();
      store.GenerateCommandScript(&cfg);
      closed = store.closefile();
    });
    EXPECT_EQ(0, opened) << definitions;
    EXPECT_EQ(-1, closed) << definitions;
    EXPECT_EQ(0, store.getstatus());
    EXPECT_EQ("Error 3: Failed to close file /dev/full (28)\n", captured.err) << definitions;
    EXPECT_EQ(std::string::npos, captured.out.find("generated command file")) << definitions;
    if (definitions != 0) {
      EXPECT_NE(std::string::npos, captured.out.find("      400 records checked, 400 migrated\n"));
    }
  }
}

TEST(TransmainTest, RefusesUnwritableRegionBeforeReadingAnything) {
  const std::string too_long(kMaxRegionLength + 1, 'R');
  const std::pair<std::string, std::string> regions[] = {
      {"REG\nION", "Region 'REG?ION' holds characters that cannot be written to a command file\n"},
      {"REG\r", "Region 'REG?' holds characters that cannot be written to a command file\n"},
      {"\tREG\x7f", "Region '?REG?' holds characters that cannot be written to a command file\n"},
      {too_long, "Region name of 2049 characters is too long for a command file (at most 2048)\n"},
  };
  for (const auto& r : regions) {
    char inf[] = "NOSUCH";
    const std::string out_path = TempPath("refused.cmd");
    std::vector<char> outf(out_path.begin(), out_path.end());
    outf.push_back('\0');
    std::vector<char> region(r.first.begin(), r.first.end());
    region.push_back('\0');
    AdmSAMigrationData md{inf, outf.data(), nullptr, region.data(), 1 | 2 | 8};
    int rc = 0;
    const Captured captured = Capture([&] { rc = transmain(&md); });
    EXPECT_EQ(-1, rc) << r.second;
    EXPECT_EQ(r.second, captured.out);
    EXPECT_EQ("Error 29: No conversion performed.\n", captured.err);
    EXPECT_EQ("", ReadFile(out_path)) << r.second;
  }
}

}  // namespace
