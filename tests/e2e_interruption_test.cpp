// Runs of a large generated control file ended by SIGINT, SIGTERM and SIGHUP
// before the command file is opened (reading, translating), while the command
// file is written, and later while the account is written: no temporary file
// stays, the earlier command file and account are as they were, one line says
// so, and the process ends by the signal. Also what standard input, output and
// error files a shell gives the run leave the signals as they were: a signal
// the shell had the run ignore (nohup) stays ignored.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/capture.h"
#include "support/run_program.h"

#if !defined(_WIN32) && defined(GEN_IMAGE_BIN)

namespace {

// Large enough that each moment below comes well before the run ends, small
// enough that nine runs take a few seconds.
constexpr int kRecords = 100000;

const char kOldCommandFile[] = "@ECHO the command file of an earlier run, reviewed and edited\n";
const char kOldAccount[] = "record,table,class,resource,outcome,reason\r\n1,an earlier account\r\n";
const char kInterrupted[] = "defshift: interrupted; no command file or account was replaced\n";

// The size of the temporary file beside name in folder, or -1 when there is none.
long long TemporarySize(const std::string& folder, const std::string& name) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string file = entry.path().filename().string();
    if (file.rfind(name + ".", 0) == 0 && file.size() > 4 &&
        file.compare(file.size() - 4, 4, ".tmp") == 0) {
      const auto size = entry.file_size(ec);
      return ec ? 0 : static_cast<long long>(size);
    }
  }
  return -1;
}

struct Moment {
  const char* name;
  long long command_file;  // the command file's temporary has at least this many bytes;
                           // -1: there is none yet
  long long account;       // the account's temporary has at least this many bytes
};

// clang-format off
const Moment kMoments[] = {
  {"before the command file is opened", -1,               0},
  {"writing the command file",          1 << 20,          0},
  {"writing the account",               16 << 20,         2 << 20},
};
// clang-format on

TEST(InterruptionTest, EachSignalAtEachMomentLeavesTheEarlierFiles) {
  const ScratchFolder dir;
  const ProgramRun made =
      RunProgram(GEN_IMAGE_BIN, {std::to_string(kRecords), "BENCH.ctf"}, dir.path());
  ASSERT_EQ(0, made.status) << made.err;
  std::ofstream(dir.Path("old.cmd"), std::ios::binary) << kOldCommandFile;
  std::ofstream(dir.Path("old.csv"), std::ios::binary) << kOldAccount;
  const std::vector<std::string> files = {"BENCH.ctf", "old.cmd", "old.csv", "run.log"};

  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const Moment& moment : kMoments) {
      SCOPED_TRACE(std::string(strsignal(signal)) + ", " + moment.name);
      const auto start = std::chrono::steady_clock::now();
      auto ready = [&] {
        // Some way into the run, not at its first instruction.
        if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(20)) return false;
        const long long account = TemporarySize(dir.path(), "old.csv");
        const long long command_file = TemporarySize(dir.path(), "old.cmd");
        if (account < moment.account) return false;
        return moment.command_file < 0 ? command_file < 0 : command_file >= moment.command_file;
      };
      bool sent = false;
      const ProgramRun run = RunProgramInterrupted(
          DEFSHIFT_BIN,
          {"-i", "BENCH", "-r", "BENCHREG", "-o", "old.cmd", "-a", "old.csv", "-l", "run.log"},
          dir.path(), {"QRLNT_SFSDIR=" + dir.path()}, ready, signal, &sent);
      ASSERT_TRUE(sent) << "the run ended first: " << run.status << "\n" << run.err;
      EXPECT_EQ(signal, run.signal) << run.status;
      EXPECT_TRUE(Has(run.err, kInterrupted)) << run.err;
      EXPECT_FALSE(Has(run.out, "generated command file")) << run.out;
      EXPECT_EQ(files, dir.Entries());
      EXPECT_EQ(kOldCommandFile, ReadFile(dir.Path("old.cmd")));
      EXPECT_EQ(kOldAccount, ReadFile(dir.Path("old.csv")));
    }
  }
}

// A run that the shell started with SIGHUP ignored (nohup) is not ended by it.
TEST(InterruptionTest, IgnoredSignalStaysIgnored) {
  const ScratchFolder dir;
  const ProgramRun made =
      RunProgram(GEN_IMAGE_BIN, {std::to_string(kRecords / 10), "BENCH.ctf"}, dir.path());
  ASSERT_EQ(0, made.status) << made.err;
  const std::string command = std::string("trap '' HUP; exec ") + DEFSHIFT_BIN +
                              " -i BENCH -r BENCHREG -a acct.csv -l run.log";
  bool sent = false;
  const ProgramRun run = RunProgramInterrupted(
      "/bin/sh", {"-c", command}, dir.path(), {"QRLNT_SFSDIR=" + dir.path()},
      [&] { return TemporarySize(dir.path(), "acct.csv") >= 0; }, SIGHUP, &sent);
  ASSERT_TRUE(sent) << run.err;
  EXPECT_EQ(0, run.signal);
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run.out, "generated command file: migratetavo.cmd")) << run.out;
  EXPECT_EQ((std::vector<std::string>{"BENCH.ctf", "acct.csv", "migratetavo.cmd", "run.log"}),
            dir.Entries());
}

}  // namespace

#else

TEST(InterruptionTest, NeedsSignalsAndTheImageGenerator) {
  GTEST_SKIP() << "Windows has no SIGINT, SIGTERM and SIGHUP to send a process; its console "
                  "handler is tested in interruption_test";
}

#endif
