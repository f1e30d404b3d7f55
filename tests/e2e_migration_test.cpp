// Whole migrations run by the built defshift against control-file images: the
// bundled sample, the report on the console and in a log file, and the runs that
// fail or find nothing to migrate.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "admsa_tab.h"
#include "defshiftcore.h"
#include "support/capture.h"
#include "support/run_program.h"

namespace {

const std::string kGoldenDir = SAMPLES_DIR "/../tests/golden/";
const std::string kDashes80(80, '-');
// Written between translating and checking; always on the report's own stream.
const char kValidating[] =
    "\n Validating migrated resource definitions\n"
    " -----------------------------------------\n";

std::string Banner() {
  const std::string dashes(62, '-');
  return "\n" + dashes + "\n" + NewTAVOName2 + "\n" + Copyright + "\n" + Title + " utility for " +
         OldTAVOName2 + "\n" + dashes + "\n";
}

std::string ReportBanner() {
  return kDashes80 + "\n" + Title + " report started: <time>\n" + Copyright + "\n" + kDashes80 +
         "\n";
}

std::string ReportFooter() { return kDashes80 + "\n" + Title + " report ended: <time>\n\n\n"; }

std::string Generated(const std::string& outf) {
  return std::string(Title) + " generated command file: " + outf + "\n";
}

std::string RunHeader(const std::string& inf, const std::string& outf) {
  return "Source file: " + inf + "\nOutput file: " + outf + "\nRegion: ORDERS\n";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class MigrationTest : public ::testing::Test {
 protected:
  // ORDENTRY.ctf, built from the sample description.
  void SampleImage() {
    const ProgramRun built = RunProgram(
        CTFIMAGE_BIN, {"build", SAMPLES_DIR "/ordentry.desc", "ORDENTRY.ctf"}, dir_.path());
    ASSERT_EQ(0, built.status) << built.err;
  }

  // EMPTY.ctf, an image without records.
  void EmptyImage() { std::ofstream(dir_.Path("EMPTY.ctf"), std::ios::binary) << "CTFIMG01"; }

  ProgramRun Defshift(const std::vector<std::string>& args) {
    return RunProgram(DEFSHIFT_BIN, args, dir_.path(), {"QRLNT_SFSDIR=" + dir_.path()});
  }

  std::string File(const std::string& name) { return MaskLocalTimes(ReadFile(dir_.Path(name))); }

  ScratchFolder dir_;
};

TEST_F(MigrationTest, SampleGivesExpectedCommandFileAndReport) {
  ASSERT_NO_FATAL_FAILURE(SampleImage());
  const ProgramRun run = Defshift({"-i", "ORDENTRY", "-r", "ORDERS", "-l", "report.log"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(Banner() + Generated("migratetavo.cmd") + Title +
                " messages have been logged to: report.log\n",
            run.out);
  ExpectMatchesGolden(kGoldenDir + "ordentry.cmd", File("migratetavo.cmd"));
  ExpectMatchesGolden(kGoldenDir + "ordentry.log", File("report.log"));
}

// On the console the report's lines go to standard output, while its banner,
// footer and the texts between its sections go to standard error.
TEST_F(MigrationTest, ConsoleReportSplitsLinesFromBannerAndFooter) {
  ASSERT_NO_FATAL_FAILURE(SampleImage());
  const ProgramRun run = Defshift({"-i", "ORDENTRY", "-r", "ORDERS"});
  EXPECT_EQ(0, run.status);

  const std::string report = ReadFile(kGoldenDir + "ordentry.log");
  const std::string banner = ReportBanner();
  const std::string footer = ReportFooter();
  ASSERT_EQ(0u, report.rfind(banner, 0));
  ASSERT_EQ(report.size() - footer.size(), report.rfind(footer));
  std::string lines = report.substr(banner.size(), report.size() - banner.size() - footer.size());
  const size_t validating = lines.find(kValidating);
  ASSERT_NE(std::string::npos, validating);
  lines.erase(validating, sizeof kValidating - 1);

  EXPECT_EQ(Banner() + lines + Generated("migratetavo.cmd"), run.out);
  EXPECT_EQ(banner + kValidating + footer, MaskLocalTimes(run.err));
  EXPECT_EQ(ReadFile(kGoldenDir + "ordentry.cmd"), File("migratetavo.cmd"));
}

TEST_F(MigrationTest, LogFileIsAppendedToAndNamedAfterTheRun) {
  EmptyImage();
  std::ofstream(dir_.Path("run.log")) << "an earlier report\n";
  const ProgramRun run = Defshift({"-i", "EMPTY", "-r", "ORDERS", "-l", "run.log"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(
      Banner() + Generated("migratetavo.cmd") + Title + " messages have been logged to: run.log\n",
      run.out);
  const std::string log = File("run.log");
  EXPECT_EQ(
      0u,
      log.rfind("an earlier report\n" + ReportBanner() + RunHeader("EMPTY", "migratetavo.cmd"), 0))
      << log;
  EXPECT_EQ(log.size() - ReportFooter().size(), log.rfind(ReportFooter()));
}

TEST_F(MigrationTest, SourceWithoutImageFailsWithoutCommandFile) {
  EmptyImage();
  const ProgramRun run = Defshift({"-i", "NOSUCH", "-r", "ORDERS"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(Banner() + RunHeader("NOSUCH", "migratetavo.cmd"), run.out);
  EXPECT_EQ(ReportBanner() +
                "Error 1: Failed to open file NOSUCH (0)\n"
                "Error 31: Could not open file for input.\n"
                "Error 33: Error during conversion.\n" +
                ReportFooter(),
            MaskLocalTimes(run.err));
  EXPECT_EQ(std::vector<std::string>{"EMPTY.ctf"}, dir_.Entries());
}

TEST_F(MigrationTest, OutputFolderFailsAfterSourceIsRead) {
  EmptyImage();
  std::filesystem::create_directory(dir_.Path("cmds"));
  const ProgramRun run = Defshift({"-i", "EMPTY", "-r", "ORDERS", "-o", "cmds"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(0u, run.out.rfind(Banner() + RunHeader("EMPTY", "cmds"), 0)) << run.out;
  EXPECT_NE(std::string::npos,
            run.out.find("\n Translating source table: Temporary Storage Table\n"));
  EXPECT_EQ(std::string::npos, run.out.find(Generated("cmds")));
  EXPECT_EQ(ReportBanner() +
                "Error 32: Could not open file for output.\n"
                "Error 33: Error during conversion.\n" +
                ReportFooter(),
            MaskLocalTimes(run.err));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path("cmds")));
}

TEST_F(MigrationTest, EmptyControlFileGivesHeaderOnlyCommandFile) {
  EmptyImage();
  const ProgramRun run = Defshift({"-i", "EMPTY", "-r", "ORDERS"});
  EXPECT_EQ(0, run.status);
  const std::string sample = ReadFile(kGoldenDir + "ordentry.cmd");
  const size_t first_stanza = sample.find("\n@REM ------");
  ASSERT_NE(std::string::npos, first_stanza);
  EXPECT_EQ(sample.substr(0, first_stanza), File("migratetavo.cmd"));
  for (int cls = 0; StanzaName[cls][0] != '\0'; ++cls) {
    EXPECT_NE(std::string::npos, run.out.find(std::string("\n ") + StanzaName[cls] +
                                              "\n\n      No records for this class\n"))
        << StanzaName[cls];
  }
  EXPECT_EQ(10u, Count(run.out, "No records for this class"));
  EXPECT_EQ(0u, Count(run.out, "records checked"));
}

}  // namespace
