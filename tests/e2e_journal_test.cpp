// The journaled command file (defshift -j), made by the built defshift, under
// the models of the interpreter and the C runtime (runs under cmd.exe itself:
// e2e_checks_test.cpp): the commands a journal leaves out, staged changes, the
// report and the account, and journals that fail the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "admsa_journal.h"
#include "support/argument_model.h"
#include "support/capture.h"
#include "support/interpreter_model.h"
#include "support/run_program.h"

namespace {

using Lines = std::vector<std::string>;

const char kSample[] = SAMPLES_DIR "/ordentry.desc";
const char kCheckStart[] = " & %DEFSHIFT_I% ";
// How a check appends a line to the journal: DEFSHIFT_D holds the append of
// "DSJ1", which the fingerprint follows.
const std::string kJournalEcho = "& %DEFSHIFT_D% ";

Lines SplitLines(const std::string& text) {
  Lines lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

class JournalRunTest : public testing::Test {
 protected:
  void Image(const std::string& desc_text) {
    std::ofstream(dir_.Path("o.desc"), std::ios::binary) << desc_text;
    const ProgramRun built = dir_.Run(CTFIMAGE_BIN, {"build", dir_.Path("o.desc"), "ORDENTRY.ctf"});
    ASSERT_EQ(0, built.status) << built.err;
  }

  ProgramRun Defshift(const Lines& extra) {
    Lines args = {"-i", "ORDENTRY", "-r", "ORDERS"};
    args.insert(args.end(), extra.begin(), extra.end());
    return dir_.Run(DEFSHIFT_BIN, args);
  }

  // Whether a run with extra succeeds; its status and error stream if not
  // (a program that could not be started says why there).
  testing::AssertionResult Passes(const Lines& extra) {
    const ProgramRun run = Defshift(extra);
    if (run.status == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "status " << run.status << ": " << run.err;
  }

  // The commands of the file name, as the model of the interpreter hands them
  // on, without their checks. With a Journal, stands for a run of the file in
  // which every command passes: the fingerprint line of each command, which
  // must be that of the words the model of the C runtime finds, is appended
  // to Journal as its check would.
  Lines Commands(const std::string& name, const std::string& Journal = "") {
    Lines commands;
    std::ofstream out;
    if (!Journal.empty()) out.open(dir_.Path(Journal), std::ios::binary | std::ios::app);
    for (std::string line : SplitLines(ReadText(dir_.Path(name)))) {
      // A checked file's command lines begin with '@'.
      if (line.rfind("@tavo", 0) == 0) line.erase(0, 1);
      if (line.rfind("tavo", 0) != 0) continue;
      std::string why;
      Lines words;
      commands.emplace_back();
      EXPECT_TRUE(Interpret(line.substr(0, line.find(kCheckStart)), &commands.back(), &why));
      EXPECT_TRUE(SplitArguments(commands.back(), &words, &why)) << why;
      std::string print = kJournalTag;
      AppendFingerprint(FingerprintOf(words), &print);
      EXPECT_TRUE(!Has(line, kCheckStart) || Has(line, kJournalEcho + print.substr(5) + "&"))
          << line;
      if (!Journal.empty()) out << print << "\r\n";
    }
    return commands;
  }

  ScratchFolder dir_;
};

// A first run writes every command; a run after a complete one, nothing, and
// says so; the report counts class by class and in total, the account gives
// each definition's state.
TEST_F(JournalRunTest, ReRunAfterACompleteRunLeavesNothing) {
  ASSERT_NO_FATAL_FAILURE(Image(ReadFile(kSample)));
  ASSERT_TRUE(Passes({"-o", "plain.cmd"}));
  ProgramRun run = Defshift({"-J", "m.jnl", "-a", "a.csv"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run.out, "\nCommands checked: ")) << run.out;
  EXPECT_TRUE(Has(run.out, " Journal m.jnl does not exist yet: every command is written\n"));
  EXPECT_TRUE(Has(run.out, " Journal m.jnl: 0 commands held, 0 left out, 140 written\n"));
  EXPECT_EQ(Commands("plain.cmd"), Commands("migratetavo.cmd"));
  EXPECT_FALSE(Has(ReadFile(dir_.Path("a.csv")), "journaled"));
  Commands("migratetavo.cmd", "m.jnl");

  run = Defshift({"/j", "m.jnl", "-a", "a.csv"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run.out, " Journal m.jnl: 140 lines, 140 commands\n")) << run.out;
  EXPECT_TRUE(Has(run.out,
                  "\n      4 records checked, 4 migrated\n\n"
                  "      4 complete already, 0 written in part, 0 written whole\n"));
  EXPECT_TRUE(Has(run.out,
                  " Journal m.jnl: 140 commands held, 140 left out, 0 written\n"
                  " Nothing is left to run: the journal m.jnl holds every command of "
                  "this migration, and the command file holds none\n"));
  EXPECT_TRUE(Commands("migratetavo.cmd").empty());
  const std::string account = ReadFile(dir_.Path("a.csv"));
  EXPECT_TRUE(Has(account, ",wd,OE01,migrated,journaled\r\n")) << account;
  EXPECT_TRUE(Has(account, ",wd,MDL1,amended,netname-reset;journaled\r\n")) << account;
  EXPECT_TRUE(Has(account, ",td,QSGN,not migrated,supplied-transaction\r\n")) << account;
}

// The control file changed after a complete run: a definition added, a
// description changed, a definition removed. The new file holds exactly the
// commands whose text is new; the removed definition's commands are counted as
// held but no longer given.
TEST_F(JournalRunTest, StagedChangeWritesOnlyWhatChanged) {
  ASSERT_NO_FATAL_FAILURE(Image(ReadFile(kSample)));
  ASSERT_TRUE(Passes({"-o", "before.cmd"}));
  ASSERT_TRUE(Passes({"-j", "m.jnl"}));
  Commands("migratetavo.cmd", "m.jnl");

  std::string desc = ReadFile(kSample);
  const std::string old_desc = "106=\"Query an order\"";
  ASSERT_TRUE(Has(desc, old_desc));
  desc.replace(desc.find(old_desc), old_desc.size(), "106=\"Look up an order\"");
  const std::string removed =
      "P 1003=INV1 1002=ORDERS 100=INVPRINT 106=\"Print the invoices\" 109=3\n";
  ASSERT_TRUE(Has(desc, removed));
  desc.erase(desc.find(removed), removed.size());
  desc += "P 1003=RET1 1002=ORDERS 100=ORDENTRY 106=\"Returns\"\n";
  ASSERT_NO_FATAL_FAILURE(Image(desc));
  ASSERT_TRUE(Passes({"-o", "after.cmd"}));
  const ProgramRun run = Defshift({"-j", "m.jnl"});
  ASSERT_EQ(0, run.status) << run.err;

  const Lines before = Commands("before.cmd");
  Lines changed;
  for (const std::string& command : Commands("after.cmd")) {
    if (std::find(before.begin(), before.end(), command) == before.end())
      changed.push_back(command);
  }
  ASSERT_EQ(5u, changed.size());  // ORD2's description, RET1's tavoadd and three tavoupdates
  EXPECT_EQ(changed, Commands("migratetavo.cmd"));
  EXPECT_TRUE(Has(run.out, "      2 complete already, 1 written in part, 1 written whole\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out, " commands held are not commands of this migration (ignored)\n"));
}

// A journal with a line that no command file writes fails the run, naming the
// file and the line, before any file is replaced; one cut short by an
// interruption is read, and the line left aside is reported.
TEST_F(JournalRunTest, ForeignJournalFailsAndCutJournalIsRead) {
  ASSERT_NO_FATAL_FAILURE(Image(ReadFile(kSample)));
  ASSERT_TRUE(Passes({"-j", "m.jnl", "-a", "a.csv"}));
  Commands("migratetavo.cmd", "m.jnl");
  const std::string journal = ReadFile(dir_.Path("m.jnl"));
  const std::string command_file = ReadFile(dir_.Path("migratetavo.cmd"));
  const std::string account = ReadFile(dir_.Path("a.csv"));

  std::ofstream(dir_.Path("m.jnl"), std::ios::binary)
      << journal.substr(0, 71 * 3) << "@ECHO off\r\n"
      << journal.substr(71 * 3);
  ProgramRun run = Defshift({"-j", "m.jnl", "-a", "a.csv", "-o", "migratetavo.cmd"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.err,
                  "Error 5: Failed to read file m.jnl (4)\nm.jnl, line 4: not a line that a "
                  "command file writes to its journal"))
      << run.err;
  EXPECT_EQ(command_file, ReadFile(dir_.Path("migratetavo.cmd")));
  EXPECT_EQ(account, ReadFile(dir_.Path("a.csv")));

  std::ofstream(dir_.Path("m.jnl"), std::ios::binary) << journal.substr(0, 71 * 100 + 30);
  run = Defshift({"-j", "m.jnl"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run.out,
                  " Journal m.jnl: 100 lines, 100 commands\n"
                  " Journal m.jnl: 1 line cut short by an interrupted run, left aside\n"))
      << run.out;
  EXPECT_EQ(40u, Commands("migratetavo.cmd").size());

  // The journal is only read: no file of the run may be it.
  run = Defshift({"-j", "m.jnl", "-o", "./m.jnl"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.out, "The journal file 'm.jnl' and the file './m.jnl' are the same file\n"));
}

// A journal whose last line is the start of a tavoadd names that definition
// in doubt, in the report and the account, with the line to append when its
// resource exists, and the file still holds its commands; ended by the end
// line of a run, it names none. A lock beside the journal, in the journal's
// folder, is reported as a run that may be going on.
TEST_F(JournalRunTest, StartLineLastNamesTheDefinitionInDoubt) {
  ASSERT_NO_FATAL_FAILURE(Image(ReadFile(kSample)));
  ASSERT_TRUE(Passes({"-o", "plain.cmd"}));
  const Lines commands = Commands("plain.cmd");
  const std::string add = "tavoadd -c wd -r ORDERS -P OE02";
  ASSERT_EQ(add, commands.at(8));
  std::string start = "DSJ1 start ";
  AppendFingerprint(CommandFingerprint(add.data(), add.size()), &start);
  std::string done = kJournalTag;
  AppendFingerprint(CommandFingerprint(add.data(), add.size()), &done);
  std::filesystem::create_directory(dir_.Path("runs"));
  std::ofstream(dir_.Path("runs/m.jnl"), std::ios::binary) << "DSJ1 end\r\n" << start << "\r\n";
  std::filesystem::create_directory(dir_.Path("runs/m.jnl.lock"));

  ProgramRun run = Defshift({"-j", "runs/m.jnl", "-a", "a.csv"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run.out,
                  " Journal runs/m.jnl: its lock runs/m.jnl.lock exists: a run of its "
                  "command file may be going on"))
      << run.out;
  EXPECT_TRUE(Has(run.out, " Journal runs/m.jnl: its last run ended while a tavoadd was running (" +
                               start + ")"))
      << run.out;
  EXPECT_TRUE(Has(run.out,
                  " .... resource 'OE02' (wd) is in doubt: its tavoadd was running when "
                  "the last run of the command file ended. Check whether the resource "
                  "exists; if it does, append this line to the journal runs/m.jnl: " +
                      done + "\n"))
      << run.out;
  EXPECT_TRUE(Has(ReadFile(dir_.Path("a.csv")), ",wd,OE02,migrated,in-doubt\r\n"));
  EXPECT_EQ(commands, Commands("migratetavo.cmd"));

  // The lock gone, and the run that started OE02's tavoadd ended after it.
  std::filesystem::remove(dir_.Path("runs/m.jnl.lock"));
  std::ofstream(dir_.Path("runs/m.jnl"), std::ios::binary | std::ios::app) << "DSJ1 end\r\n";
  run = Defshift({"-j", "runs/m.jnl", "-a", "a.csv"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_FALSE(Has(run.out, "doubt")) << run.out;
  EXPECT_FALSE(Has(run.out, "lock")) << run.out;
  EXPECT_FALSE(Has(ReadFile(dir_.Path("a.csv")), "in-doubt"));
}

}  // namespace
