// The journal of a journaled command file: the digest behind its fingerprints,
// the fingerprint of a command line, and the reading of journals as runs
// (whole, cut short, resumed) and foreign files leave them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "admsa_journal.h"
#include "admsa_sha256.h"
#include "admsa_tran_check.h"
#include "admsa_tran_escape.h"
#include "support/capture.h"
#include "support/run_program.h"

namespace {

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

using Words = std::vector<std::string>;

std::string Hex(const Fingerprint& print) {
  std::string text;
  AppendFingerprint(print, &text);
  return text;
}

std::string Digest(const std::string& message, size_t repeat = 1) {
  Sha256 sha;
  for (size_t i = 0; i < repeat; ++i) sha.Update(message.data(), message.size());
  return Hex(sha.Final());
}

// The digests of the published test messages, the last one fed in pieces that
// cross the blocks.
TEST(Sha256Test, PublishedVectors) {
  EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Digest(""));
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Digest("abc"));
  EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
            Digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
  EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
            Digest(std::string(1000, 'a'), 1000));
}

// Fixed commands have fixed fingerprints, on every system and in every later
// version: the journals of earlier runs depend on them.
TEST(FingerprintTest, FixedCommandsHaveFixedFingerprints) {
  const std::string add = "tavoadd -c td -r ORDERS -P ORD1";
  EXPECT_EQ("0d056cf16ed0a6d09994b39419b3eadeac223050d36192b988b84bccb70ebb91",
            Hex(CommandFingerprint(add.data(), add.size())));
  const std::string update =
      "tavoupdate -c td -r ORDERS -P ORD1  Priority=10 \"ResourceDescription=\\\"Enter an "
      "order\\\"\"";
  EXPECT_EQ("6ed21b70c93cda4844d7a4b689bc654a13fc278bda3a0ffca61297bd37be0f44",
            Hex(CommandFingerprint(update.data(), update.size())));
  // A region with a blank and a value ending in a backslash before its quote.
  std::string line = "tavoupdate -c rd -r ";
  AppendArgument("MY REGION", &line);
  line += " -P  ";
  AppendArgument("GroupName=\"G\\\"", &line);
  EXPECT_EQ("028a1208542595f507fa08cd8196af6bf46706eef80c15b30af316764ea28b09",
            Hex(CommandFingerprint(line.data(), line.size())));
  // The fingerprint is of the words: blanks between them do not count.
  const std::string spaced = "tavoadd  -c\ttd -r ORDERS -P ORD1 ";
  EXPECT_EQ(Hex(CommandFingerprint(add.data(), add.size())),
            Hex(CommandFingerprint(spaced.data(), spaced.size())));
}

// Every argument, written as the command file writes it, comes back as the
// program gets it; two lists that differ only in where a word ends differ.
TEST(FingerprintTest, WordsComeBackAsWritten) {
  const Words hostile = {"tavoupdate", "a b",       "",       "\"",    "\\",    "x\\\"y",
                         "\\\\\"",     "tab\there", "%PATH%", "^&|<>", "end\\", "q\"q\" \\"};
  std::string line;
  for (const std::string& word : hostile) {
    if (!line.empty()) line += ' ';
    AppendArgument(word.data(), word.size(), &line);
  }
  Words words;
  SplitCommandWords(line.data(), line.size(), &words);
  EXPECT_EQ(hostile, words) << line;
  EXPECT_NE(Hex(FingerprintOf({"tavoadd", "ab", "c"})), Hex(FingerprintOf({"tavoadd", "a", "bc"})));
}

const std::string kA = "DSJ1 0d056cf16ed0a6d09994b39419b3eadeac223050d36192b988b84bccb70ebb91";
const std::string kB = "DSJ1 6ed21b70c93cda4844d7a4b689bc654a13fc278bda3a0ffca61297bd37be0f44";

Fingerprint PrintOf(const std::string& line) {
  Fingerprint print{};
  for (size_t i = 0; i < print.size(); ++i) {
    print[i] = static_cast<uint8_t>(std::stoi(line.substr(5 + 2 * i, 2), nullptr, 16));
  }
  return print;
}

// Reads Text into *rJournal, which must take it, holding Held commands in
// Lines lines, Cut of them cut short.
void ExpectRead(const std::string& Text, size_t Held, size_t Lines, size_t Cut, Journal* rJournal) {
  ASSERT_EQ(0, rJournal->ReadText(Text)) << Text;
  EXPECT_EQ(Held, rJournal->held()) << Text;
  EXPECT_EQ(Lines, rJournal->lines()) << Text;
  EXPECT_EQ(Cut, rJournal->cut()) << Text;
}

// Whole journals as command files leave them: CR LF or LF, a command twice,
// a last line cut short (alone, or followed by NUL bytes), a cut line that
// the next run's first line was appended to.
TEST(JournalTest, ReadsWholeAndCutJournals) {
  struct Case {
    std::string text;
    size_t held;
    size_t lines;
    size_t cut;
  };
  const Case cases[] = {
      {"", 0, 0, 0},
      {kA + "\r\n" + kB + "\r\n", 2, 2, 0},
      {kA + "\n" + kB + "\n" + kA + "\n", 2, 3, 0},
      {kA + "\r\n" + kB, 2, 2, 0},
      {kA + "\r\n" + kB.substr(0, 30), 1, 1, 1},
      {kA + "\r\n" + kB.substr(0, 3), 1, 1, 1},
      {kA + "\r\n" + kB.substr(0, 30) + std::string(4096, '\0'), 1, 1, 1},
      {kA + "\r\n" + std::string(512, '\0'), 1, 1, 1},
      {kA + "\r\n" + kB.substr(0, 30) + std::string(100, '\0') + kB + "\r\n", 2, 2, 1},
  };
  for (const Case& c : cases) {
    Journal journal;
    ASSERT_NO_FATAL_FAILURE(ExpectRead(c.text, c.held, c.lines, c.cut, &journal));
    // Each fingerprint held counts once as matched, however often looked up.
    EXPECT_EQ(c.held != 0, journal.Holds(PrintOf(kA)) && journal.Holds(PrintOf(kA))) << c.text;
    EXPECT_EQ(c.held != 0 ? 1u : 0u, journal.matched()) << c.text;
  }
}

// A line that no command file writes, wherever it stands, fails the reading
// with its number and leaves nothing held.
TEST(JournalTest, ForeignLinesAreNamedByNumber) {
  struct Case {
    std::string text;
    size_t line;
  };
  std::string upper = kB;
  upper[10] = 'C';
  const Case errors[] = {
      {"hello\r\n", 1},
      {kA + "\r\n\r\n" + kB + "\r\n", 2},
      {kA + "\r\n" + kB.substr(0, 30) + "\r\n" + kB + "\r\n", 2},
      {kA + "\r\n" + upper + "\r\n", 2},
      {kA + "\r\nDSJ2" + kB.substr(4) + "\r\n", 2},
      {kA + " \r\n", 1},
      {kA + "\r\n" + kB + "x", 2},
      {kA + kB + "\r\n", 1},
  };
  for (const Case& c : errors) {
    Journal journal;
    EXPECT_EQ(Journal::kForeignLine, journal.ReadText(c.text)) << c.text;
    EXPECT_EQ(c.line, journal.foreign_line()) << c.text;
    EXPECT_EQ(0u, journal.held()) << c.text;
    EXPECT_FALSE(journal.Holds(PrintOf(kA)));
  }
}

// Files: a missing journal holds nothing and is no error, a folder is, and a
// large journal read across blocks holds every line.
TEST(JournalTest, ReadsFiles) {
  ScratchFolder dir;
  Journal journal;
  EXPECT_EQ(0, journal.Read(dir.Path("none.jnl").c_str()));
  EXPECT_FALSE(journal.exists());
  const int folder = journal.Read(dir.path().c_str());
  EXPECT_NE(0, folder);
  EXPECT_NE(Journal::kForeignLine, folder);
  std::string text;
  for (int i = 0; i < 20000; ++i) {
    text += "DSJ1 " + Hex(FingerprintOf({"tavoadd", std::to_string(i)})) + "\r\n";
  }
  text += kB.substr(0, 20);
  WriteFile(dir.Path("big.jnl"), text);
  ASSERT_EQ(0, journal.Read(dir.Path("big.jnl").c_str()));
  EXPECT_TRUE(journal.exists());
  EXPECT_EQ(20000u, journal.held());
  EXPECT_EQ(1u, journal.cut());
  EXPECT_TRUE(journal.Holds(FingerprintOf({"tavoadd", "19999"})));
  WriteFile(dir.Path("bad.jnl"), text.substr(0, 71 * 15000) + "x\r\n");
  EXPECT_EQ(Journal::kForeignLine, journal.Read(dir.Path("bad.jnl").c_str()));
  EXPECT_EQ(15001u, journal.foreign_line());
}

// The failure list, which a checked file empties when it starts, is never the
// command file or the journal beside it.
TEST(FailureListTest, NeverNamesTheCommandFileOrTheJournal) {
  EXPECT_EQ("migratetavo.failed", FailureListName("C:\\m/migratetavo.cmd", nullptr));
  EXPECT_EQ("run.failed.failed", FailureListName("run.FAILED", nullptr));
  EXPECT_EQ("m.failed.failed", FailureListName("m.cmd", "j/M.FAILED"));
  EXPECT_EQ("a_b_.failed", FailureListName("a\"b?.cmd", "x.jnl"));
}

}  // namespace

namespace {

std::string Start(const std::string& done) { return "DSJ1 start " + done.substr(5); }

// The lines of a file that notes its tavoadds and its end, and journals
// written before it did: the command in doubt is the one whose start line
// ends the journal without a line of its success; a start line cut short is
// left aside, also when the next run's line was appended to it; start and end
// lines are not commands held.
TEST(JournalTest, StartAndEndLinesNameTheCommandInDoubt) {
  struct Case {
    std::string text;
    size_t held;
    size_t lines;
    size_t cut;
    const std::string* doubt;  // null for none
  };
  const std::string end = "DSJ1 end";
  const Case cases[] = {
      {kA + "\r\n" + kB + "\r\n", 2, 2, 0, nullptr},
      {Start(kA) + "\r\n" + kA + "\r\n" + end + "\r\n", 1, 3, 0, nullptr},
      {Start(kA) + "\r\n" + kA + "\r\n" + Start(kB) + "\r\n", 1, 3, 0, &kB},
      {Start(kA) + "\r\n" + kA + "\r\n" + Start(kB), 1, 3, 0, &kB},
      {Start(kA) + "\r\n" + Start(kB) + "\r\n" + end + "\r\n", 0, 3, 0, nullptr},
      {Start(kA) + "\r\n" + Start(kB) + "\r\n" + kA + "\r\n", 1, 3, 0, nullptr},
      {kB + "\r\n" + Start(kB) + "\r\n", 1, 2, 0, nullptr},
      {Start(kB) + "\r\n" + kB.substr(0, 40), 0, 1, 1, &kB},
      {Start(kB) + "\r\n" + Start(kA).substr(0, 12) + std::string(300, '\0'), 0, 1, 1, &kB},
      {Start(kB) + "\r\nDSJ1 e", 0, 1, 1, &kB},
      {Start(kB) + "\r\n" + Start(kA).substr(0, 40) + kA + "\r\n", 1, 2, 1, nullptr},
      {Start(kB) + "\r\n" + kA.substr(0, 9) + Start(kA) + "\r\n", 0, 2, 1, &kA},
      {Start(kB) + "\r\n" + Start(kA).substr(0, 9) + end + "\r\n", 0, 2, 1, nullptr},
  };
  for (const Case& c : cases) {
    Journal journal;
    ASSERT_NO_FATAL_FAILURE(ExpectRead(c.text, c.held, c.lines, c.cut, &journal));
    EXPECT_EQ(c.doubt != nullptr, journal.in_doubt()) << c.text;
    EXPECT_EQ(c.doubt != nullptr && *c.doubt == kB, journal.InDoubt(PrintOf(kB))) << c.text;
    EXPECT_FALSE(c.doubt == nullptr && journal.InDoubt(PrintOf(kA))) << c.text;
    // A start line holds no command.
    EXPECT_EQ(Has(c.text, kA + "\r\n") || Has(c.text, kA + "\n"), journal.Holds(PrintOf(kA)))
        << c.text;
  }
  // Lines of the new kinds that no command file writes.
  const std::string foreigns[] = {"DSJ1 started " + kA.substr(5), "DSJ1 start " + kA.substr(6),
                                  "DSJ1 end.", "DSJ1 End", "DSJ1 start" + kA.substr(5)};
  for (const std::string& foreign : foreigns) {
    Journal journal;
    EXPECT_EQ(Journal::kForeignLine, journal.ReadText(kA + "\r\n" + foreign + "\r\n" + kB + "\r\n"))
        << foreign;
    EXPECT_EQ(2u, journal.foreign_line()) << foreign;
    EXPECT_FALSE(journal.in_doubt());
  }
}

// The lock beside the journal is never the command file; line numbers show in
// groups of three digits.
TEST(FailureListTest, LockIsNeverTheCommandFile) {
  EXPECT_EQ("migratetavo.jnl.lock", LockName("C:\\runs\\migratetavo.jnl", "migratetavo.cmd"));
  EXPECT_EQ("m.lock.lock", LockName("j/m", "x/M.LOCK"));
  EXPECT_EQ("1", Grouped(1));
  EXPECT_EQ("999", Grouped(999));
  EXPECT_EQ("1,000", Grouped(1000));
  EXPECT_EQ("12,345,678", Grouped(12345678));
}

}  // namespace
