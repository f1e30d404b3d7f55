#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <regex>
#include <string>

#include "admsa_errs.h"
#include "defshiftcore.h"
#include "support/capture.h"

namespace {

const std::string kDashes(80, '-');

// The time of day changes from run to run; everything around it must not.
std::string MaskTimes(const std::string& text) {
  static const std::regex kTime(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-3][0-9] \d\d:\d\d:\d\d \d{4})");
  return std::regex_replace(text, kTime, "<time>");
}

std::string Banner() {
  return kDashes + "\n" + Title + " report started: <time>\n" + Copyright + "\n" + kDashes + "\n";
}

std::string Footer() { return kDashes + "\n" + Title + " report ended: <time>\n\n\n"; }

std::string NullPointerText() {
  char text[32];
  std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
  return text;
}

// One whole run of a log: banner, a log line, an error with an argument it does
// not use, a Write text and the footer, with the log object destroyed at the end.
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

TEST(MessageLogTest, ConsoleRunSplitsLogLinesAndErrors) {
  const Captured c = RunLog(nullptr);
  EXPECT_EQ("Reading CTF\n", c.out);
  EXPECT_EQ(Banner() + "Error 33: Error during conversion.\n" + "written as is" + Footer(),
            MaskTimes(c.err));
}

TEST(MessageLogTest, LogFileIsAppendedAndErrorsStillReachTheConsole) {
  const std::string path = TempPath("appended.log");
  {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, f);
    std::fputs("an earlier run\n", f);
    std::fclose(f);
  }
  const Captured c = RunLog(path.c_str());

  EXPECT_EQ("an earlier run\n" + Banner() + "Reading CTF\n" + "Error during conversion.\n" +
                "written as is" + Footer(),
            MaskTimes(ReadFile(path)));
  EXPECT_EQ("Error 33: Error during conversion.\n", c.err);
  EXPECT_EQ(std::string(Title) + " messages have been logged to: " + path + "\n", c.out);
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
  EXPECT_EQ(Banner() + "Error 31: Could not open file for input.\n" + Footer(), MaskTimes(c.err));
  EXPECT_EQ("", ReadFile(path));
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
  EXPECT_EQ(Banner() + Footer(), MaskTimes(ReadFile(path)));
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

TEST(MessageLogTest, MessagesTakeTheirArguments) {
  const Captured c = Capture([] {
    Errorc log;
    log.Report(0, static_cast<void*>(nullptr), "formatp failed");
    log.Report(35, 5, 999);
    log.Report(39, 6, 7, 503);
    log.Report(30, 'A');
    log.Report(kErrorTextCount);
    log.Report(-1);
    log.Report(" first\n second");
  });
  EXPECT_EQ(" first\n second\n", c.out);
  EXPECT_EQ("Error 0: Message: " + NullPointerText() + ", formatp failed\n" +
                "Error 35: Bad internal table(5)/field(999) id\n" +
                "Error 39: Internal table cross match (6/7) failed for field 503\n" +
                "Error 30: Unrecognised table key character A.  Record ignored.\n" +
                "Error 41: LAST ERROR\n" + "Error 41: LAST ERROR\n",
            c.err);
}
