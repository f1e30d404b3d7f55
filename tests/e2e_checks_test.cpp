// The checked command file (defshift -e), made by the built defshift: the check
// at the end of every tavoadd and tavoupdate line, the recap at the end of the
// file and its exit status. On every system its lines are read by the model of
// the command interpreter; on Windows (and under Wine) the files are run by
// cmd.exe itself, with a stand-in for tavoadd and tavoupdate that records its
// arguments and fails for chosen names (tests/programs/tavo_recorder.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "admsa_tran_escape.h"
#include "support/argument_model.h"
#include "support/capture.h"
#include "support/interpreter_model.h"
#include "support/run_program.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

using Args = std::vector<std::string>;

const char kSample[] = SAMPLES_DIR "/ordentry.desc";
// Where the check of a command line begins: an & that the escaped command part
// of a line never holds unescaped.
const char kCheckStart[] = " & IF ERRORLEVEL 1 (";
const char kCountEnd[] = " tavoadd/tavoupdate commands failed";

// Programs whose names and descriptions hold every character that the
// interpreter treats specially, and a region that does too.
const char kSpecialDesc[] =
    "O 1017=\"A&B|C<D>\" 1016=GRP 803=P 804=\"S&M (50%) \\\"q\\\" a|b <in >out ^\"\n"
    "O 1017=%PATH% 1016=GRP 803=P 804=\"%~dp0 !x! %1 ^^\"\n"
    "O 1017=\"^x(1)!\" 1016=GRP 803=P 804=plain\n"
    "O 1017=\"\\\"q\\\" ,;=\" 1016=GRP 803=P 804=\"say \\\"hi\"\n"
    "O 1017=/? 1016=GRP 803=P 804=on\n"
    "O 1017=on 1016=GRP 803=P 804=off\n"
    "O 1017=\"a\\\"b\" 1016=GRP 803=P 804=\"odd \\\"quote\"\n"
    "O 1017=(x) 1016=GRP 803=P 804=\"(parens) only\"\n"
    "O 1017=!x! 1016=GRP 803=P 804=\"=,; ^\"\n"
    "P 1003=%1 1002=GRP 100=\"A&B|C<D>\" 106=\"a) b(\"\n";
const char kSpecialRegion[] = "R&D (%1)";
const char* const kSpecialNames[] = {"A&B|C<D>", "%PATH%", "^x(1)!", "\"q\" ,;=", "/?",
                                     "on",       "a\"b",   "(x)",    "!x!",       "%1"};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

// The text that the interpreter hands on for line, which must be one command.
std::string Handed(const std::string& line) {
  std::string handed;
  std::string why;
  EXPECT_TRUE(Interpret(line, &handed, &why)) << line << "\n" << why;
  return handed;
}

#if defined(_WIN32)
// The arguments of every tavoadd and tavoupdate line of an unchecked command
// file, as the model of the interpreter and of the C runtime find them.
std::vector<Args> ModelCalls(const std::string& file) {
  std::vector<Args> calls;
  for (const std::string& line : SplitLines(file)) {
    if (line.rfind("tavo", 0) != 0) continue;
    Args args;
    std::string why;
    EXPECT_TRUE(SplitArguments(Handed(line), &args, &why)) << line << "\n" << why;
    calls.push_back(args);
  }
  return calls;
}
#endif

class ChecksTest : public testing::Test {
 protected:
  // NAME.ctf, built from a description file.
  void Image(const std::string& name, const std::string& description) {
    const ProgramRun built = dir_.Run(CTFIMAGE_BIN, {"build", description, name + ".ctf"});
    ASSERT_EQ(0, built.status) << built.err;
  }

  // The special control file, SPECIAL.ctf.
  void SpecialImage() {
    std::ofstream(dir_.Path("special.desc"), std::ios::binary) << kSpecialDesc;
    Image("SPECIAL", dir_.Path("special.desc"));
  }

  // Runs defshift with args; the run must succeed.
  void Defshift(const Args& args) {
    const ProgramRun run = dir_.Run(DEFSHIFT_BIN, args);
    ASSERT_EQ(0, run.status) << run.out << run.err;
    out_ = run.out;
  }

  std::string Text(const std::string& name) const { return ReadText(dir_.Path(name)); }

  ScratchFolder dir_;
  std::string out_;
};

// The checked file is the unchecked one with its additions: a block after the
// header, a check at the end of each command line, and a trailer whose recap
// lines name each definition exactly. The interpreter hands each program the
// same text as from the unchecked file.
TEST_F(ChecksTest, AdditionsLeaveEveryLineAndArgumentAsItWas) {
  ASSERT_NO_FATAL_FAILURE(SpecialImage());
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "SPECIAL", "-r", kSpecialRegion, "-o", "plain.cmd"}));
  ASSERT_NO_FATAL_FAILURE(
      Defshift({"-i", "SPECIAL", "-r", kSpecialRegion, "-o", "checked.cmd", "-e"}));
  EXPECT_TRUE(Has(out_,
                  "\nCommands checked: at its end the command file names the definitions "
                  "whose tavoadd or tavoupdate commands failed, and ends with exit status 1 if "
                  "any did\n"))
      << out_;
  const std::vector<std::string> plain = SplitLines(Text("plain.cmd"));
  const std::vector<std::string> checked = SplitLines(Text("checked.cmd"));

  // The header as it was, then the block of the checks up to an empty line.
  const size_t header = 16;
  ASSERT_LT(header, plain.size());
  ASSERT_LT(plain.size(), checked.size());
  for (size_t i = 2; i < header; ++i) EXPECT_EQ(plain[i], checked[i]) << i;
  size_t c = header;
  while (c < checked.size() && !checked[c].empty()) {
    EXPECT_EQ('@', checked[c][0]) << checked[c];
    ++c;
  }
  EXPECT_TRUE(Has(checked[header + 4], "@SETLOCAL ")) << checked[header + 4];
  ++c;

  // The definitions: remarks unchanged, commands handed on unchanged, each
  // checked under the number of its definition.
  int definition = 0;
  size_t p = header;
  for (; p < plain.size(); ++p, ++c) {
    ASSERT_LT(c, checked.size());
    const std::string& line = checked[c];
    if (plain[p].rfind("tavo", 0) != 0) {
      EXPECT_EQ(plain[p], line);
      continue;
    }
    // The first command of a definition follows the empty line after its remarks.
    if (plain[p - 1].empty()) ++definition;
    const size_t check = line.find(kCheckStart);
    ASSERT_NE(std::string::npos, check) << line;
    EXPECT_EQ(Handed(plain[p]), Handed(line.substr(0, check)));
    const std::string marker = "DEFSHIFT_F" + std::to_string(definition) + "=1";
    EXPECT_EQ(2, Occurrences(line.substr(check), marker)) << line;
    EXPECT_GE(kInterpreterLineLimit, line.size());
  }
  EXPECT_EQ(10, definition);

  // The trailer: the counts, then a recap line for each definition.
  std::vector<std::string> recap;
  for (; c < checked.size(); ++c) {
    const std::string& line = checked[c];
    if (line.rfind("@IF DEFINED ", 0) == 0) recap.push_back(Handed(line));
  }
  ASSERT_EQ(10u, recap.size());
  for (size_t i = 0; i < recap.size(); ++i) {
    const std::string code = i + 1 < recap.size() ? "pd " : "td ";
    EXPECT_EQ("@IF DEFINED DEFSHIFT_F" + std::to_string(i + 1) + " ECHO Failed: " + code +
                  kSpecialNames[i],
              recap[i]);
  }
  int labels = 0;
  for (const std::string& line : checked) labels += line.rfind(':', 0) == 0 ? 1 : 0;
  EXPECT_EQ(1, labels);
  EXPECT_EQ("@EXIT /B 0", checked.back());
}

TEST(ChecksEscapeTest, LinesThatCannotTakeACheckAsTheyStand) {
  struct Case {
    const char* line;
    bool escape;
  };
  const Case cases[] = {
      {"tavoadd -c pd -r R -P PROG1", false},
      {"tavoupdate -c pd -r R -P P  \"ResourceDescription=\\\"Sample program\\\"\"", false},
      {"tavoupdate -c pd -r R -P P  \"ResourceDescription=\\\"say \\\"hi\\\"\"", true},
      {"tavoadd -c pd -r R -P (x)", true},
      {"tavoupdate -c pd -r R -P P  \"ResourceDescription=\\\"(x)\\\"\"", true},
      // The interpreter takes no \" for a quote: here the parentheses stand outside.
      {"tavoupdate -c pd -r R -P P  \"ResourceDescription=\\\"a (x) b\\\"\"", true},
      {"tavoupdate -c pd -r R -P P  \"X=(x)\" Y=\"(y)\"", false},
  };
  for (const Case& c : cases) {
    const std::string line = c.line;
    EXPECT_EQ(c.escape, NeedsEscapeBeforeJoin(line.data(), line.size())) << line;
    // Escaped whole, the interpreter hands on the line itself.
    std::string escaped;
    AppendScriptEscaped(line.data(), line.size(), &escaped, /*Always=*/true);
    EXPECT_EQ(line, Handed(escaped));
    // Every quote and parenthesis of it is escaped.
    for (size_t at = escaped.find_first_of("()\""); at != std::string::npos;
         at = escaped.find_first_of("()\"", at + 1)) {
      EXPECT_TRUE(at > 0 && escaped[at - 1] == '^') << escaped << " at " << at;
    }
  }
}

// -e, -E and /e take no value; without them the file is not checked.
TEST_F(ChecksTest, OptionTakesNoValue) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  const Args forms[] = {{"-e"}, {"-E"}, {"/e"}, {"-echo"}, {}};
  for (const Args& form : forms) {
    SCOPED_TRACE(form.empty() ? "none" : form[0]);
    Args args = {"-i", "ORDENTRY"};
    args.insert(args.end(), form.begin(), form.end());
    args.insert(args.end(), {"-r", "ORDERS"});
    ASSERT_NO_FATAL_FAILURE(Defshift(args));
    const std::string file = Text("migratetavo.cmd");
    EXPECT_EQ(!form.empty(), Has(file, "\n@SETLOCAL ENABLEEXTENSIONS DISABLEDELAYEDEXPANSION\n"));
    EXPECT_EQ(form.empty() ? 0 : 30, Occurrences(file, "\n@IF DEFINED DEFSHIFT_F"));
    EXPECT_EQ(!form.empty(), Has(out_, "\nCommands checked: "));
  }
}

// The checks and the recap line of the region, which shows the region, keep
// every line within the interpreter's limit for the longest region.
TEST_F(ChecksTest, LongestRegionFitsEveryCheckedLine) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  std::string special;
  while (special.size() < kMaxRegionLength) special += "&%^|<>";
  special.resize(kMaxRegionLength);
  const std::string quotes = std::string(kMaxRegionLength - 1, '"') + "(";
  for (const std::string& region : {special, quotes}) {
    ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "ORDENTRY", "-r", region, "-o", "long.cmd", "-e"}));
    size_t longest = 0;
    std::string recap;
    for (const std::string& line : SplitLines(Text("long.cmd"))) {
      longest = std::max(longest, line.size());
      if (line.rfind("@IF DEFINED DEFSHIFT_F30 ", 0) == 0) recap = Handed(line);
    }
    EXPECT_GE(kInterpreterLineLimit, longest);
    EXPECT_EQ("@IF DEFINED DEFSHIFT_F30 ECHO Failed: rd " + region, recap);
  }
}

#if defined(_WIN32)

// A folder in which command files run under cmd.exe, with the stand-in as
// tavoadd.exe and tavoupdate.exe.
class InterpreterTest : public ChecksTest {
 protected:
  void SetUp() override {
    for (const char* program : {"tavoadd.exe", "tavoupdate.exe"}) {
      std::error_code ec;
      std::filesystem::copy_file(TAVO_RECORDER_BIN, dir_.Path(program), ec);
      ASSERT_FALSE(ec) << program << ": " << ec.message();
    }
  }

  // Makes the stand-in fail: lines "<program> <status> <argument>".
  void Fail(const std::string& rules) {
    std::ofstream(dir_.Path("fail.txt"), std::ios::binary) << rules;
  }

  // Runs the command file name under cmd.exe /c with the calls recorded afresh.
  ProgramRun Run(const std::string& name) {
    std::filesystem::remove(dir_.Path("calls.log"));
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, sizeof system);
    EXPECT_TRUE(n > 0 && n < sizeof system);
    return RunProgram(std::string(system, n) + "\\cmd.exe", {"/c", name}, dir_.path());
  }

  // The calls the stand-in recorded, each its name and its arguments.
  std::vector<Args> Calls() const {
    std::vector<Args> calls;
    for (const std::string& line : SplitLines(ReadFile(dir_.Path("calls.log")))) {
      Args call(1);
      for (const char c : line) {
        if (c == '\x1f') {
          call.emplace_back();
        } else {
          call.back().push_back(c);
        }
      }
      calls.push_back(call);
    }
    return calls;
  }

  // The lines printed from the counts line on.
  static std::vector<std::string> Recap(const std::string& out) {
    std::vector<std::string> lines = SplitLines(out);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (Has(lines[i], kCountEnd)) return std::vector<std::string>(lines.begin() + i, lines.end());
    }
    ADD_FAILURE() << "no counts line in\n" << out;
    return {};
  }
};

// The run: the sample's command file with a tavoadd that fails for two
// names, one with status 1 and one with -1; then with every command passing;
// then without a tavoupdate at all, whose every command fails.
TEST_F(InterpreterTest, SampleNamesTheFailedDefinitionsAndEndsWithStatusOne) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "ORDENTRY", "-r", "ORDERS", "-o", "plain.cmd"}));
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "ORDENTRY", "-r", "ORDERS", "-e"}));
  const std::vector<Args> expected = ModelCalls(Text("plain.cmd"));
  ASSERT_EQ(140u, expected.size());

  Fail("tavoadd 1 OE02\ntavoadd -1 ORD1\n");
  ProgramRun run = Run("migratetavo.cmd");
  EXPECT_EQ(1, run.status) << run.err;
  EXPECT_EQ(expected, Calls());
  EXPECT_EQ((std::vector<std::string>{"2 of 140 tavoadd/tavoupdate commands failed",
                                      "Failed: wd OE02", "Failed: td ORD1"}),
            Recap(run.out));

  std::filesystem::remove(dir_.Path("fail.txt"));
  run = Run("migratetavo.cmd");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(expected, Calls());
  EXPECT_EQ(std::vector<std::string>{"0 of 140 tavoadd/tavoupdate commands failed"},
            Recap(run.out));

  // A program that cannot be started fails its command as well.
  std::filesystem::remove(dir_.Path("tavoupdate.exe"));
  run = Run("migratetavo.cmd");
  EXPECT_EQ(1, run.status);
  const std::vector<std::string> recap = Recap(run.out);
  ASSERT_FALSE(recap.empty());
  int updates = 0;
  for (const Args& call : expected) updates += call[0] == "tavoupdate" ? 1 : 0;
  EXPECT_EQ(std::to_string(updates) + " of 140" + kCountEnd, recap[0]);
  // Every definition has tavoupdate lines.
  EXPECT_EQ(31u, recap.size());
  EXPECT_EQ("Failed: rd ORDERS", recap.back());
}

// Names, descriptions and the region that hold every character the interpreter
// treats specially reach the programs exactly, and the recap names the failed
// definitions exactly as the account does.
TEST_F(InterpreterTest, SpecialCharactersArriveAndAreNamedExactly) {
  ASSERT_NO_FATAL_FAILURE(SpecialImage());
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "SPECIAL", "-r", kSpecialRegion, "-o", "plain.cmd"}));
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "SPECIAL", "-r", kSpecialRegion, "-e", "-a", "a.csv"}));
  const std::vector<Args> expected = ModelCalls(Text("plain.cmd"));

  Fail("tavoadd 1 A&B|C<D>\ntavoupdate -1 \"q\" ,;=\ntavoadd 255 a\"b\ntavoupdate 3 %1\n");
  const ProgramRun run = Run("migratetavo.cmd");
  EXPECT_EQ(1, run.status) << run.err;
  const std::vector<Args> calls = Calls();
  EXPECT_EQ(expected, calls);
  // The names themselves, as the programs got them after -P.
  std::vector<std::string> names;
  int failed = 0;
  for (const Args& call : calls) {
    ASSERT_LE(7u, call.size());
    EXPECT_EQ(kSpecialRegion, call[4]);
    if (call[0] == "tavoadd") names.push_back(call[6]);
    const std::string& name = call[6];
    failed += (call[0] == "tavoadd" && (name == "A&B|C<D>" || name == "a\"b")) ||
                      (call[0] == "tavoupdate" && (name == "\"q\" ,;=" || name == "%1"))
                  ? 1
                  : 0;
  }
  EXPECT_EQ(std::vector<std::string>(std::begin(kSpecialNames), std::end(kSpecialNames)), names);
  EXPECT_EQ((std::vector<std::string>{
                std::to_string(failed) + " of " + std::to_string(calls.size()) + kCountEnd,
                "Failed: pd A&B|C<D>", "Failed: pd \"q\" ,;=", "Failed: pd a\"b", "Failed: td %1"}),
            Recap(run.out));
  // The account names them alike.
  const std::string account = ReadFile(dir_.Path("a.csv"));
  for (const char* row : {",pd,A&B|C<D>,migrated,", ",pd,\"\"\"q\"\" ,;=\",migrated,",
                          ",pd,\"a\"\"b\",migrated,", ",td,%1,"}) {
    EXPECT_TRUE(Has(account, row)) << row << "\n" << account;
  }
}

// Run by CALL from another command file: the caller gets the status as its
// ERRORLEVEL and its environment back as it was, a marker of its own included,
// which names no definition.
TEST_F(InterpreterTest, CallerKeepsItsEnvironmentAndGetsTheStatus) {
  ASSERT_NO_FATAL_FAILURE(SpecialImage());
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "SPECIAL", "-r", kSpecialRegion, "-e"}));
  Fail("tavoupdate 1 on\n");
  std::ofstream(dir_.Path("outer.cmd"), std::ios::binary) << "@SET DEFSHIFT_F2=the caller's\r\n"
                                                             "@SET DEFSHIFT_FAILED=7\r\n"
                                                             "@CALL migratetavo.cmd\r\n"
                                                             "@ECHO status %ERRORLEVEL%\r\n"
                                                             "@SET DEFSHIFT_\r\n";
  const ProgramRun run = Run("outer.cmd");
  const std::vector<std::string> recap = Recap(run.out);
  ASSERT_EQ(5u, recap.size()) << run.out;
  EXPECT_TRUE(Has(recap[0], " of 40" + std::string(kCountEnd))) << recap[0];
  EXPECT_EQ("Failed: pd on", recap[1]);
  EXPECT_EQ("status 1", recap[2]);
  EXPECT_EQ("DEFSHIFT_F2=the caller's", recap[3]);
  EXPECT_EQ("DEFSHIFT_FAILED=7", recap[4]);
}

#else

TEST(InterpreterTest, RunsOnlyOnWindows) {
  GTEST_SKIP() << "the command files are run by cmd.exe, which runs only on Windows (here, the "
                  "Windows build under Wine); their lines are read by the model above";
}

#endif

}  // namespace
