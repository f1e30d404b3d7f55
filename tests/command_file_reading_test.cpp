// The reading of command files by which the fuzzer judges every kind of file
// the writer makes: the files of one set of definitions read alike, and a
// file with a fault of the kind a writer could make is not taken.
#include "support/command_file_reading.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "admsa_fm.h"
#include "admsa_journal.h"
#include "admsa_supp.h"
#include "admsa_tab.h"
#include "support/capture.h"

namespace {

using Attrs = std::vector<std::pair<const char*, const char*>>;

const std::string kRegion = "REG 1";

ListBP* Definition(Forcfg* cfg, const Attrs& pairs) {
  ListBP* definition = cfg->NewDefinition();
  for (const auto& p : pairs) {
    definition->add(cfg->NewPair(p.first, p.second, std::strlen(p.second)));
  }
  return definition;
}

// Three definitions whose texts hold what needs quoting and escaping, one of
// them with attributes enough for several packed lines.
class CommandFileReadingTest : public testing::Test {
 protected:
  CommandFileReadingTest() {
    cfg_.add(TDid, Definition(&cfg_, {{"_Key", "OR&D"},
                                      {"ProgName", "ORDPGM"},
                                      {"ResourceDescription", "\\\"Orders 100% (new)\\\""},
                                      {"GroupName", "\\\"A|B\\\""}}));
    static const std::string long_value(700, 'x');
    cfg_.add(PDid, Definition(&cfg_, {{"_Key", "ORDPGM"},
                                      {"PathName", long_value.c_str()},
                                      {"ResourceDescription", "\\\"say \\\\\"hi\\\\\" ^\\\""},
                                      {"Resident", "no"},
                                      {"UserExitNumber", long_value.c_str()},
                                      {"GroupName", "G"}}));
    cfg_.add(RDid,
             Definition(&cfg_, {{"ResourceDescription", "\\\"Region\\\""}, {"StartType", "cold"}}));
  }

  // The file written with the options given, as its text.
  std::string Write(bool checks, Journal* journal, bool packs) {
    HumanFile store("migrate.cmd", region_.c_str());
    store.setchecks(checks);
    if (journal != nullptr) store.setjournal(journal, "migrate.jnl");
    store.setpacking(packs);
    FILE* stream = TempStream();
    if (stream == nullptr) {
      ADD_FAILURE() << "no temporary file";
      return "";
    }
    std::string text;
    Capture([&] {
      EXPECT_EQ(0, store.openoutstream(stream));
      store.GenerateCommandScript(&cfg_);
      EXPECT_EQ(0, store.closefile());
    });
    std::rewind(stream);
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, stream)) > 0) text.append(block, n);
    std::fclose(stream);
    return text;
  }

  // What reading Text as Kind finds wrong ("" for nothing), the file in *rFile.
  std::string Read(const std::string& Text, bool checked, bool journaled,
                   CommandFileRead* rFile) const {
    FileKind kind;
    kind.checked = checked;
    kind.journaled = journaled;
    return ReadCommandFile(Text, region_, kind, rFile);
  }

  Forcfg cfg_;
  std::string region_ = kRegion;
};

// Text with the first occurrence of From after the header replaced by To.
std::string Replaced(std::string Text, const std::string& From, const std::string& To) {
  const size_t at = Text.find(From, Text.find("@REM ---"));
  EXPECT_NE(std::string::npos, at) << From;
  if (at != std::string::npos) Text.replace(at, From.size(), To);
  return Text;
}

// The number of the first line of Text that begins with Start, from 1.
long LineOf(const std::string& Text, const std::string& Start) {
  long number = 1;
  for (size_t at = 0; at < Text.size(); at = Text.find('\n', at) + 1, ++number) {
    if (Text.compare(at, Start.size(), Start) == 0) return number;
    if (Text.find('\n', at) == std::string::npos) break;
  }
  ADD_FAILURE() << Start;
  return 0;
}

TEST_F(CommandFileReadingTest, EveryKindGivesTheProgramsWhatThePlainFileGives) {
  CommandFileRead plain;
  ASSERT_EQ("", Read(Write(false, nullptr, false), false, false, &plain));
  ASSERT_EQ(3u, plain.definitions.size());
  const struct {
    bool checks;
    bool journaled;
    bool packs;
  } kinds[] = {{true, false, false},
               {false, false, true},
               {true, false, true},
               {true, true, false},
               {true, true, true}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(testing::Message() << kind.checks << kind.journaled << kind.packs);
    Journal empty;
    CommandFileRead other;
    const std::string text = Write(kind.checks, kind.journaled ? &empty : nullptr, kind.packs);
    ASSERT_EQ("", Read(text, kind.checks, kind.journaled, &other));
    EXPECT_EQ("", CompareWithPlain(plain, other, kind.packs));
    if (kind.packs) {
      EXPECT_LT(other.commands.size(), plain.commands.size());
      // Read as if it were not packed, it is another file.
      EXPECT_NE("", CompareWithPlain(plain, other, false));
    }
  }
}

TEST_F(CommandFileReadingTest, JournaledFileLeavesOutExactlyTheCommandsHeld) {
  Journal empty;
  CommandFileRead whole;
  ASSERT_EQ("", Read(Write(true, &empty, false), true, true, &whole));
  // The journal of a run in which the first command and the whole program
  // definition passed.
  std::string lines;
  const DefinitionRead& program = whole.definitions[1];
  for (size_t c : {size_t{0}}) {
    lines += kJournalTag;
    AppendDigits(whole.commands[c].print, &lines);
    lines += "\r\n";
  }
  for (size_t c = program.first; c < program.first + program.count; ++c) {
    lines += kJournalTag;
    AppendDigits(whole.commands[c].print, &lines);
    lines += "\r\n";
  }
  Journal journal;
  ASSERT_EQ(0, journal.ReadText(lines));
  CommandFileRead journaled;
  ASSERT_EQ("", Read(Write(true, &journal, false), true, true, &journaled));
  EXPECT_EQ(2u, journaled.definitions.size());
  EXPECT_EQ(whole.commands.size() - 1 - program.count, journaled.commands.size());
  const auto held = [&journal](const CommandPrint& print) { return journal.Holds(print); };
  EXPECT_EQ("", CompareJournaled(whole, journaled, held));
  // A journal that held nothing, or everything, would have left out other commands.
  EXPECT_NE("", CompareJournaled(whole, journaled, [](const CommandPrint&) { return false; }));
  EXPECT_NE("", CompareJournaled(whole, journaled, [](const CommandPrint&) { return true; }));
}

TEST_F(CommandFileReadingTest, FaultsOfAWriterAreFound) {
  Journal empty;
  const std::string checked = Write(true, &empty, false);
  CommandFileRead file;
  ASSERT_EQ("", Read(checked, true, true, &file));
  std::string print;
  AppendDigits(file.commands[0].print, &print);
  std::string other_print = print;
  other_print[0] = other_print[0] == '0' ? '1' : '0';
  // The line of the first tavoadd, and the one after it.
  const std::string add = std::to_string(LineOf(checked, "@tavoadd "));
  const std::string next = std::to_string(LineOf(checked, "@tavoadd ") + 1);
  const std::string commands = std::to_string(file.commands.size());
  const std::pair<std::string, std::string> faults[] = {
      // The start line would hold another command's fingerprint.
      {"start " + print, "start " + other_print},
      // The journal would take another command's fingerprint.
      {"%DEFSHIFT_D% " + print, "%DEFSHIFT_D% " + other_print},
      // A failed command would be counted for another definition.
      {"DEFSHIFT_FD=1& ECHO", "DEFSHIFT_FD=2& ECHO"},
      // A failure would name another line than the command's.
      {"%DEFSHIFT_I% " + add + "%", "%DEFSHIFT_I% " + next + "%"},
      {"%DEFSHIFT_P%" + add + "&", "%DEFSHIFT_P%" + next + "&"},
      // The stop would name another line than the tavoadd's.
      {"DEFSHIFT_W=" + add + "&", "DEFSHIFT_W=" + next + "&"},
      // A tavoadd run without its start line.
      {"@SET DEFSHIFT_W=" + add + "&", "@REM DEFSHIFT_W=" + add + "&"},
      // The failure list would name another definition, or none.
      {"ECHO Failed: td OR^&D", "ECHO Failed: td ORD"},
      {"@IF \"%DEFSHIFT_FD%\"==\"1\"", "@REM"},
      // The progress would count down, or show another definition.
      {"[ 66%%] 2 of 3", "[ 33%%] 1 of 3"},
      {"[ 66%%] 2 of 3  ", "[ 66%%] 2 of 3  x"},
      {"[ 66%%] 2 of 3", "[ 66%%] 2 of 4"},
      // A line the interpreter shows.
      {"@tavoupdate", "tavoupdate"},
      // An ampersand the interpreter acts on.
      {"OR^&D", "OR&D"},
      // A line the interpreter of Windows NT 4.0 cuts.
      {"@REM \tProgName=ORDPGM", "@REM \tProgName=" + std::string(2040, 'P')},
      // The count of commands and the status the file ends with.
      {" of " + commands + " tavoadd", " of " + commands + "0 tavoadd"},
      {":DEFSHIFT_END", ":DEFSHIFT_ENDS"},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.first);
    EXPECT_NE("", Read(Replaced(checked, fault.first, fault.second), true, true, &file));
  }

  CommandFileRead plain;
  ASSERT_EQ("", Read(Write(false, nullptr, false), false, false, &plain));
  CommandFileRead packed;
  const std::string packed_text = Write(false, nullptr, true);
  // An attribute with another value, and one lost.
  for (const auto& fault :
       {std::make_pair(std::string(" Resident=no "), std::string(" Resident=yes ")),
        std::make_pair(std::string(" GroupName=G\n"), std::string("\n"))}) {
    SCOPED_TRACE(fault.first);
    ASSERT_EQ("", Read(Replaced(packed_text, fault.first, fault.second), false, false, &packed));
    EXPECT_NE("", CompareWithPlain(plain, packed, true));
  }
  // A line of another definition's commands among them.
  EXPECT_NE("", Read(Replaced(packed_text, "-P ORDPGM  PathName", "-P ORDPGN  PathName"), false,
                     false, &packed));
}

// A region whose name holds a %: the failure lines of the region definition
// carry their text in the check itself, which must still name the command's
// program and count the failure for its definition.
TEST_F(CommandFileReadingTest, FailureTextWrittenInTheCheckIsReadToo) {
  region_ = "R&D 100%";
  Journal empty;
  const std::string checked = Write(true, &empty, false);
  CommandFileRead file;
  ASSERT_EQ("", Read(checked, true, true, &file));
  const std::string literal =
      ": tavoupdate rd R^&D 100%%& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=3";
  ASSERT_NE(std::string::npos, checked.find(literal));
  const std::pair<std::string, std::string> faults[] = {
      {literal, ": tavoadd rd R^&D 100%%& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=3"},
      {literal, ": tavoupdate rd R^&D 100%%& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=2"},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.second);
    EXPECT_NE("", Read(Replaced(checked, fault.first, fault.second), true, true, &file));
  }
}

}  // namespace
