// The message log: the report on the console or appended to a log file, and the
// numbered messages, which always reach the console.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "admsa_errs.h"
#include "defshiftcore.h"
#include "support/capture.h"
#include "support/report.h"

namespace {

// One whole run of a log to logFile: banner, a log line, an error with an
// argument it does not use, a Write text and the footer, with the log object
// destroyed at the end.
Captured RunLog(const char* logFile) {
  return Capture([logFile] {
    Errorc log;
    log.Init(logFile);
    log.Report("Reading %s", "CTF");
    log.Report(33, -1);
    log.Write("written as is");
    log.EndLog();
  });
}

}  // namespace

TEST(MessageLogTest, LogFileIsAppendedAndErrorsStillReachTheConsole) {
  const std::string path = TempPath("appended.log");
  {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, f);
    std::fputs("an earlier run\n", f);
    std::fclose(f);
  }
  const Captured c = RunLog(path.c_str());

  EXPECT_EQ("an earlier run\n" + ReportBanner() + "Reading CTF\n" + "Error during conversion.\n" +
                "written as is" + ReportFooter(),
            MaskLocalTimes(ReadText(path)));
  EXPECT_EQ("Error 33: Error during conversion.\n", c.err);
  EXPECT_EQ(std::string(Title) + " messages have been logged to: " + path + "\n", c.out);
}

// What to do about an error reaches the console beside the error, and the log
// file beside its text.
TEST(MessageLogTest, ExplanationFollowsTheErrorOnTheConsoleAndInTheLogFile) {
  const std::string path = TempPath("explained.log");
  for (const char* file : {static_cast<const char*>(nullptr), path.c_str()}) {
    const Captured c = Capture([file] {
      Errorc log;
      log.Init(file);
      log.Report(31);
      log.Explain(" .... try %s", "ORDENTRY");
      log.EndLog();
    });
    const std::string err = MaskLocalTimes(c.err);
    const std::string lines = "Error 31: Could not open file for input.\n .... try ORDENTRY\n";
    if (file == nullptr) {
      EXPECT_EQ(ReportBanner() + lines + ReportFooter(), err);
      EXPECT_EQ("", c.out);
    } else {
      EXPECT_EQ(lines, err);
      EXPECT_EQ(
          ReportBanner() + "Could not open file for input.\n .... try ORDENTRY\n" + ReportFooter(),
          MaskLocalTimes(ReadText(path)));
    }
  }
}

TEST(MessageLogTest, UnopenableLogFileLeavesTheReportOnTheConsole) {
  const std::string path = TempPath("no-such-folder") + "/run.log";
  std::string name;
  const Captured c = Capture([&path, &name] {
    Errorc log;
    log.Init(path.c_str());
    name = log.LogFileName() != nullptr ? log.LogFileName() : "";
    log.Report("Reading %s", "CTF");
    log.Report(31);
    log.EndLog();
  });
  EXPECT_EQ(path, name);
  EXPECT_EQ("Reading CTF\n", c.out);  // and no closing line
  EXPECT_EQ("Log file " + path +
                " could not be opened (No such file or directory): messages are logged to the "
                "console\n" +
                ReportBanner() + "Error 31: Could not open file for input.\n" + ReportFooter(),
            MaskLocalTimes(c.err));
  EXPECT_EQ("", ReadText(path));
}

TEST(MessageLogTest, FailureNamesTheSystemsReason) {
  const std::string path = TempPath("reason.log");
  const Captured c = Capture([&path] {
    Errorc log;
    log.Init(path.c_str());
    log.ReportFailure(ENOSPC, 3, "out.cmd", ENOSPC);
    log.ReportFailure(EISDIR, 1, "cmds", EISDIR);
  });
  const std::string close = "Failed to close file out.cmd (28): No space left on device";
  const std::string open = "Failed to open file cmds (21): Is a directory";
  EXPECT_EQ("Error 3: " + close + "\nError 1: " + open + "\n", c.err);
  EXPECT_TRUE(Has(ReadText(path), close + "\n" + open + "\n"));
  EXPECT_STREQ("No space left on device", SystemErrorText(ENOSPC));
}

// A log file whose writes fail fails the run at its end: one line names the
// file and the reason, and no closing line claims the report is there. A log
// that works ends with 0.
TEST(MessageLogTest, ReportThatCannotBeWrittenFailsAtItsEnd) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows has no device that is always full, like /dev/full";
#else
  int ended = 0;
  const Captured full = Capture([&ended] {
    Errorc log;
    log.Init("/dev/full");
    log.Report("Reading %s", "CTF");
    log.Report(31);
    ended = log.EndLog();
  });
  EXPECT_EQ(-1, ended);
  EXPECT_EQ("", full.out);
  EXPECT_EQ(
      "Error 31: Could not open file for input.\n"
      "defshift: the report could not be written to /dev/full: No space left on device\n",
      full.err);

  const std::string path = TempPath("whole.log");
  const Captured whole = Capture([&ended, &path] {
    Errorc log;
    log.Init(path.c_str());
    ended = log.EndLog();
  });
  EXPECT_EQ(0, ended);
  EXPECT_EQ(std::string(Title) + " messages have been logged to: " + path + "\n", whole.out);
#endif
}

TEST(MessageLogTest, ClosingLineOnlyWhenTheLogObjectGoes) {
  const std::string path = TempPath("closing.log");
  std::optional<Errorc> log(std::in_place);
  const Captured during = Capture([&log, &path] {
    log->Init(path.c_str());
    log->EndLog();
  });
  EXPECT_EQ("", during.out + during.err);
  const Captured closing = Capture([&log] { log.reset(); });
  EXPECT_EQ(std::string(Title) + " messages have been logged to: " + path + "\n", closing.out);
  EXPECT_EQ(ReportBanner() + ReportFooter(), MaskLocalTimes(ReadText(path)));
}

TEST(MessageLogTest, LongMessagesArriveWhole) {
  const std::string longText(700, 'x');
  const Captured console = Capture([&longText] {
    Errorc log;
    log.Report("<%s>", longText.c_str());
    log.Report(1, longText.c_str(), 5);
  });
  EXPECT_EQ("<" + longText + ">\n", console.out);
  EXPECT_EQ("Error 1: Failed to open file " + longText + " (5)\n", console.err);
}

// The messages with arguments are checked where they are reported (field access,
// the reader); here only what the log does with any number.
TEST(MessageLogTest, NumbersOutsideTheTableAreTheClosingEntry) {
  const Captured c = Capture([] {
    Errorc log;
    log.Report(kErrorTextCount);
    log.Report(-1);
    log.Report(" first\n second");
  });
  EXPECT_EQ(" first\n second\n", c.out);
  EXPECT_EQ("Error 41: LAST ERROR\nError 41: LAST ERROR\n", c.err);
}

TEST(ErrorOfTest, ErrorNumberOfAFailedCallOrEio) {
  errno = ENOSPC;  // left by an earlier call that failed
  EXPECT_EQ(0, ErrorOf([] { return true; }));
  EXPECT_EQ(EIO, ErrorOf([] { return false; }));
  EXPECT_EQ(ENOSPC, ErrorOf([] {
              errno = ENOSPC;
              return false;
            }));
  // A call that succeeds although it set errno on the way succeeded.
  EXPECT_EQ(0, ErrorOf([] {
              errno = EINTR;
              return true;
            }));
  const std::string missing = TempPath("no folder") + "/file";
  EXPECT_EQ(ENOENT, ErrorOf([&missing] { return std::remove(missing.c_str()) == 0; }));
}

// Report and command file times: the 24-character calendar form with the day of
// the month padded by a blank, the same whatever C runtime the library runs on.
TEST(MessageLogTest, LocalTimesHaveTheCalendarFormEverywhere) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* text;
  };
  const Case cases[] = {
      {2026, 2, 5, 9, 3, 7, "Thu Feb  5 09:03:07 2026\n"},
      {1997, 2, 20, 14, 5, 9, "Thu Feb 20 14:05:09 1997\n"},
      {2000, 12, 31, 23, 59, 58, "Sun Dec 31 23:59:58 2000\n"},
      {2024, 7, 1, 0, 0, 0, "Mon Jul  1 00:00:00 2024\n"},
  };
  for (const Case& c : cases) {
    std::tm local{};
    local.tm_year = c.year - 1900;
    local.tm_mon = c.month - 1;
    local.tm_mday = c.day;
    local.tm_hour = c.hour;
    local.tm_min = c.minute;
    local.tm_sec = c.second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    ASSERT_NE(static_cast<std::time_t>(-1), when) << c.text;
    char text[32];
    AscTime(when, text);
    EXPECT_EQ(c.text, std::string(text));
  }
}
