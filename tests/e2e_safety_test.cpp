// Whole migrations of control files whose names and values hold what the command
// interpreter reads (& | < > ^ % and quotes) or cannot carry at all (control
// characters), run by the built defshift; and runs whose command file cannot be
// written or whose region cannot stand in a command file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "admsa_tran_escape.h"
#include "support/capture.h"
#include "support/interpreter_model.h"
#include "support/run_program.h"

namespace {

const char kSpecialDescription[] =
    "P 1003=A&B 1002=G|1 100=P<1> 106=\"Sales & Marketing (50%)\"\n"
    "P 1003=%1 1002=GRP^ 100=%PATH% 106=\"%~dp0 \\\"x\\\" a|b <in >out ^\"\n"
    "P 1003=PLN1 1002=GRPA 100=PROG1 106=\"Plain (no specials) \\\"q\\\"\"\n"
    "P 1003=TAB1 1002=GRPA 100=PROG2 106=\"Tab\\x09here\"\n"
    "P 1003=CR01 1002=GRPA 100=PROG3 106=\"Ends\\x0d\\x0adel x\"\n"
    "P 1003=\"L\\x0aF\" 1002=GRPA 100=PROG4 106=\"Name with a line feed\"\n"
    "P 1003=DEL1 1002=\"G\\x7fA\" 100=PROG5 106=\"Group with DEL\"\n"
    "F 1007=F&LE 1006=GRPA 300=\"DATA\\\\A&B.DAT\" 306=\"File ^ name\"\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class SafetyTest : public ::testing::Test {
 protected:
  void Image(const std::string& name, const std::string& description_file) {
    const ProgramRun built =
        RunProgram(CTFIMAGE_BIN, {"build", description_file, name + ".ctf"}, dir_.path());
    ASSERT_EQ(0, built.status) << built.err;
  }

  void SpecialImage() {
    std::ofstream(dir_.Path("special.desc"), std::ios::binary) << kSpecialDescription;
    Image("SPECIAL", dir_.Path("special.desc"));
  }

  ProgramRun Defshift(const std::vector<std::string>& args) {
    return RunProgram(DEFSHIFT_BIN, args, dir_.path(), {"QRLNT_SFSDIR=" + dir_.path()});
  }

  // Every line of the command file is one command whose text reaches its program
  // untouched, and is written escaped exactly when it needs to be.
  void ExpectEveryLineSafe(const std::string& file) {
    for (const std::string& line : Lines(file)) {
      std::string handed;
      std::string why;
      ASSERT_TRUE(Interpret(line, &handed, &why)) << line << "\n" << why;
      EXPECT_EQ(line, ScriptEscape(handed));
      EXPECT_GE(kInterpreterLineLimit, line.size());
    }
  }

  ScratchFolder dir_;
};

TEST_F(SafetyTest, ValuesReachTheProgramsExactlyAndControlCharactersAreRefused) {
  SpecialImage();
  const ProgramRun run = Defshift({"-i", "SPECIAL", "-r", "DEMOREG", "-o", "special.cmd"});
  ASSERT_EQ(0, run.status) << run.err;
  const std::string file = ReadFile(dir_.Path("special.cmd"));
  ExpectEveryLineSafe(file);

  const char* const expected[] = {
      // escaped where a name or value needs it
      "@REM F^&LE:",
      "@REM \tResourceDescription=^\"File ^^ name^\"",
      "tavoupdate -c fd -r DEMOREG -P F^&LE  IndexName=\\^\"A^&B\\^\" "
      "^\"ResourceDescription=\\^\"File ^^ name\\^\"^\"",
      "@REM A^&B:",
      "@REM \tGroupName=^\"G^|1^\"",
      "@REM \tResourceDescription=^\"Sales ^& Marketing ^(50%%^)^\"",
      "tavoadd -c td -r DEMOREG -P A^&B",
      "tavoupdate -c td -r DEMOREG -P A^&B  GroupName=\\^\"G^|1\\^\" ProgName=\\^\"P^<1^>\\^\"",
      "tavoupdate -c td -r DEMOREG -P A^&B  Priority=0 "
      "^\"ResourceDescription=\\^\"Sales ^& Marketing ^(50%%^)\\^\"^\"",
      "@REM %%1:",
      "tavoupdate -c td -r DEMOREG -P %%1  GroupName=\\^\"GRP^^\\^\" ProgName=\\^\"%%PATH%%\\^\"",
      "tavoupdate -c td -r DEMOREG -P %%1  Priority=0 "
      "^\"ResourceDescription=\\^\"%%~dp0 ^\"x^\" a^|b ^<in ^>out ^^\\^\"^\"",
      // as composed where nothing needs it
      "@REM \tResourceDescription=\"Plain (no specials) \"q\"\"",
      "tavoadd -c td -r DEMOREG -P PLN1",
      "tavoupdate -c td -r DEMOREG -P PLN1  Priority=0 "
      "\"ResourceDescription=\\\"Plain (no specials) \"q\"\\\"\"",
  };
  for (const char* line : expected) EXPECT_TRUE(Has(file, std::string("\n") + line + "\n")) << line;
  for (const char* refused : {"TAB1", "CR01", "PROG4", "DEL1", "Tab", "Ends"}) {
    EXPECT_FALSE(Has(file, refused)) << refused;
  }

  EXPECT_TRUE(Has(run.out,
                  "\n Transaction Definitions\n\n"
                  " .... resource 'TAB1' holds characters that cannot be written to a command "
                  "file, and is not migrated\n"
                  "      > (ResourceDescription=\"Tab?here\")\n"
                  " .... resource 'CR01' holds characters that cannot be written to a command "
                  "file, and is not migrated\n"
                  "      > (ResourceDescription=\"Ends??del x\")\n"
                  " .... resource 'L?F' holds characters that cannot be written to a command "
                  "file, and is not migrated\n"
                  "      > (ResourceDescription=\"Name with a line feed\")\n"
                  " .... resource 'DEL1' holds characters that cannot be written to a command "
                  "file, and is not migrated\n"
                  "      > (ResourceDescription=\"Group with DEL\")\n"
                  "\n      7 records checked, 3 migrated\n"))
      << run.out;
}

TEST_F(SafetyTest, LongestRegionFitsEveryLineAndLongerIsRefused) {
  Image("ORDENTRY", SAMPLES_DIR "/ordentry.desc");
  // Every character of this region doubles when escaped.
  std::string region;
  while (region.size() < kMaxRegionLength) region += "&%^|<>";
  region.resize(kMaxRegionLength);

  const ProgramRun run = Defshift({"-i", "ORDENTRY", "-r", region, "-o", "long.cmd"});
  ASSERT_EQ(0, run.status) << run.err;
  const std::string file = ReadFile(dir_.Path("long.cmd"));
  ExpectEveryLineSafe(file);
  EXPECT_TRUE(Has(file, "\ntavoadd -c td -r " + ScriptEscape(region) + " -P ORD1\n"));

  const ProgramRun refused = Defshift({"-i", "ORDENTRY", "-r", region + "X", "-o", "longer.cmd"});
  EXPECT_EQ(1, refused.status);
  EXPECT_TRUE(Has(refused.out,
                  "Region name of 2049 characters is too long for a command file "
                  "(at most 2048)\n"))
      << refused.out;
  EXPECT_EQ("Error 29: No conversion performed.\n", refused.err);
  EXPECT_FALSE(Has(refused.out, "Source file:"));

  EXPECT_EQ(std::vector<std::string>({"ORDENTRY.ctf", "long.cmd"}), dir_.Entries());
}

TEST_F(SafetyTest, FullDiskFailsTheRun) {
  Image("ORDENTRY", SAMPLES_DIR "/ordentry.desc");
  ASSERT_EQ(0, symlink("/dev/full", dir_.Path("full.cmd").c_str()));
  const ProgramRun run = Defshift({"-i", "ORDENTRY", "-r", "DEMOREG", "-o", "full.cmd"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(Has(run.err,
                  " -----------------------------------------\n"
                  "Error 3: Failed to close file full.cmd (28)\n"
                  "Error 33: Error during conversion.\n"))
      << run.err;
  EXPECT_FALSE(Has(run.out, "generated command file")) << run.out;
}

}  // namespace
