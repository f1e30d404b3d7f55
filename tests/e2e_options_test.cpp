// The defshift command line, run as a process of its own: the usage text and every
// way the option scan takes, refuses or skips an argument.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "defshiftcore.h"
#include "support/capture.h"
#include "support/report.h"
#include "support/run_program.h"

namespace {

const std::string kUsageGolden = SAMPLES_DIR "/../tests/golden/usage.out";

// A folder holding SRC.ctf, an image without records.
class ScanFolder : public ScratchFolder {
 public:
  ScanFolder() { std::ofstream(Path("SRC.ctf"), std::ios::binary) << "CTFIMG01"; }

  ProgramRun Defshift(const std::vector<std::string>& args) const {
    return Run(DEFSHIFT_BIN, args);
  }
};

struct ScanCase {
  const char* name;
  std::vector<std::string> args;
  const char* printed;  // what the scan prints right after the banner
  int status;
  const char* outf;  // the command file written; null when no migration runs
  const char* logf;  // the file that holds the report; null for the console
};

// clang-format off
const ScanCase kCases[] = {
  {"value taken from the next option", {"-i", "-r", "REG"},
   "Option '-i' requires a value for input file\n"
   "Invalid option specified: 'REG' (ignored)\n"
   "You must specify a source file for this command\n"
   "You must specify a region name for this command\n", 1, nullptr, nullptr},
  {"value option last", {"-r", "REG", "-i"},
   "Option '-i' requires a value for input file\n"
   "You must specify a source file for this command\n", 1, nullptr, nullptr},
  {"empty value", {"-i", "SRC", "-r", ""},
   "Option '-r' has no data associated with it and is ignored\n"
   "You must specify a region name for this command\n", 1, nullptr, nullptr},
  {"unknown letter and lone prefix", {"-i", "SRC", "-x", "-", "-r", "REG"},
   "Unrecognised option: '-x' (ignored)\n"
   "Unrecognised option: '-' (ignored)\n", 0, "migratetavo.cmd", nullptr},
  {"slash prefix in capitals", {"/I", "SRC", "/R", "REG"}, "", 0, "migratetavo.cmd", nullptr},
  {"whole words", {"-input", "SRC", "-region", "REG"}, "", 0, "migratetavo.cmd", nullptr},
  {"last source wins", {"-i", "OTHER", "-i", "SRC", "-r", "REG"}, "", 0, "migratetavo.cmd",
   nullptr},
  {"default log sticks", {"-i", "SRC", "-l", "-r", "REG", "-l", "LOG"}, "", 0,
   "migratetavo.cmd", "defshift.log"},
  {"refused output file", {"-i", "SRC", "-r", "REG", "-o", "-l"},
   "Option '-o' requires a value for output file\n", 0, "migratetavo.cmd", nullptr},
  {"named output and log", {"-o", "orders.cmd", "-i", "SRC", "-l", "run.log", "-r", "REG"}, "",
   0, "orders.cmd", "run.log"},
  {"output and log one file", {"-i", "SRC", "-r", "REG", "-o", "x", "-l", "./x"},
   "The output file 'x' and the log file './x' are the same file\n", 1, nullptr, nullptr},
  {"output is the default log", {"-i", "SRC", "-o", "defshift.log", "-r", "REG", "-l"},
   "The output file 'defshift.log' and the log file 'defshift.log' are the same file\n", 1,
   nullptr, nullptr},
#if defined(_WIN32)
  // Windows names a file in either case, and with either slash.
  {"one file in other letters", {"-i", "SRC", "-r", "REG", "-o", "X", "-l", ".\\x"},
   "The output file 'X' and the log file '.\\x' are the same file\n", 1, nullptr, nullptr},
#endif
};
// clang-format on

TEST(OptionScanTest, NoArgumentsShowsBannerAndUsage) {
  const ScanFolder dir;
  const ProgramRun run = dir.Defshift({});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(0u, run.out.rfind(ProgramBanner(), 0)) << run.out;
  ExpectMatchesGolden(kUsageGolden, run.out);
  EXPECT_EQ(std::vector<std::string>{"SRC.ctf"}, dir.Entries());
}

TEST(OptionScanTest, HelpWinsOverCompleteOptions) {
  const ScanFolder dir;
  const ProgramRun run = dir.Defshift({"-i", "SRC", "-r", "REG", "-?"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(ReadFile(kUsageGolden), run.out);
  EXPECT_EQ(std::vector<std::string>{"SRC.ctf"}, dir.Entries());
}

TEST(OptionScanTest, ScanTakesRefusesOrSkipsEachArgument) {
  for (const ScanCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const ScanFolder dir;
    const ProgramRun run = dir.Defshift(c.args);
    EXPECT_EQ(c.status, run.status);
    // A report on the console has its banner and footer on standard error.
    if (c.outf != nullptr && c.logf == nullptr) {
      EXPECT_EQ(std::string::npos, run.err.find("Error ")) << run.err;
    } else {
      EXPECT_EQ("", run.err);
    }
    std::vector<std::string> files{"SRC.ctf"};
    if (c.outf == nullptr) {
      EXPECT_EQ(ProgramBanner() + c.printed, run.out);
    } else {
      const std::string header =
          std::string("Source file: SRC\nOutput file: ") + c.outf + "\nRegion: REG\n";
      if (c.logf == nullptr) {
        EXPECT_EQ(0u, WithoutClientLine(run.out).rfind(ProgramBanner() + c.printed + header, 0))
            << run.out;
      } else {
        EXPECT_EQ(0u, run.out.rfind(ProgramBanner() + c.printed, 0)) << run.out;
        EXPECT_NE(std::string::npos, WithoutClientLine(ReadText(dir.Path(c.logf))).find(header));
        files.push_back(c.logf);
      }
      EXPECT_NE(std::string::npos, ReadText(dir.Path(c.outf)).find("for region 'REG' "));
      files.push_back(c.outf);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, dir.Entries());
  }
}

// An absolute path begins with '/', as an option may; one that holds a further
// '/' is a value of -o or -l, and the file is written where it names.
TEST(OptionScanTest, AbsolutePathsAreValues) {
  for (const bool log : {false, true}) {
    SCOPED_TRACE(log ? "-l" : "-o");
    const ScanFolder dir;
    const std::string path = dir.Path("named.file");
    const ProgramRun run = dir.Defshift({"-i", "SRC", "-r", "REG", log ? "-l" : "-o", path});
    EXPECT_EQ(0, run.status);
    const std::string outf = log ? dir.Path("migratetavo.cmd") : path;
    const std::string report = WithoutClientLine(log ? ReadText(path) : run.out);
    const std::string shown = log ? "migratetavo.cmd" : path;
    EXPECT_NE(std::string::npos,
              report.find("Source file: SRC\nOutput file: " + shown + "\nRegion: REG\n"))
        << report;
    EXPECT_NE(std::string::npos, ReadText(outf).find("for region 'REG' "));
    const std::vector<std::string> files =
        log ? std::vector<std::string>{"SRC.ctf", "migratetavo.cmd", "named.file"}
            : std::vector<std::string>{"SRC.ctf", "named.file"};
    EXPECT_EQ(files, dir.Entries());
  }
}

// --help is -h by another name; --version shows the version and runs nothing.
// Other words after "--" are scanned as before, by their second character.
TEST(OptionScanTest, LongOptionsShowUsageOrVersionAndRunNothing) {
  const std::string version = std::string("defshift ") + DEFSHIFT_VERSION + "\n" + Copyright + "\n";
  const std::string usage = ReadFile(kUsageGolden);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {{"--help"}, 0, usage},
      {{"-i", "SRC", "-r", "REG", "--help"}, 0, usage},
      {{"--version", "--help"}, 0, usage},
      {{"--version"}, 0, version},
      {{"-i", "SRC", "-r", "REG", "--version"}, 0, ProgramBanner() + version},
      {{"--helpme"},
       1,
       ProgramBanner() + "Unrecognised option: '--helpme' (ignored)\n"
                         "You must specify a source file for this command\n"
                         "You must specify a region name for this command\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const ScanFolder dir;
    const ProgramRun run = dir.Defshift(c.args);
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ(c.out, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(std::vector<std::string>{"SRC.ctf"}, dir.Entries());
  }
}

// Two names of one existing file, and a log file that cannot be opened: the
// report stays on the console and the user is told why.
TEST(OptionScanTest, OneFileUnderTwoNamesIsRefusedAndAMissingLogIsExplained) {
  {
    const ScanFolder dir;
#if defined(_WIN32)
    // Symbolic links need a privilege on Windows; a second name for the file
    // is a hard link there.
    std::error_code linked;
    std::filesystem::create_hard_link(dir.Path("SRC.ctf"), dir.Path("link.ctf"), linked);
    ASSERT_FALSE(linked) << linked.message();
#else
    ASSERT_EQ(0, symlink("SRC.ctf", dir.Path("link.ctf").c_str()));
#endif
    const ProgramRun run =
        dir.Defshift({"-i", "SRC", "-r", "REG", "-o", "SRC.ctf", "-l", "link.ctf"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(ProgramBanner() +
                  "The output file 'SRC.ctf' and the log file 'link.ctf' are the same file\n",
              run.out);
    EXPECT_EQ("CTFIMG01", ReadFile(dir.Path("SRC.ctf")));
  }
  {
    // Two existing files are two files.
    const ScanFolder dir;
    std::ofstream(dir.Path("a.cmd")) << "a";
    std::ofstream(dir.Path("b.log")) << "b";
    const ProgramRun run = dir.Defshift({"-i", "SRC", "-r", "REG", "-o", "a.cmd", "-l", "b.log"});
    EXPECT_FALSE(Has(run.out, "are the same file")) << run.out;
    EXPECT_TRUE(Has(run.out, "messages have been logged to: b.log")) << run.out;
  }
  const ScanFolder dir;
  const ProgramRun run = dir.Defshift({"-i", "SRC", "-r", "REG", "-l", "none/run.log"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(0u, run.err.rfind("Log file none/run.log could not be opened (No such file or "
                              "directory): messages are logged to the console\n",
                              0))
      << run.err;
  EXPECT_TRUE(Has(WithoutClientLine(run.out),
                  "Source file: SRC\nOutput file: migratetavo.cmd\nRegion: REG\n"));
  EXPECT_FALSE(Has(run.out, "messages have been logged to")) << run.out;
  EXPECT_EQ((std::vector<std::string>{"SRC.ctf", "migratetavo.cmd"}), dir.Entries());
}

// The process runner that all end-to-end tests stand on: every argument reaches
// the program as it was given (on Windows the command line is quoted and split
// again), the environment carries what the test puts in place, and a program
// that cannot start is told apart from one that fails.
TEST(ProcessRunnerTest, ArgumentsArriveExactly) {
  const ScanFolder dir;
  const std::vector<std::string> args = {
      "a b",        "",
      "q\"uote",    "back\\slash\\",
      "tail\\\\\"", "\\\\server\\share\\",
      "tab\there",  "x&y|z<1>^%PATH%",
      "\"\"",
  };
  const ProgramRun run = dir.Defshift(args);
  EXPECT_EQ(1, run.status);
  std::string printed;
  for (const std::string& arg : args)
    printed += "Invalid option specified: '" + arg + "' (ignored)\n";
  EXPECT_EQ(ProgramBanner() + printed +
                "You must specify a source file for this command\n"
                "You must specify a region name for this command\n",
            run.out);
}

TEST(ProcessRunnerTest, EnvironmentAndStartFailures) {
  const ScanFolder work;
  const ScanFolder images;
  std::ofstream(images.Path("ELSEWHE.ctf"), std::ios::binary) << "CTFIMG01";
  // The image is only in the folder that QRLNT_SFSDIR names, not in the working folder.
  ProgramRun run = RunProgram(DEFSHIFT_BIN, {"-i", "ELSEWHE", "-r", "REG"}, work.path(),
                              {"QRLNT_SFSDIR=" + images.path()});
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(ReadText(work.Path("migratetavo.cmd")), "for region 'REG' "));

  run = RunProgram(work.Path("no-such-program"), {}, work.path());
  EXPECT_EQ(127, run.status);
  EXPECT_EQ(0u, run.err.find(work.Path("no-such-program") + ": ")) << run.err;
  EXPECT_EQ("", run.out);
}

}  // namespace
