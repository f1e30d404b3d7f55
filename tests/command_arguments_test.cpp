// What tavoadd and tavoupdate receive: every command line of a definition, read
// by the command interpreter and then split into arguments by the C runtime,
// gives back exactly the region, the resource name and each attribute as the
// remarks show it, whatever bytes the values hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "admsa_journal.h"
#include "admsa_tab.h"
#include "admsa_tran_check.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_pack.h"
#include "admsa_tran_record.h"
#include "admsa_tran_render.h"
#include "support/argument_model.h"
#include "support/capture.h"
#include "support/interpreter_model.h"

namespace {

using Args = std::vector<std::string>;

// The arguments a program receives from a line of the command file; an empty
// list, with a test failure, when the interpreter or the runtime would not hand
// them on as written.
Args Received(const std::string& line) {
  std::string handed;
  std::string why;
  EXPECT_TRUE(Interpret(line, &handed, &why)) << line << "\n" << why;
  Args args;
  EXPECT_TRUE(SplitArguments(handed, &args, &why)) << handed << "\n" << why;
  return args;
}

std::string Encoded(const std::string& arg) {
  std::string text;
  AppendArgument(arg.data(), arg.size(), &text);
  return text;
}

// The command lines of r as the command file holds them.
std::vector<std::string> CommandLines(AttrToScript* r, CommandChecks* check = nullptr,
                                      bool pack = false) {
  FILE* f = TempStream();
  EXPECT_NE(nullptr, f);
  if (f == nullptr) return {};
  const std::string& text = RenderDefinition(*r, check, pack, nullptr);
  EXPECT_EQ(text.size(), std::fwrite(text.data(), 1, text.size(), f));
  std::rewind(f);
  std::vector<std::string> lines;
  std::string line;
  for (int c; (c = std::fgetc(f)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (line.rfind("tavo", 0) == 0) lines.push_back(line);
    line.clear();
  }
  std::fclose(f);
  return lines;
}

// An attribute as the remarks show it: each \" a plain ".
std::string Shown(const std::string& attr) {
  std::string shown;
  for (size_t i = 0; i < attr.size(); ++i) {
    if (attr[i] == '\\' && i + 1 < attr.size() && attr[i + 1] == '"') continue;
    shown += attr[i];
  }
  return shown;
}

// clang-format off
// Arguments that the command lines of old wrote wrong, and their neighbours.
const char* const kHardArguments[] = {
  "G\\",                                // trailing backslash
  "GroupName=\"G\\\"",                  // backslash before the closing quote
  "ResourceDescription=\"a\\\"b\"",     // backslash before an inner quote
  "ResourceDescription=\"say \"hi\" now\"",
  "ResourceDescription=\"\"quoted\"\"", // inner quotes at both ends
  "\"start",
  "end\"",
  "\"",
  "\\\"",
  "\\\\\"\\\\",
  "",                                   // empty value
  " ",
  "   ",                                // only blanks
  "A B",                                // blank in a name
  "MY REGION",                          // blank in a region
  "\tTAB\t",
  "\\\\server\\share\\",                // a path ending in a backslash, with a blank after it
  "\\\\server\\share\\ x",
  "a\\\\b",
  "ends in two\\\\",
  "%PATH% & \"x\" ^ <in> |",
};
// clang-format on

}  // namespace

TEST(AppendArgumentTest, EveryHardArgumentComesBackAloneAndInPlace) {
  for (const char* arg : kHardArguments) {
    const std::string line = "tavoupdate " + Encoded(arg) + " next " + Encoded(arg);
    Args args;
    std::string why;
    ASSERT_TRUE(SplitArguments(line, &args, &why)) << line << "\n" << why;
    EXPECT_EQ((Args{"tavoupdate", arg, "next", arg}), args) << line;
    // And through the interpreter, as the command file carries it.
    EXPECT_EQ((Args{"tavoupdate", arg, "next", arg}), Received(ScriptEscape(line))) << line;
  }
}

TEST(AppendArgumentTest, OrdinaryArgumentsKeepTheirText) {
  const std::pair<const char*, const char*> kept[] = {
      {"GroupName=\"GRP\"", "GroupName=\\\"GRP\\\""},
      {"ResourceDescription=\"Order entry\"", "\"ResourceDescription=\\\"Order entry\\\"\""},
      {"Priority=10", "Priority=10"},
      {"PathName=\"C:\\progs\\a.exe\"", "PathName=\\\"C:\\progs\\a.exe\\\""},
      {"REGION1", "REGION1"},
      {"", "\"\""},
  };
  for (const auto& k : kept) EXPECT_EQ(k.second, Encoded(k.first)) << k.first;
}

// The model must split the way the runtime does, or the checks above prove
// nothing: the lines of old lost or merged arguments.
TEST(AppendArgumentTest, ModelSplitsOldLinesWrongly) {
  const std::pair<const char*, Args> old[] = {
      {"tavoupdate -P T  GroupName=\\\"G\\\\\" ProgName=\\\"PROG3\\\"",
       {"tavoupdate", "-P", "T", "GroupName=\"G\\ ProgName=\"PROG3\""}},
      {"tavoupdate -P T  \"ResourceDescription=\\\"say \"hi\" now\\\"\"",
       {"tavoupdate", "-P", "T", "ResourceDescription=\"say hi now\""}},
      {"tavoadd -c td -r MY REGION -P A B",
       {"tavoadd", "-c", "td", "-r", "MY", "REGION", "-P", "A", "B"}},
      {"x \"\" y \"a\"\"b\"", {}},
  };
  for (const auto& o : old) {
    Args args;
    std::string why;
    const bool split = SplitArguments(o.first, &args, &why);
    EXPECT_EQ(!o.second.empty(), split) << o.first;
    if (split) {
      EXPECT_EQ(o.second, args) << o.first;
    }
  }
}

// Definitions of every class made of random printable bytes: each tavoadd and
// tavoupdate line gives back the region, the name and the attributes in order.
TEST(CommandLineTest, RandomValuesReachTheProgramsExactly) {
  std::mt19937 random(20261207);
  std::vector<char> bytes;
  for (int b = 32; b < 256; ++b) {
    if (b != 127) bytes.push_back(static_cast<char>(b));
  }
  // Quotes, backslashes and blanks come often, so that they meet.
  for (int i = 0; i < 20; ++i) {
    for (char c : {'"', '\\', ' ', '%', '^'}) bytes.push_back(c);
  }
  auto text = [&](size_t most) {
    std::string t;
    for (size_t n = random() % (most + 1); n > 0; --n) t += bytes[random() % bytes.size()];
    return t;
  };
  for (int round = 0; round < 2000; ++round) {
    const int cls = static_cast<int>(random() % LSTid);
    const std::string name = text(12);
    std::string region = text(12);
    if (region.empty()) region = "R";
    AttrToScript r(name.c_str(), cls, region.c_str());
    Args attributes;
    for (int a = 0, n = static_cast<int>(random() % 6); a < n; ++a) {
      // Values that need quoting come wrapped in \" by the translation.
      const std::string value = random() % 2 ? "\\\"" + text(20) + "\\\"" : text(20);
      const std::string attr = "Attr" + std::to_string(a);
      r.Add(attr.c_str(), value.c_str());
      std::string stored = attr + "=" + value;
      stored.erase(stored.find_last_not_of(' ') + 1);
      attributes.push_back(Shown(stored));
    }
    const std::vector<std::string> lines = CommandLines(&r);
    std::vector<Args> expected;
    const Args head = cls == RDid
                          ? Args{"tavoupdate", "-c", "rd", "-r", region, "-P"}
                          : Args{"tavoupdate", "-c", ResTypeArr[cls], "-r", region, "-P", name};
    if (cls != RDid)
      expected.push_back({"tavoadd", "-c", ResTypeArr[cls], "-r", region, "-P", name});
    for (size_t a = 0; a < attributes.size(); a += 2) {
      Args update = head;
      for (size_t k = a; k < a + 2 && k < attributes.size(); ++k) update.push_back(attributes[k]);
      expected.push_back(update);
    }
    ASSERT_EQ(expected.size(), lines.size()) << round;
    for (size_t l = 0; l < lines.size(); ++l) {
      ASSERT_EQ(expected[l], Received(lines[l])) << "round " << round << ": " << lines[l];
    }
  }
}

// Packed, a tavoupdate line takes the attribute that fills it to the limit
// exactly, check included (the region's parentheses escape a checked line
// whole), not one character more; one too long for any line has its own.
TEST(CommandLineTest, PackedLinesFillUpToTheLimit) {
  CommandChecks checks(1, nullptr);
  const std::string check = checks.Sample();
  for (const int type : {PDid, RDid}) {
    for (CommandChecks* with : {static_cast<CommandChecks*>(nullptr), &checks}) {
      for (const size_t over : {0, 1}) {
        AttrToScript r("PROG1", type, "R(1)");
        r.Add("A", "1");
        const size_t room = kPackedLineLimit - CommandLines(&r, with, true).back().size();
        r.Add("B", std::string(room - 3 + over, 'x').c_str());  // " B=" and its value
        r.Add("C", std::string(kPackedLineLimit, 'y').c_str());
        r.Add("D", "1");
        const std::vector<std::string> lines = CommandLines(&r, with, true);
        ASSERT_EQ((type != RDid) + over + 3, lines.size()) << type << over;
        EXPECT_EQ(kPackedLineLimit - over * room, lines[type != RDid].size()) << type << over;
        EXPECT_EQ(" D=1" + (with != nullptr ? check : ""),
                  lines.back().substr(lines.back().rfind(" D=1")));
      }
    }
  }
}

// Packing counts on the length LineScan tells: it is the length the escaping
// writes, for a line alone and for one that a command is joined to, however the
// line is put together piece by piece.
TEST(LineScanTest, TellsTheLengthTheEscapingWrites) {
  std::mt19937 random(20261208);
  const std::string bytes = "ab =%^&|<>()\"\\";
  for (int round = 0; round < 5000; ++round) {
    std::string line;
    for (size_t n = random() % 24; n > 0; --n) line += bytes[random() % bytes.size()];
    LineScan scan;
    for (size_t at = 0; at < line.size();) {
      const size_t piece = std::min<size_t>(1 + random() % 4, line.size() - at);
      scan.Append(line.data() + at, piece);
      at += piece;
    }
    std::string alone;
    std::string joined;
    AppendScriptEscaped(line.data(), line.size(), &alone);
    AppendJoinEscaped(line.data(), line.size(), &joined);
    EXPECT_EQ(alone.size(), scan.Written(false)) << line;
    EXPECT_EQ(joined.size(), scan.Written(true)) << line;
  }
}

// The lines of a checked definition: every command followed by its check,
// escaped so that the check stays a command of its own; with a journal, the
// commands it holds left out and counted, and nothing at all (not even the
// remarks) when it holds every one. What the caller's text held before stays.
TEST(CheckedLinesTest, JournalLeavesOutTheCommandsItHoldsAndCountsThem) {
  const char* const commands[] = {"tavoadd -c pd -r R -P P1", "tavoupdate -c pd -r R -P P1 A=(1)",
                                  "tavoupdate -c pd -r R -P P1 B=%x%"};
  ScriptLines lines;
  lines.Add("@REM P1:");
  for (const char* command : commands) {
    lines.Begin()->append(command);
    lines.EndCommand();
  }
  auto held = [&](std::initializer_list<int> which) {
    std::string text;
    for (const int i : which) {
      text += kJournalTag;
      AppendFingerprint(CommandFingerprint(commands[i], std::strlen(commands[i])), &text);
      text += "\n";
    }
    return text;
  };
  const std::string before = "@REM before\n";

  std::string text = before;
  CheckCounts counts = AppendChecked(lines, CommandChecks(1, nullptr), &text);
  EXPECT_EQ(3, counts.written);
  EXPECT_EQ(0, counts.left_out);

  Journal journal;
  ASSERT_EQ(0, journal.ReadText(held({0})));
  text = before;
  counts = AppendChecked(lines, CommandChecks(7, &journal), &text);
  EXPECT_EQ(2, counts.written);
  EXPECT_EQ(1, counts.left_out);
  EXPECT_EQ(1u, journal.matched());
  std::vector<std::string> written;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    written.push_back(text.substr(at, end - at));
  }
  ASSERT_EQ(4u, written.size()) << text;
  EXPECT_EQ("@REM before", written[0]);
  EXPECT_EQ("@REM P1:", written[1]);
  EXPECT_EQ(0u, written[2].rfind("tavoupdate -c pd -r R -P P1 A=^(1^) & IF ERRORLEVEL 1 (", 0))
      << written[2];
  EXPECT_EQ(0u, written[3].rfind("tavoupdate -c pd -r R -P P1 B=%%x%% & IF ERRORLEVEL 1 (", 0))
      << written[3];
  for (size_t l = 2; l < 4; ++l) {
    EXPECT_NE(std::string::npos, written[l].find(kJournalTag)) << written[l];
  }

  Journal all;
  ASSERT_EQ(0, all.ReadText(held({0, 1, 2})));
  text = before;
  counts = AppendChecked(lines, CommandChecks(7, &all), &text);
  EXPECT_EQ(0, counts.written);
  EXPECT_EQ(3, counts.left_out);
  EXPECT_EQ(before, text);
}
