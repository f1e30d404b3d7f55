// The command file written for the console's code page (defshift -c), made by
// the built defshift: what the programs receive, read by the models of the
// command interpreter and the C runtime everywhere and, on Windows (and under
// Wine), by running the file under cmd.exe with the stand-in for tavoadd and
// tavoupdate (tests/programs/tavo_recorder.cpp), which records its arguments.
// windows/build.sh runs these tests a second time in Wine's German locale,
// whose console code page is 850.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "admsa_codepage_map.h"
#include "support/argument_model.h"
#include "support/capture.h"
#include "support/code_pages.h"
#include "support/interpreter_model.h"
#include "support/run_program.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

using Lines = std::vector<std::string>;

// The bytes of code page 1252 that stand for no character.
bool Undefined1252(unsigned b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// Text of the console's code page Console as the programs receive it, in the
// control file's code page 1252 ('~' for a byte that has no way back).
std::string Received(unsigned Console, const std::string& Text) {
  std::string received = Text;
  for (char& c : received) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) continue;
    const int back = BackTo1252(Console, b);
    c = back < 0 ? '~' : static_cast<char>(back);
  }
  return received;
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

std::string Hex(unsigned b) {
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", b);
  return hex;
}

class CodePageTest : public testing::Test {
 protected:
  // NAME.ctf from the description Desc.
  void Image(const std::string& Name, const std::string& Desc) {
    std::ofstream(dir_.Path(Name + ".desc"), std::ios::binary) << Desc;
    const ProgramRun built = dir_.Run(CTFIMAGE_BIN, {"build", Name + ".desc", Name + ".ctf"});
    ASSERT_EQ(0, built.status) << built.err;
  }

  // Runs defshift with Args; the run must succeed. Its standard output.
  std::string Defshift(const Lines& Args) {
    const ProgramRun run = dir_.Run(DEFSHIFT_BIN, Args);
    EXPECT_EQ(0, run.status) << run.out << run.err;
    return run.out;
  }

  Lines FileLines(const std::string& Name) const { return SplitLines(ReadText(dir_.Path(Name))); }

  // The calls of the command file Name as the models find them, each a
  // program and its arguments as the file holds them.
  std::vector<Lines> CallsOf(const std::string& Name) const {
    std::vector<Lines> calls;
    for (std::string line : FileLines(Name)) {
      // A checked file's command lines begin with '@', and their checks with
      // the part kept in DEFSHIFT_I.
      if (line.rfind("@tavo", 0) == 0) line.erase(0, 1);
      if (line.rfind("tavo", 0) != 0) continue;
      std::string handed;
      std::string why;
      EXPECT_TRUE(Interpret(line.substr(0, line.find(" & %DEFSHIFT_I% ")), &handed, &why))
          << line << "\n"
          << why;
      calls.emplace_back();
      EXPECT_TRUE(SplitArguments(handed, &calls.back(), &why)) << line << "\n" << why;
    }
    return calls;
  }

  ScratchFolder dir_;
};

// Every text of the command file that reaches a command or the interpreter is
// written for the console, in checked, packed and journaled files alike: each
// line differs from the line written without -c only in its bytes 128 to 255,
// which stand for the same characters, or are '?' for one that the console's
// code page does not hold. The report and the account name the definitions as
// the control file holds them; a journal made by such a file leaves nothing to
// run when defshift is given it with the same code pages.
TEST_F(CodePageTest, CheckedPackedAndJournaledFilesCarryTheConvertedTexts) {
  ASSERT_NO_FATAL_FAILURE(Image("TEXTS",
                                "P 1003=\"T\\xE91\" 100=PROG1 106=\"Caf\\xE9 \\xFCber\"\n"
                                "P 1003=TR02 100=PROG2 106=\"\\x80 5 & 50% (\\xC0)\"\n"
                                "P 1003=TR03 100=PROG3 106=plain\n"
                                "O 1017=\"P\\xC01\" 803=P 804=\"\\xE9t\\xE9\"\n"));
  const std::string region = "R\xE9G";
  for (const Lines& extra : {Lines{"-e"}, Lines{"-p"}, Lines{"-e", "-p"}, Lines{"-j", "x.jnl"}}) {
    // One name for both: a checked file names its failure list after it.
    Lines plain = {"-i", "TEXTS", "-r", region, "-o", "cp.cmd"};
    plain.insert(plain.end(), extra.begin(), extra.end());
    Defshift(plain);
    Lines before = FileLines("cp.cmd");
    Lines converted = plain;
    converted.insert(converted.end(), {"-c", "437:1252"});
    Defshift(converted);
    Lines after = FileLines("cp.cmd");
    ASSERT_EQ(before.size(), after.size()) << extra[0];
    int lost = 0;
    for (size_t i = 0; i < before.size(); ++i) {
      if (before[i].find(" command file: generated ") != std::string::npos) continue;
      // A journaled command's fingerprint is of its words as the file holds them:
      // where the check notes it, appends it and a tavoadd's start line.
      for (const std::string mark : {"SET DEFSHIFT_S=", "%DEFSHIFT_D% ", "%DEFSHIFT_D% start "}) {
        for (size_t at = before[i].find(mark); at != std::string::npos;
             at = before[i].find(mark, at + 1)) {
          const size_t print = at + mark.size();
          if (before[i].size() < print + 64 ||
              before[i].find_first_not_of("0123456789abcdef", print) < print + 64)
            continue;
          ASSERT_EQ(at, after[i].find(mark, at));
          before[i].replace(print, 64, 64, '#');
          after[i].replace(print, 64, 64, '#');
        }
      }
      ASSERT_EQ(before[i].size(), after[i].size()) << after[i];
      const std::string received = Received(437, after[i]);
      for (size_t k = 0; k < received.size(); ++k) {
        if (received[k] == before[i][k]) continue;
        EXPECT_EQ('?', received[k]) << after[i];
        lost += received[k] == '?';
      }
    }
    EXPECT_LT(0, lost) << extra[0];  // the euro sign and the A grave
  }

  const std::string out =
      Defshift({"-i", "TEXTS", "-r", region, "-c", "437:1252", "-a", "a.csv", "-o", "a.cmd"});
  EXPECT_TRUE(Has(out,
                  "\nTexts written for the console's code page 437 from the control file's code "
                  "page 1252\n"))
      << out;
  EXPECT_TRUE(Has(out,
                  " 3 migrated definitions hold bytes 128 to 255 in their names or attribute "
                  "values:\n      pd P\xC0"
                  "1\n      td T\xE9"
                  "1\n      td TR02\n"
                  " The region name holds such bytes too, and every command carries it.\n"
                  " They were written for the console's code page 437 from the control file's "
                  "code page 1252:\n"))
      << out;
  EXPECT_TRUE(Has(out,
                  " but for characters that code page 437 does not hold, written as '?' in 2 "
                  "definitions:\n"
                  "      pd P\xC0"
                  "1: name 0xC0 (U+00C0), 2 characters in all\n"
                  "      td TR02: ResourceDescription 0x80 (U+20AC), 2 characters in all\n"))
      << out;
  const std::string account = ReadFile(dir_.Path("a.csv"));
  for (const std::string row :
       {",pd,P\xC0"
        "1,amended,non-ascii;unmapped-character\r\n",
        ",td,T\xE9"
        "1,migrated,non-ascii\r\n",
        ",td,TR02,amended,non-ascii;unmapped-character\r\n", ",td,TR03,migrated,\r\n"}) {
    EXPECT_TRUE(Has(account, row)) << row << account;
  }

  // Every command of the journaled file passed: its journal holds them all.
  // (A check appends "DSJ1" by DEFSHIFT_D, and then the fingerprint.)
  std::string journal;
  const std::string echo = "& %DEFSHIFT_D% ";
  for (const std::string& line : FileLines("cp.cmd")) {
    const size_t at = line.find(echo);
    if (at == std::string::npos || line.compare(at + echo.size(), 6, "start ") == 0) continue;
    journal += "DSJ1 " + line.substr(at + echo.size(), 64) + "\r\n";
  }
  std::ofstream(dir_.Path("x.jnl"), std::ios::binary) << journal;
  const Lines again = {"-i", "TEXTS", "-r", "R1", "-j", "x.jnl", "-o", "cp.cmd", "-c", "437:1252"};
  EXPECT_FALSE(Has(Defshift(again), " Nothing is left to run: "));  // another region
  Lines same = again;
  same[3] = region;
  EXPECT_TRUE(Has(Defshift(same), " Nothing is left to run: "));
}

// Every printable character of code page 1252 in a description: each reaches
// the program exactly when the console's code page holds it, and as '?' when
// it does not, as the report says. On Windows the file runs under cmd.exe in
// the console code page of the machine (Wine's: 437, or 850 in its German
// locale), with -c OEM and with the numbers; elsewhere the models read it for
// 437 and 850.
TEST_F(CodePageTest, EveryPrintableCharacterOf1252ReachesTheProgramsOrIsNamed) {
  std::string desc;
  std::vector<unsigned> printable;
  for (unsigned b = 0x20; b <= 0xFF; ++b) {
    if (b == 0x7F || Undefined1252(b)) continue;
    printable.push_back(b);
    desc += "P 1003=C" + Hex(b) + " 100=PROG 106=\"a\\x" + Hex(b) + "b\"\n";
  }
  ASSERT_NO_FATAL_FAILURE(Image("ALL", desc));
#if defined(_WIN32)
  if (GetACP() != 1252) GTEST_SKIP() << "the machine's Windows code page is " << GetACP();
  // Set where the suite is run in a locale of another console code page.
  if (const char* expected = std::getenv("DEFSHIFT_TEST_CONSOLE_CODE_PAGE")) {
    ASSERT_EQ(std::strtoul(expected, nullptr, 10), GetOEMCP());
  }
  const std::vector<unsigned> consoles = {GetOEMCP()};
  for (const char* program : {"tavoadd.exe", "tavoupdate.exe"}) {
    std::error_code ec;
    std::filesystem::copy_file(TAVO_RECORDER_BIN, dir_.Path(program), ec);
    ASSERT_FALSE(ec) << program << ": " << ec.message();
  }
#else
  const std::vector<unsigned> consoles = {437, 850};
#endif
  for (const unsigned console : consoles) {
    const std::string pages = std::to_string(console) + ":1252";
    Defshift({"-i", "ALL", "-r", "R1", "-c", pages, "-o", "all.cmd", "-l", "all.log"});
    CodePageMap map;
    Capture([&] { map.Open(pages.c_str()); });
    std::vector<Lines> calls = CallsOf("all.cmd");
    for (Lines& call : calls) {
      for (std::string& arg : call) arg = Received(console, arg);
    }
#if defined(_WIN32)
    // The machine's own code pages are found.
    EXPECT_TRUE(Has(Defshift({"-i", "ALL", "-r", "R1", "-c", "OEM", "-o", "oem.cmd"}),
                    "\nTexts written for the console's code page " + std::to_string(console) +
                        " from the control file's code page 1252\n"));
    const Lines written = FileLines("all.cmd");
    const Lines oem = FileLines("oem.cmd");
    ASSERT_EQ(written.size(), oem.size());
    for (size_t i = 0; i < written.size(); ++i) {
      if (written[i].find(" command file: generated ") == std::string::npos) {
        EXPECT_EQ(written[i], oem[i]);
      }
    }
    // Wine's cmd.exe now and then cannot start a program of the file that is
    // there ("Can't recognize"): such a run tells nothing, and is made again.
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, sizeof system);
    ProgramRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::filesystem::remove(dir_.Path("calls.log"));
      run = RunProgram(std::string(system, n) + "\\cmd.exe", {"/c", "all.cmd"}, dir_.path());
      if (!Has(run.err, "Can't recognize 'tavo")) break;
    }
    EXPECT_EQ(0, run.status) << run.err;
    calls.clear();
    for (const std::string& line : SplitLines(ReadFile(dir_.Path("calls.log")))) {
      calls.emplace_back(1);
      for (const char c : line) {
        if (c == '\x1f') {
          calls.back().emplace_back();
        } else {
          calls.back().back().push_back(c);
        }
      }
    }
#endif
    // What the programs received for each definition's description.
    std::vector<std::string> description(256);
    for (const Lines& call : calls) {
      ASSERT_LE(7u, call.size());
      for (size_t a = 7; a < call.size(); ++a) {
        if (call[a].rfind("ResourceDescription=", 0) == 0) {
          description[std::stoul(call[6].substr(1), nullptr, 16)] = call[a];
        }
      }
    }
    int exact[2] = {};  // 0x80-0x9F, 0xA0-0xFF
    for (const unsigned b : printable) {
      char text[] = {static_cast<char>(b)};
      CodePageLoss loss;
      map.Convert(text, 1, "", &loss);
      const char arrives = loss.count == 0 ? static_cast<char>(b) : '?';
      EXPECT_EQ(std::string("ResourceDescription=\"a") + arrives + "b\"", description[b])
          << console << ": 0x" << Hex(b);
      if (b >= 0x80 &&
          description[b] == std::string("ResourceDescription=\"a") + static_cast<char>(b) + "b\"") {
        ++exact[b >= 0xA0];
      }
    }
    std::printf(
        "code page %u: %d of the 96 characters 0xA0-0xFF and %d of the 27 of 0x80-0x9F "
        "of code page 1252 arrive exactly\n",
        console, exact[1], exact[0]);
    const std::string report = ReadText(dir_.Path("all.log"));
    const int lost = 96 + 27 - exact[0] - exact[1];
    EXPECT_TRUE(Has(report, " but for characters that code page " + std::to_string(console) +
                                " does not hold, written as '?' in " + std::to_string(lost) +
                                " definitions:\n"))
        << report;
  }
}

}  // namespace
