// The checked command file (defshift -e), made by the built defshift. Its lines
// are read by the model of the command interpreter everywhere; on Windows (and
// under Wine) the files are run by cmd.exe itself, with a stand-in for tavoadd
// and tavoupdate that records its arguments and fails for chosen names
// (tests/programs/tavo_recorder.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "admsa_journal.h"
#include "admsa_tab.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_pack.h"
#include "support/argument_model.h"
#include "support/capture.h"
#include "support/interpreter_model.h"
#include "support/run_program.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

using Lines = std::vector<std::string>;

const char kSample[] = SAMPLES_DIR "/ordentry.desc";
// Where the check of a command line begins: the escaped command never holds a
// bare &.
const char kCheckStart[] = " & %DEFSHIFT_I% ";
const char kCountEnd[] = " tavoadd/tavoupdate commands failed";

// Names and descriptions that hold every character the interpreter treats
// specially (odd quotes and parentheses alone among them), and such a region.
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

Lines SplitLines(const std::string& text) {
  Lines lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

// Line without the '@' that begins a checked file's command lines.
std::string Unshown(const std::string& line) {
  return line.rfind("@tavo", 0) == 0 ? line.substr(1) : line;
}

// The text that the interpreter hands on for line, which must be one command.
std::string Handed(const std::string& line) {
  std::string handed;
  std::string why;
  EXPECT_TRUE(Interpret(line, &handed, &why)) << line << "\n" << why;
  return handed;
}

// Two records of every table, every text field filled to its length with what
// the interpreter and the C runtime read, or with a code from its list.
std::string FilledDescription() {
  const std::string hostile = "a\\\"b ^c%d(e)\"\\\"f&g|h<i>j!k\\l";
  std::string desc;
  for (int t = 0, r = 0; TablChars[t] != '\0'; t += r, r = 1 - r) {
    desc += TablChars[t];
    int reached = 0;  // a field that shares bytes with an earlier one is left out
    for (const Entry* e = LayoutOf(t); e->field >= 0; ++e) {
      if (e->off < reached || e->ctype != kCharField) continue;
      reached = e->off + e->len;
      const size_t len = static_cast<size_t>(e->len), codes = std::strlen(e->perm) / len;
      desc += " " + std::to_string(e->field) + "=\"";
      for (size_t i = 0; i < len; ++i) {
        const char c =
            codes > 0 ? e->perm[r % codes * len + i] : hostile[(i + 5 * r) % hostile.size()];
        desc += "\\x" + std::to_string(c / 16) + "0123456789ABCDEF"[c % 16];
      }
      desc += '"';
    }
    desc += "\n";
  }
  return desc;
}

// The calls merged by definition: the tavoupdate calls of one that follow each
// other become one call with the attributes of them all.
std::vector<Lines> Definitions(const std::vector<Lines>& calls) {
  std::vector<Lines> merged;
  for (const Lines& call : calls) {
    const auto head = call.begin() + (call[2] == "rd" ? 6 : 7);
    if (merged.empty() || !std::equal(call.begin(), head, merged.back().begin()))
      merged.emplace_back(call.begin(), head);
    merged.back().insert(merged.back().end(), head, call.end());
  }
  return merged;
}

class ChecksTest : public testing::Test {
 protected:
  // NAME.ctf from the description file desc, or from the text kSpecialDesc.
  void Image(const std::string& name, std::string desc = "") {
    if (desc.empty()) {
      desc = dir_.Path("special.desc");
      std::ofstream(desc, std::ios::binary) << kSpecialDesc;
    }
    const ProgramRun built = dir_.Run(CTFIMAGE_BIN, {"build", desc, name + ".ctf"});
    ASSERT_EQ(0, built.status) << built.err;
  }

  // Runs defshift with args; the run must succeed.
  void Defshift(const Lines& args) {
    const ProgramRun run = dir_.Run(DEFSHIFT_BIN, args);
    ASSERT_EQ(0, run.status) << run.out << run.err;
    out_ = run.out;
  }

  Lines FileLines(const std::string& name) const { return SplitLines(ReadText(dir_.Path(name))); }

  // The calls of the command file name, as the models find them. Every line is
  // within the interpreter's limit; when packed, no tavoupdate line would have
  // been, as the file would hold it, with the next one's first attribute.
  std::vector<Lines> Calls(const std::string& name, bool packed) const {
    std::vector<Lines> calls;
    std::string update;  // handed on by the tavoupdate line before, in the same definition
    for (const std::string& whole : FileLines(name)) {
      const std::string before = std::exchange(update, "");
      const std::string line = Unshown(whole);
      if (line.rfind("tavo", 0) != 0) continue;
      EXPECT_GE(kPackedLineLimit, whole.size()) << whole;
      const size_t check = std::min(line.find(kCheckStart), line.size());
      const std::string handed = Handed(line.substr(0, check));
      std::string why;
      EXPECT_TRUE(SplitArguments(handed, &calls.emplace_back(), &why)) << handed << "\n" << why;
      if (calls.back()[0] == "tavoupdate") update = handed;
      if (!packed || before.empty() || update.empty()) continue;
      std::string joined = before + " ", written;
      AppendArgument(calls.back()[calls.back()[2] == "rd" ? 6 : 7].c_str(), &joined);
      AppendScriptEscaped(
          joined.data(), joined.size(), &written,
          check < line.size() && NeedsEscapeBeforeJoin(joined.data(), joined.size()));
      EXPECT_LT(kPackedLineLimit, written.size() + whole.size() - check) << before;
    }
    return calls;
  }

  ScratchFolder dir_;
  std::string out_;
};

// The line after the commands of definition n, up to the text it adds to the
// failure list.
std::string NotePrefix(int n) {
  return "@IF \"%DEFSHIFT_FD%\"==\"" + std::to_string(n) + "\" >>\"%DEFSHIFT_L%\" ECHO ";
}

// Where Pattern first stands in Line after an even number of carets: where
// the interpreter reads it as it is.
size_t Unescaped(const std::string& Line, const std::string& Pattern) {
  for (size_t at = Line.find(Pattern); at != std::string::npos; at = Line.find(Pattern, at + 1)) {
    size_t carets = 0;
    while (carets < at && Line[at - 1 - carets] == '^') ++carets;
    if (carets % 2 == 0) return at;
  }
  return std::string::npos;
}

// The value that the command Set ("SET <name>=<value>", as the file holds it)
// gives its variable.
std::string Assigned(const std::string& Set) {
  const std::string handed = Handed(Set);
  return handed.substr(handed.find('=') + 1);
}

// Text with each %<name>% of Values replaced by its value, in one pass, as
// the interpreter expands a line before it reads it.
std::string Expanded(const std::string& Text, const std::map<std::string, std::string>& Values) {
  std::string out;
  for (size_t i = 0; i < Text.size(); ++i) {
    bool replaced = false;
    for (const auto& [name, value] : Values) {
      if (Text.compare(i, name.size() + 2, "%" + name + "%") != 0) continue;
      out += value;
      i += name.size() + 1;
      replaced = true;
      break;
    }
    if (!replaced) out += Text[i];
  }
  return out;
}

// The checked file is the unchecked one with its additions: a block after the
// header, the check of its definition at the end of each command line, a line
// after the commands of each definition whose text names it exactly, and a
// trailer. The interpreter hands each program the text of the unchecked file.
// -e takes no value.
TEST_F(ChecksTest, AdditionsLeaveEveryLineAndArgumentAsItWas) {
  ASSERT_NO_FATAL_FAILURE(Image("SPECIAL"));
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "SPECIAL", "-r", kSpecialRegion, "-o", "plain.cmd"}));
  ASSERT_NO_FATAL_FAILURE(Defshift({"-i", "SPECIAL", "-e", "-r", kSpecialRegion, "-o", "c.cmd"}));
  EXPECT_TRUE(Has(out_,
                  "\nCommands checked: at its end the command file names the definitions "
                  "whose tavoadd or tavoupdate commands failed, and ends with exit status 1 if "
                  "any did\n"))
      << out_;
  const Lines plain = FileLines("plain.cmd");
  const Lines checked = FileLines("c.cmd");
  const size_t header = 16;  // the usual header, up to its empty line
  ASSERT_LT(header, plain.size());
  ASSERT_LT(plain.size(), checked.size());
  EXPECT_TRUE(std::equal(plain.begin() + 2, plain.begin() + header, checked.begin() + 2));
  size_t c = header;
  while (c < checked.size() && !checked[c].empty()) EXPECT_EQ('@', checked[c++][0]);

  // The values the header gives the names of the failure lines.
  std::map<std::string, std::string> values;
  for (size_t h = header; h < c; ++h) {
    for (const char* variable : {"DEFSHIFT_A", "DEFSHIFT_U", "DEFSHIFT_I", "DEFSHIFT_Q"}) {
      if (checked[h].rfind(std::string("@SET ") + variable + "=", 0) == 0)
        values[variable] = Assigned(checked[h].substr(1));
    }
  }
  ASSERT_EQ(4u, values.size());

  int definition = 0;
  Lines recap;
  const auto command = [&](size_t p) { return p < plain.size() && plain[p].rfind("tavo", 0) == 0; };
  Lines progress;
  for (size_t p = header; p < plain.size(); ++p) {
    if (!command(p)) {
      EXPECT_EQ(plain[p], checked.at(++c));
      continue;
    }
    // The first command of a definition follows the empty line after its
    // remarks, and the line that shows the definition and, unless its name
    // holds a %, keeps its name for the failure lines.
    if (plain[p - 1].empty()) {
      ++definition;
      const std::string& shows = checked.at(++c);
      const size_t echo = Unescaped(shows, "ECHO [");
      ASSERT_NE(std::string::npos, echo) << shows;
      progress.push_back(Handed(shows.substr(echo + 5)));
      values["DEFSHIFT_N"] = "";
      if (shows.rfind("@SET DEFSHIFT_N=", 0) == 0) {
        ASSERT_EQ("& ", shows.substr(echo - 2, 2)) << shows;
        values["DEFSHIFT_N"] = Assigned(shows.substr(1, echo - 3));
      }
    }
    const std::string& line = checked.at(++c);
    ASSERT_EQ('@', line[0]) << line;
    const size_t check = line.find(kCheckStart);
    ASSERT_NE(std::string::npos, check) << line;
    EXPECT_EQ(Handed(plain[p]), Handed(line.substr(1, check - 1)));
    // The check, as it fails above 0 and below, prints the failure line that
    // names the line's own number, the program and the definition, counts the
    // failure and notes the definition.
    const std::string expanded = Expanded(line.substr(check), values);
    const size_t otherwise = expanded.find(" ELSE IF NOT ERRORLEVEL 0 ");
    ASSERT_NE(std::string::npos, otherwise) << expanded;
    const std::string failed = expanded.substr(19, otherwise - 19);
    EXPECT_EQ(" & IF ERRORLEVEL 1 " + failed + " ELSE IF NOT ERRORLEVEL 0 " + failed, expanded);
    ASSERT_TRUE(failed.size() > 2 && failed[0] == '(' && failed.back() == ')') << failed;
    const std::string run = failed.substr(1, failed.size() - 2);
    const std::string counted = "& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=";
    const size_t count = run.rfind(counted);
    ASSERT_NE(std::string::npos, count) << run;
    EXPECT_EQ(std::to_string(definition), run.substr(count + counted.size()));
    const std::string program = plain[p].substr(0, plain[p].find(' '));
    EXPECT_EQ("ECHO Failed at line " + std::to_string(c + 1) + " of c.cmd: " + program + " " +
                  (definition < 10 ? "pd " : "td ") + kSpecialNames[definition - 1],
              Handed(run.substr(0, count)));
    if (command(p + 1)) continue;
    const std::string& note = checked.at(++c);
    ASSERT_EQ(0u, note.rfind(NotePrefix(definition), 0)) << note;
    recap.push_back(Handed(note.substr(NotePrefix(definition).size())));
  }
  ASSERT_EQ(10, definition);
  ASSERT_EQ(10u, recap.size());
  ASSERT_EQ(10u, progress.size());
  for (size_t i = 0; i < recap.size(); ++i) {
    const std::string shown = (i < 9 ? "pd " : "td ") + std::string(kSpecialNames[i]);
    EXPECT_EQ("Failed: " + shown, recap[i]);
    // Its place among the 10 definitions of the migration.
    const std::string percent = i < 9 ? " " + std::to_string(10 * (i + 1)) : "100";
    EXPECT_EQ("[" + percent + "%] " + std::to_string(i + 1) + " of 10  " + shown, progress[i]);
  }
  EXPECT_EQ(2, std::count_if(checked.begin(), checked.end(),
                             [](const std::string& line) { return line.rfind(':', 0) == 0; }));
  EXPECT_EQ(":DEFSHIFT_END", checked.back());
}

// What the interpreter of Windows NT 4.0 lacks stands only after IF
// CMDEXTVERSION 2 (or, for EXIT /B, after a test of the dynamic ERRORLEVEL,
// which it lacks too); and the file sets the same few variables however many
// definitions it holds, so that its environment does not grow with the
// failures.
void ExpectRunsOnWindowsNT4(const Lines& lines) {
  const char* const newer[] = {"EXIT /B", "SETLOCAL ", "DELAYEDEXPANSION", "SET /P", "%~"};
  const std::string variables[] = {
      "DEFSHIFT_FAILED", "DEFSHIFT_FD", "DEFSHIFT_L", "DEFSHIFT_A", "DEFSHIFT_U", "DEFSHIFT_N",
      "DEFSHIFT_J",      "DEFSHIFT_K",  "DEFSHIFT_W", "DEFSHIFT_S", "DEFSHIFT_D", "DEFSHIFT_E",
      "DEFSHIFT_I",      "DEFSHIFT_Q",  "DEFSHIFT_P", "DEFSHIFT_R", "ERRORLEVEL"};
  for (const std::string& whole : lines) {
    if (whole.rfind("@REM", 0) == 0) continue;
    // The file's own part of the line: the values of a command or a name may
    // hold anything.
    std::string line = whole;
    if (Unshown(whole).rfind("tavo", 0) == 0) line = whole.substr(whole.find(kCheckStart));
    // The values of A, U and N hold names.
    for (const char* named : {"@SET DEFSHIFT_A=", "@SET DEFSHIFT_U=", "@SET DEFSHIFT_N="}) {
      if (whole.rfind(named, 0) == 0) line = named;
    }
    if (whole.rfind("@IF \"%DEFSHIFT_FD%\"", 0) == 0) line = whole.substr(0, whole.find(" ECHO "));
    for (const char* construct : newer) {
      if (!Has(line, construct)) continue;
      EXPECT_TRUE(line.rfind("@IF CMDEXTVERSION 2 ", 0) == 0 ||
                  line.rfind("@IF NOT \"%ERRORLEVEL%\"==\"\" EXIT /B ", 0) == 0)
          << line;
    }
    // Every SET names one of the variables.
    for (size_t at = line.find("SET "); at != std::string::npos; at = line.find("SET ", at + 1)) {
      size_t name = at + 4;
      if (line.compare(name, 3, "/A ") == 0) name += 3;
      if (line.compare(name, 1, "\"") == 0) ++name;
      bool known = false;
      for (const std::string& v : variables) known |= line.compare(name, v.size(), v) == 0;
      EXPECT_TRUE(known) << line.substr(at);
    }
  }
}

// The length of the longest line of a checked file once the interpreter has
// put in the values of the variables it names: those set by the file (their
// assignments read by the model, the journal's own name taken as it is), and
// the journal's name with Folder characters of its folder before it.
size_t LongestExpanded(const Lines& lines, size_t Folder) {
  std::map<std::string, size_t> length;  // %NAME% -> the length of its value
  size_t longest = 0;
  for (const std::string& line : lines) {
    if (line.rfind("@SET DEFSHIFT_J=", 0) == 0) length["%DEFSHIFT_J%"] = Folder + line.size() - 16;
    size_t expanded = line.size();
    for (const auto& [name, value] : length) {
      for (size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + 1)) {
        expanded += value - std::min(value, name.size());
      }
    }
    longest = std::max(longest, expanded);
    // The assignments the lines after this one expand.
    for (const char* variable :
         {"DEFSHIFT_A", "DEFSHIFT_U", "DEFSHIFT_N", "DEFSHIFT_D", "DEFSHIFT_E", "DEFSHIFT_I",
          "DEFSHIFT_Q", "DEFSHIFT_P", "DEFSHIFT_R"}) {
      const std::string set = std::string("@SET ") + variable + "=";
      if (line.rfind(set, 0) != 0) continue;
      // The value as the line holds it, to its first & that the interpreter
      // reads; its carets and %% count once.
      size_t end = Unescaped(line, "& ");
      std::string value =
          line.substr(set.size(), end == std::string::npos ? end : end - set.size());
      size_t n = 0;
      for (size_t i = 0; i < value.size(); ++i, ++n) {
        if (value[i] == '^' || (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%'))
          ++i;
      }
      if (Has(value, "%DEFSHIFT_J%")) n += length["%DEFSHIFT_J%"] - 12;
      length["%" + std::string(variable) + "%"] = n;
    }
  }
  return longest;
}

// The checked and journaled files of the longest region keep every line
// within the interpreter's limit, the checks and the line that names the
// region definition included; so do those of names that hold every character
// the interpreter treats specially.
TEST_F(ChecksTest, LongestRegionFitsEveryCheckedLine) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  ASSERT_NO_FATAL_FAILURE(Image("SPECIAL"));
  std::string special;
  while (special.size() < kMaxRegionLength) special += "&%^|<>";
  special.resize(kMaxRegionLength);
  const std::string quotes = std::string(kMaxRegionLength - 1, '"') + "(";
  for (const std::string& region : {special, quotes, std::string(kSpecialRegion)}) {
    for (const char* image : {"ORDENTRY", "SPECIAL"}) {
      for (const Lines& option : {Lines{"-e"}, Lines{"-j", "a&b %x%.jnl"}}) {
        Lines args = {"-i", image, "-r", region, "-o", "long.cmd"};
        args.insert(args.end(), option.begin(), option.end());
        ASSERT_NO_FATAL_FAILURE(Defshift(args));
        const Lines lines = FileLines("long.cmd");
        size_t longest = 0;
        std::string recap;
        for (const std::string& line : lines) {
          longest = std::max(longest, line.size());
          if (line.rfind(NotePrefix(30), 0) == 0)
            recap = Handed(line.substr(NotePrefix(30).size()));
        }
        EXPECT_GE(kInterpreterLineLimit, longest);
        // So too once the interpreter has put in the values of the variables a
        // line names, with the journal in a folder of 120 characters.
        EXPECT_GE(kInterpreterLineLimit, LongestExpanded(lines, 120)) << region;
        if (image[0] == 'O') {
          EXPECT_EQ("Failed: rd " + region, recap);
        }
        // The folder of the file is put in before the line is read: the
        // assignment is quoted, whatever the folder holds.
        if (option.size() == 2) {
          EXPECT_EQ(1, std::count(lines.begin(), lines.end(),
                                  "@IF CMDEXTVERSION 2 SET \"DEFSHIFT_J=%~dp0a&b %%x%%.jnl\""));
        }
        ExpectRunsOnWindowsNT4(lines);
      }
    }
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

  // Writes the command files plain.cmd and, with Options, migratetavo.cmd of the
  // image Name for Region; returns the calls that plain.cmd makes, as the models
  // of the interpreter and of the C runtime find them.
  std::vector<Lines> Migrate(const char* Name, const char* Region, const Lines& Options) {
    Defshift({"-i", Name, "-r", Region, "-o", "plain.cmd"});
    Lines args = {"-i", Name, "-r", Region, "-a", "a.csv"};
    args.insert(args.end(), Options.begin(), Options.end());
    Defshift(args);
    return CallsOf("plain.cmd");
  }

  // The calls that the command file name makes, as the models find them.
  std::vector<Lines> CallsOf(const std::string& name) const {
    std::vector<Lines> calls;
    for (const std::string& whole : FileLines(name)) {
      const std::string line = Unshown(whole);
      if (line.rfind("tavo", 0) != 0) continue;
      calls.emplace_back();
      std::string why;
      EXPECT_TRUE(
          SplitArguments(Handed(line.substr(0, line.find(kCheckStart))), &calls.back(), &why))
          << line << "\n"
          << why;
    }
    return calls;
  }

  // Runs the command file name under cmd.exe /c, the stand-in failing by Rules
  // (lines "<program> <status> <argument>"), and expects the exit status status
  // (any for kAnyStatus). Returns what it printed from the counts line on;
  // *calls gets the calls recorded, each a name and arguments.
  static constexpr int kAnyStatus = -2;
  // A run ended by force (Counts false) prints no counts: nothing is returned.
  Lines Run(const std::string& name, const std::string& Rules, int status,
            std::vector<Lines>* calls = nullptr, bool Counts = true) {
    std::ofstream(dir_.Path("fail.txt"), std::ios::binary) << Rules;
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, sizeof system);
    // Wine's cmd.exe now and then cannot start a program of the file that is
    // there, which it reports as "Can't recognize '<the command>'": such a run
    // tells nothing of the file, so it is made again, from the journal as it
    // was before it.
    const bool programs = std::filesystem::exists(dir_.Path("tavoadd.exe")) &&
                          std::filesystem::exists(dir_.Path("tavoupdate.exe"));
    const std::string journal = dir_.Path("migratetavo.jnl");
    const bool journaled = std::filesystem::is_regular_file(journal);
    const std::string before = journaled ? ReadFile(journal) : "";
    ProgramRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (attempt > 0 && journaled) std::ofstream(journal, std::ios::binary) << before;
      if (attempt > 0 && !journaled && !std::filesystem::is_directory(journal)) {
        std::filesystem::remove(journal);
      }
      std::filesystem::remove(dir_.Path("calls.log"));
      run = RunProgram(std::string(system, n) + "\\cmd.exe", {"/c", name}, dir_.path());
      if (!programs || !Has(run.err, "Can't recognize 'tavo")) break;
    }
    if (status != kAnyStatus) {
      EXPECT_EQ(status, run.status) << run.err;
    }
    screen_ = SplitLines(run.out);
    if (calls != nullptr) {
      calls->clear();
      for (const std::string& line : SplitLines(ReadFile(dir_.Path("calls.log")))) {
        calls->emplace_back(1);
        for (const char c : line) {
          if (c == '\x1f') {
            calls->back().emplace_back();
          } else {
            calls->back().back().push_back(c);
          }
        }
      }
    }
    const Lines lines = SplitLines(run.out);
    if (!Counts) return {};
    for (auto line = lines.begin(); line != lines.end(); ++line) {
      if (Has(*line, kCountEnd)) return Lines(line, lines.end());
    }
    ADD_FAILURE() << "no counts line in\n" << run.out;
    return {};
  }

  // The line number, from 1, of the first line of the file name that begins
  // with Start.
  size_t LineOf(const std::string& name, const std::string& Start) const {
    const Lines lines = FileLines(name);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(Start, 0) == 0) return i + 1;
    }
    ADD_FAILURE() << "no line begins with " << Start;
    return 0;
  }

  // What the last Run printed, a line each, and as one text.
  std::string run_out() const {
    std::string text;
    for (const std::string& line : screen_) text += line + "\n";
    return text;
  }
  Lines screen_;
};

// The sample's command file with a tavoadd that fails for two names, with the
// statuses 1 and -1; then with every command passing; then without tavoupdate,
// which cannot be started, so that its every command fails.
TEST_F(InterpreterTest, SampleNamesTheFailedDefinitionsAndEndsWithStatusOne) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  const std::vector<Lines> expected = Migrate("ORDENTRY", "ORDERS", {"-e"});
  ASSERT_EQ(140u, expected.size());
  std::vector<Lines> calls;
  EXPECT_EQ(
      (Lines{"2 of 140 tavoadd/tavoupdate commands failed", "Failed: wd OE02", "Failed: td ORD1"}),
      Run("migratetavo.cmd", "tavoadd 1 OE02\ntavoadd -1 ORD1\n", 1, &calls));
  EXPECT_EQ(expected, calls);
  EXPECT_EQ(Lines{"0 of 140 tavoadd/tavoupdate commands failed"},
            Run("migratetavo.cmd", "", 0, &calls));
  EXPECT_EQ(expected, calls);

  std::filesystem::remove(dir_.Path("tavoupdate.exe"));
  const Lines recap = Run("migratetavo.cmd", "", 1);
  ASSERT_EQ(31u, recap.size());  // every definition has tavoupdate lines
  const auto updates = std::count_if(expected.begin(), expected.end(),
                                     [](const Lines& call) { return call[0] == "tavoupdate"; });
  EXPECT_EQ(std::to_string(updates) + " of 140" + kCountEnd, recap[0]);
  EXPECT_EQ("Failed: rd ORDERS", recap.back());
}

// Names, descriptions and a region that hold every character the interpreter
// treats specially reach the programs exactly, and the recap names the failed
// definitions exactly as the account does.
TEST_F(InterpreterTest, SpecialCharactersArriveAndAreNamedExactly) {
  ASSERT_NO_FATAL_FAILURE(Image("SPECIAL"));
  const std::vector<Lines> expected = Migrate("SPECIAL", kSpecialRegion, {"-E"});
  std::vector<Lines> calls;
  const Lines recap =
      Run("migratetavo.cmd",
          "tavoadd 1 A&B|C<D>\ntavoupdate -1 \"q\" ,;=\ntavoadd 255 a\"b\ntavoupdate 3 %1\n", 1,
          &calls);
  EXPECT_EQ(expected, calls);
  Lines names;
  int failed = 0;
  for (const Lines& call : calls) {
    ASSERT_LE(7u, call.size());
    EXPECT_EQ(kSpecialRegion, call[4]);
    const std::string& name = call[6];
    if (call[0] == "tavoadd") names.push_back(name);
    failed += call[0] == "tavoadd" ? (name == "A&B|C<D>" || name == "a\"b")
                                   : (name == "\"q\" ,;=" || name == "%1");
  }
  EXPECT_EQ(Lines(std::begin(kSpecialNames), std::end(kSpecialNames)), names);
  EXPECT_EQ(
      (Lines{std::to_string(failed) + " of " + std::to_string(calls.size()) + kCountEnd,
             "Failed: pd A&B|C<D>", "Failed: pd \"q\" ,;=", "Failed: pd a\"b", "Failed: td %1"}),
      recap);
  const std::string account = ReadFile(dir_.Path("a.csv"));
  for (const char* row : {",pd,A&B|C<D>,migrated,", ",pd,\"\"\"q\"\" ,;=\",migrated,",
                          ",pd,\"a\"\"b\",migrated,", ",td,%1,"}) {
    EXPECT_TRUE(Has(account, row)) << row << "\n" << account;
  }
  // On screen, each definition's line and, after each command that failed,
  // the line of the file that holds it, with the name exactly.
  const Lines file = FileLines("migratetavo.cmd");
  std::vector<Lines> at(file.size() + 1);  // the call of each line, by number
  for (size_t i = 0; i < file.size(); ++i) {
    const std::string line = Unshown(file[i]);
    if (line.rfind("tavo", 0) != 0) continue;
    std::string why;
    EXPECT_TRUE(SplitArguments(Handed(line.substr(0, line.find(kCheckStart))), &at[i + 1], &why));
  }
  Lines shown, expected_shown;
  for (const std::string& line : screen_) {
    if (line.rfind("Failed at line ", 0) == 0 || line.rfind("[", 0) == 0) shown.push_back(line);
  }
  size_t number = 0;  // of the last command line whose call came
  int definition = 0;
  for (const Lines& call : calls) {
    if (call[0] == "tavoadd") {
      ++definition;
      const std::string percent = definition < 10 ? " " + std::to_string(10 * definition) : "100";
      expected_shown.push_back("[" + percent + "%] " + std::to_string(definition) + " of 10  " +
                               call[2] + " " + call[6]);
    }
    while (++number < at.size() && at[number] != call) {
    }
    ASSERT_GT(at.size(), number);
    const bool failure = call[0] == "tavoadd" ? (call[6] == "A&B|C<D>" || call[6] == "a\"b")
                                              : (call[6] == "\"q\" ,;=" || call[6] == "%1");
    if (!failure) continue;
    expected_shown.push_back("Failed at line " + std::to_string(number) +
                             " of migratetavo.cmd: " + call[0] + " " + call[2] + " " + call[6]);
  }
  EXPECT_EQ(expected_shown, shown);
}

// Run by CALL from another command file: the caller gets the status as its
// ERRORLEVEL and its environment back as it was, its own marker included,
// which names no definition.
TEST_F(InterpreterTest, CallerKeepsItsEnvironmentAndGetsTheStatus) {
  ASSERT_NO_FATAL_FAILURE(Image("SPECIAL"));
  Migrate("SPECIAL", kSpecialRegion, {"/e"});
  std::ofstream(dir_.Path("outer.cmd"), std::ios::binary) << "@SET DEFSHIFT_F2=the caller's\r\n"
                                                             "@SET DEFSHIFT_FAILED=7\r\n"
                                                             "@CALL migratetavo.cmd\r\n"
                                                             "@ECHO status %ERRORLEVEL%\r\n"
                                                             "@SET DEFSHIFT_\r\n";
  const Lines recap = Run("outer.cmd", "tavoupdate 1 on\n", kAnyStatus);
  ASSERT_EQ(5u, recap.size());
  EXPECT_TRUE(Has(recap[0], " of 40" + std::string(kCountEnd))) << recap[0];
  EXPECT_EQ((Lines{"Failed: pd on", "status 1", "DEFSHIFT_F2=the caller's", "DEFSHIFT_FAILED=7"}),
            Lines(recap.begin() + 1, recap.end()));
}

// The calls of calls that do not name Name.
std::vector<Lines> Without(const std::vector<Lines>& calls, const std::string& Name) {
  std::vector<Lines> kept;
  for (const Lines& call : calls) {
    if (std::find(call.begin(), call.end(), Name) == call.end()) kept.push_back(call);
  }
  return kept;
}

// The journaled sample, run with a tavoadd and tavoupdate that fail for OE02:
// defshift with the journal then writes OE02's commands alone. That file is
// ended by force part way (a call ends the interpreter before it does
// anything) and resumed; then defshift leaves nothing, and its file runs no
// command and ends with status 0. Over the runs every command passed once.
TEST_F(InterpreterTest, JournaledRunsFinishTheMigrationWithEachCommandOnce) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  std::vector<Lines> expected = Migrate("ORDENTRY", "ORDERS", {"-j", "migratetavo.jnl"});
  const Lines migrate = {"-i", "ORDENTRY", "-r", "ORDERS", "-j", "migratetavo.jnl"};
  std::vector<Lines> calls;
  EXPECT_EQ((Lines{"8 of 140 tavoadd/tavoupdate commands failed", "Failed: wd OE02"}),
            Run("migratetavo.cmd", "tavoadd 1 OE02\ntavoupdate 1 OE02\n", 1, &calls));
  EXPECT_EQ(expected, calls);
  EXPECT_EQ("Failed: wd OE02\n", ReadText(dir_.Path("migratetavo.failed")));
  std::vector<Lines> passed = Without(calls, "OE02");
  Defshift(migrate);
  const std::vector<Lines> left = CallsOf("migratetavo.cmd");
  ASSERT_EQ(8u, left.size());
  EXPECT_TRUE(Without(left, "OE02").empty());

  Run("migratetavo.cmd", "tavoupdate kill ResourceDescription=\"Order desk 2\"\n", kAnyStatus,
      &calls, /*Counts=*/false);
  ASSERT_LT(calls.size(), 8u);
  passed.insert(passed.end(), calls.begin(), calls.end());
  Defshift(migrate);
  // The run ended by force left its lock, which the report names: no run is
  // going on, so it goes.
  EXPECT_TRUE(Has(out_, " Journal migratetavo.jnl: its lock migratetavo.jnl.lock exists: "))
      << out_;
  std::filesystem::remove(dir_.Path("migratetavo.jnl.lock"));
  EXPECT_EQ(Lines{"0 of " + std::to_string(8 - calls.size()) + kCountEnd},
            Run("migratetavo.cmd", "", 0, &calls));
  passed.insert(passed.end(), calls.begin(), calls.end());
  std::sort(passed.begin(), passed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, passed);

  Defshift(migrate);
  EXPECT_TRUE(Has(out_, " Nothing is left to run: ")) << out_;
  EXPECT_EQ(Lines{std::string("0 of 0") + kCountEnd}, Run("migratetavo.cmd", "", 0, &calls));
  EXPECT_TRUE(calls.empty());
}

// The journaled sample run with a tavoadd that fails for OE02: the screen
// holds the programs' output, a line for each definition with its place, the
// failure line naming the line of the command file, and the recap; none of
// the file's machinery. The journal notes each tavoadd before it runs and the
// end of the run, and the lock is given back.
TEST_F(InterpreterTest, JournaledRunShowsOneLineADefinitionAndTheLineOfAFailure) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  const std::vector<Lines> expected = Migrate("ORDENTRY", "ORDERS", {"-j", "migratetavo.jnl"});
  std::vector<Lines> calls;
  EXPECT_EQ((Lines{"1 of 140 tavoadd/tavoupdate commands failed", "Failed: wd OE02"}),
            Run("migratetavo.cmd", "tavoadd 1 OE02\n", 1, &calls));
  EXPECT_EQ(expected, calls);
  const std::string failure =
      "Failed at line " +
      std::to_string(LineOf("migratetavo.cmd", "@tavoadd -c wd -r ORDERS -P OE02 ")) +
      " of migratetavo.cmd: tavoadd wd OE02";
  Lines shown;
  for (const std::string& line : screen_) {
    for (const char* machinery : {"SET /A", "ERRORLEVEL", "DSJ1", "DEFSHIFT_", "tavoupdate -c"}) {
      EXPECT_FALSE(Has(line, machinery)) << line;
    }
    if (line.rfind("[", 0) == 0 || line.rfind("Failed at", 0) == 0) shown.push_back(line);
  }
  ASSERT_EQ(31u, shown.size());  // 30 definitions and the failure
  EXPECT_EQ("[  2%] 1 of 34  wd OE01", shown[0]);
  EXPECT_EQ("[  5%] 2 of 34  wd OE02", shown[1]);
  EXPECT_EQ(failure, shown[2]);
  EXPECT_EQ("[100%] 34 of 34  rd ORDERS", shown.back());
  // The header's four lines, the 31 above, the recap's two and the failure
  // list's line: nothing else.
  EXPECT_GE(38u, screen_.size()) << run_out();

  const Lines journal = SplitLines(ReadText(dir_.Path("migratetavo.jnl")));
  ASSERT_EQ(139u + 29u + 1u, journal.size());  // every command but one, 29 starts, the end
  EXPECT_EQ(0u, journal[0].rfind("DSJ1 start ", 0));
  EXPECT_EQ("DSJ1 end", journal.back());
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("migratetavo.jnl.lock")));
}

// A journal whose name a folder takes from the start stops the run before its
// first tavoadd; one whose name a folder takes part way (the program of a
// command takes it) stops the run at once after that command, which the
// screen names with the line to append by hand. Either run ends with status 1
// and gives the lock back; with the journal mended, defshift writes every
// command but the ones that ran.
TEST_F(InterpreterTest, JournalThatCannotBeWrittenStopsTheRun) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  const std::vector<Lines> expected = Migrate("ORDENTRY", "ORDERS", {"-j", "migratetavo.jnl"});
  const Lines migrate = {"-i", "ORDENTRY", "-r", "ORDERS", "-j", "migratetavo.jnl"};
  const std::string journal = dir_.Path("migratetavo.jnl");
  std::filesystem::create_directory(journal);
  std::vector<Lines> calls;
  Run("migratetavo.cmd", "", 1, &calls, /*Counts=*/false);
  EXPECT_TRUE(calls.empty());
  const std::string first = std::to_string(LineOf("migratetavo.cmd", "@tavoadd "));
  EXPECT_TRUE(Has(run_out(), "Stopped: the journal \"migratetavo.jnl\" cannot be written"))
      << run_out();
  EXPECT_TRUE(Has(run_out(), "The tavoadd at line " + first + " of migratetavo.cmd did not run."))
      << run_out();
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("migratetavo.jnl.lock")));
  std::filesystem::remove(journal);

  // The fourth tavoupdate of OE01 takes the journal's name.
  const std::string argument = "ResourceDescription=\"Order desk 1\"";
  Run("migratetavo.cmd", "tavoupdate folder:migratetavo.jnl " + argument + "\n", 1, &calls,
      /*Counts=*/false);
  ASSERT_EQ(5u, calls.size());
  EXPECT_EQ(std::vector<Lines>(expected.begin(), expected.begin() + 5), calls);
  const size_t line = LineOf("migratetavo.cmd", "@tavoupdate -c wd -r ORDERS -P OE01  Priority=5 ");
  EXPECT_TRUE(Has(run_out(), "The command at line " + std::to_string(line) +
                                 " of migratetavo.cmd succeeded, but its line did not reach "
                                 "the journal."))
      << run_out();
  std::string owed;
  for (const std::string& shown : screen_) {
    if (shown.rfind("DSJ1 ", 0) == 0) owed = shown;
  }
  ASSERT_EQ(kJournalLineLength, owed.size()) << run_out();
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("migratetavo.jnl.lock")));
  // Mended: the folder goes, the journal comes back with the line owed.
  std::filesystem::remove(journal);
  std::filesystem::rename(journal + ".kept", journal);
  std::ofstream(journal, std::ios::binary | std::ios::app) << owed << "\r\n";
  Defshift(migrate);
  EXPECT_EQ(std::vector<Lines>(expected.begin() + 5, expected.end()), CallsOf("migratetavo.cmd"));
}

// A second run while the lock is held runs nothing, says what to remove, and
// ends with status 1, leaving the lock; defshift, reading the journal, says a
// run may be going on.
TEST_F(InterpreterTest, SecondRunWhileTheLockIsHeldRunsNothing) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  Migrate("ORDENTRY", "ORDERS", {"-j", "migratetavo.jnl"});
  const std::string lock = dir_.Path("migratetavo.jnl.lock");
  std::filesystem::create_directory(lock);
  std::vector<Lines> calls;
  Run("migratetavo.cmd", "", 1, &calls, /*Counts=*/false);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(Has(run_out(),
                  "Another run of this command file holds its journal: the lock "
                  "\"migratetavo.jnl.lock\" exists. Nothing is run."))
      << run_out();
  EXPECT_TRUE(Has(run_out(), "\nRD \"migratetavo.jnl.lock\"")) << run_out();
  EXPECT_TRUE(std::filesystem::is_directory(lock));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("migratetavo.jnl")));
  Defshift({"-i", "ORDENTRY", "-r", "ORDERS", "-j", "migratetavo.jnl"});
  EXPECT_TRUE(Has(out_, "a run of its command file may be going on")) << out_;
}

// A run ended by force while a tavoadd runs: the next defshift names that
// definition in doubt, with the line to append if its resource exists, and
// the account gives it its reason.
TEST_F(InterpreterTest, InterruptedTavoaddIsNamedInDoubt) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  Migrate("ORDENTRY", "ORDERS", {"-j", "migratetavo.jnl"});
  std::vector<Lines> calls;
  Run("migratetavo.cmd", "tavoadd kill PR01\n", kAnyStatus, &calls, /*Counts=*/false);
  std::filesystem::remove(dir_.Path("migratetavo.jnl.lock"));
  Defshift({"-i", "ORDENTRY", "-r", "ORDERS", "-j", "migratetavo.jnl", "-a", "a.csv"});
  const std::string add = "tavoadd -c wd -r ORDERS -P PR01";
  std::string line = kJournalTag;
  AppendFingerprint(CommandFingerprint(add.data(), add.size()), &line);
  EXPECT_TRUE(Has(out_,
                  " .... resource 'PR01' (wd) is in doubt: its tavoadd was running when "
                  "the last run of the command file ended. Check whether the resource "
                  "exists; if it does, append this line to the journal migratetavo.jnl: " +
                      line + "\n"))
      << out_;
  EXPECT_TRUE(Has(ReadFile(dir_.Path("a.csv")), ",wd,PR01,migrated,in-doubt\r\n"));
}

#else

TEST(InterpreterTest, RunsOnlyOnWindows) {
  GTEST_SKIP() << "the command files are run by cmd.exe, which runs only on Windows (here, the "
                  "Windows build under Wine); their lines are read by the model above";
}

#endif

#if defined(_WIN32)
using PackTest = InterpreterTest;
#else
using PackTest = ChecksTest;
#endif

// Packed, checked or not, each definition's programs get the same attributes in
// the same order, in fewer calls: for the sample, and for the filled control
// file with a long region of what the interpreter reads, where most
// definitions need several lines. On Windows, cmd.exe runs the checked file as
// the models read it.
TEST_F(PackTest, PackedFileHandsEachDefinitionItsAttributesInFewerCalls) {
  ASSERT_NO_FATAL_FAILURE(Image("ORDENTRY", kSample));
  std::ofstream(dir_.Path("filled.desc"), std::ios::binary) << FilledDescription();
  ASSERT_NO_FATAL_FAILURE(Image("FILLED", dir_.Path("filled.desc")));
  const std::string piece = " \"q\" (%1) ^&|<>";
  std::string region = "R";
  while (region.size() + piece.size() <= std::min<size_t>(950, kMaxRegionLength)) region += piece;
  for (const auto& [name, reg] :
       {std::pair<const char*, std::string>{"ORDENTRY", "ORDERS"}, {"FILLED", region}}) {
    ASSERT_NO_FATAL_FAILURE(Defshift({"-i", name, "-r", reg, "-o", "plain.cmd"}));
    const std::vector<Lines> plain = Calls("plain.cmd", false);
    for (const char* option : {"-p", "-e"}) {  // -p twice, then checked
      ASSERT_NO_FATAL_FAILURE(Defshift({"-i", name, "-r", reg, "-o", "packed.cmd", "-p", option}));
      EXPECT_TRUE(Has(out_,
                      "\nAttributes packed: each tavoupdate command carries as many of its "
                      "definition's attributes as fit in a line of 2047 characters\n"));
      const std::vector<Lines> packed = Calls("packed.cmd", true);
      EXPECT_EQ(Definitions(plain), Definitions(packed)) << name;
      EXPECT_LT(packed.size(), plain.size()) << name;
#if defined(_WIN32)
      std::vector<Lines> calls;
      if (option[1] == 'p') continue;
      EXPECT_EQ(Lines{"0 of " + std::to_string(packed.size()) + kCountEnd},
                Run("packed.cmd", "", 0, &calls));
      EXPECT_EQ(packed, calls);
#endif
    }
  }
}

}  // namespace
