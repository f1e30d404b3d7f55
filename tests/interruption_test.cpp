// An interruption of a run in the process itself: the handler removes the
// temporary files, leaves the earlier files as they were, says what it left
// (also between the renames of the command file and the account) and ends the
// process as the signal does; on Windows the console's handler does the same.
// And the steps of a file that replaces another: on the disk before the rename,
// the folder after it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "admsa_account.h"
#include "admsa_fm.h"
#include "admsa_fm_files.h"
#include "admsa_interrupt.h"
#include "support/capture.h"
#include "support/run_program.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

const char kOldCommandFile[] = "@ECHO the command file of an earlier run\n";
const char kOldAccount[] = "record,an earlier account\r\n";

// The folder of a test whose process ends, with an earlier command file and
// account.
class EarlierFiles : public EndingFolder {
 public:
  EarlierFiles() : EndingFolder("DEFSHIFT_TEST_INTERRUPTED_FOLDER") {
    std::ofstream(Path("old.cmd"), std::ios::binary) << kOldCommandFile;
    std::ofstream(Path("old.csv"), std::ios::binary) << kOldAccount;
  }
};

// Interrupts the process as a user does: SIGTERM through the handlers that
// CatchInterruptions installed; on Windows Ctrl-C, the console's handler called
// as the system calls it.
void Interrupt() {
#if defined(_WIN32)
  OnConsoleEvent(CTRL_C_EVENT);
#else
  std::raise(SIGTERM);
#endif
}

// How the process ends when interrupted.
#if defined(_WIN32)
const auto Interrupted = testing::ExitedWithCode(static_cast<int>(STATUS_CONTROL_C_EXIT));
#else
const auto Interrupted = testing::KilledBySignal(SIGTERM);
#endif

// Held where the leak check finds them: the process ends with them.
HumanFile* g_store = nullptr;
Account* g_account = nullptr;

// A run's command file old.cmd and account old.csv in folder, open, with
// their header lines written. Nothing is captured: a test of a process that
// ends captures its standard error already.
void OpenBoth(const EarlierFiles& folder) {
  // As a run does before its first file.
  CatchInterruptions();
  g_account = new Account;
  g_store = new HumanFile(folder.Path("old.cmd").c_str(), "REG");
  if (g_account->Open(folder.Path("old.csv").c_str()) != 0) std::exit(2);
  if (g_store->openoutfile() != 0) std::exit(2);
  g_store->setaccount(g_account);
}

TEST(InterruptionTest, WhileWritingTheTemporariesGoAndTheEarlierFilesStay) {
  const EarlierFiles folder;
  EXPECT_EXIT(
      {
        OpenBoth(folder);
        Interrupt();
        std::exit(1);
      },
      Interrupted, "^defshift: interrupted; no command file or account was replaced\n$");
  EXPECT_EQ((std::vector<std::string>{"old.cmd", "old.csv"}), folder.Entries());
  EXPECT_EQ(kOldCommandFile, ReadFile(folder.Path("old.cmd")));
  EXPECT_EQ(kOldAccount, ReadFile(folder.Path("old.csv")));
}

void InterruptOnceTheCommandFileIsReplaced(FileEvent event, const char* name) {
  const std::string replaced = name;
  if (event == kFileReplaced && replaced.size() >= 7 &&
      replaced.compare(replaced.size() - 7, 7, "old.cmd") == 0) {
    Interrupt();
  }
}

TEST(InterruptionTest, BetweenTheTwoRenamesTheLineSaysWhichFileWasReplaced) {
  const EarlierFiles folder;
  EXPECT_EXIT(
      {
        OpenBoth(folder);
        SetFileEventHook(InterruptOnceTheCommandFileIsReplaced);
        g_store->closefile();
        std::exit(1);
      },
      Interrupted, "^defshift: interrupted; the command file was replaced, not the account\n$");
  EXPECT_EQ((std::vector<std::string>{"old.cmd", "old.csv"}), folder.Entries());
  EXPECT_EQ(0u, ReadFile(folder.Path("old.cmd")).rfind("@ECHO ------", 0));
  EXPECT_EQ(kOldAccount, ReadFile(folder.Path("old.csv")));
}

std::vector<std::string> g_events;

// An event as "<what> <name>", the name's folder left out and a temporary
// file's own part ".<process>-<n>.tmp" written "(temporary)".
void Record(FileEvent event, const char* name) {
  static const char* const kWhat[] = {"synced", "replaced", "synced folder"};
  std::string file = name;
  if (event != kFolderSynced) {
    file = file.substr(file.find_last_of("/\\") + 1);
    const size_t temporary = file.find('.', file.find('.') + 1);
    if (temporary != std::string::npos) file = file.substr(0, temporary) + " (temporary)";
  } else {
    file = "";
  }
  g_events.push_back(std::string(kWhat[event]) + (file.empty() ? "" : " ") + file);
}

// Each complete file is on the disk before it takes its name, and the new name
// is (its folder is synced after the rename; on Windows the rename is written
// through). A device is written, and neither synced nor renamed.
TEST(ReplacementTest, FilesAreOnTheDiskBeforeTheyTakeTheirNames) {
  const ScratchFolder dir;
  g_events.clear();
  const FileEventHook before = SetFileEventHook(Record);
  {
    Account account;
    HumanFile store(dir.Path("new.cmd").c_str(), "REG");
    ASSERT_EQ(0, account.Open(dir.Path("new.csv").c_str()));
    Capture([&] {
      ASSERT_EQ(0, store.openoutfile());
      store.setaccount(&account);
      EXPECT_EQ(0, store.closefile());
    });
  }
  std::vector<std::string> expected = {
      "synced new.cmd (temporary)", "synced new.csv (temporary)",
      "replaced new.cmd",           "synced folder",
      "replaced new.csv",           "synced folder",
  };
#if defined(_WIN32)
  expected.erase(expected.begin() + 5);
  expected.erase(expected.begin() + 3);
  const char kDevice[] = "NUL";
#else
  const char kDevice[] = "/dev/null";
#endif
  EXPECT_EQ(expected, g_events);
  EXPECT_EQ((std::vector<std::string>{"new.cmd", "new.csv"}), dir.Entries());

  g_events.clear();
  {
    HumanFile store(kDevice, "REG");
    Capture([&] {
      ASSERT_EQ(0, store.openoutfile());
      EXPECT_EQ(0, store.closefile());
    });
  }
  EXPECT_EQ(std::vector<std::string>{}, g_events);
  SetFileEventHook(before);
}

}  // namespace
