// The progress line of long runs: shown only on a terminal while the report goes
// to a log file, redrawn in place, and erased without a trace.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "admsa_errs.h"
#include "admsa_progress.h"
#include "support/capture.h"

namespace {

// Everything written to f since it was made.
std::string Contents(FILE* f) {
  std::fflush(f);
  std::string text;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

// What a terminal shows of text on its last line: carriage returns go back to
// the start of the line and overwrite it.
std::string Visible(const std::string& text) {
  std::string line;
  size_t col = 0;
  for (char c : text) {
    if (c == '\r') {
      col = 0;
      continue;
    }
    if (col < line.size()) {
      line[col] = c;
    } else {
      line.push_back(c);
    }
    ++col;
  }
  const size_t end = line.find_last_not_of(' ');
  return end == std::string::npos ? "" : line.substr(0, end + 1);
}

// A temporary stream for the progress line of one run. The run ends and the
// stream closes when the object goes, however the test ends.
class LineStream {
 public:
  LineStream() : f_(TempStream()) {}
  ~LineStream() {
    progress::End();
    if (f_ != nullptr) std::fclose(f_);
  }
  LineStream(const LineStream&) = delete;
  LineStream& operator=(const LineStream&) = delete;

  FILE* get() const { return f_; }

 private:
  FILE* f_;
};

// Counts long enough for the line to be due: a round of counts before the
// first delay has passed, then a round after it, whose last count draws.
void LongRun() {
  for (int i = 0; i < progress::kCheckEvery; ++i) progress::Count(progress::kRead);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  for (int i = 0; i < 3; ++i) progress::Count(progress::kTranslated);
  for (int i = 0; i < progress::kCheckEvery - 3; ++i) progress::Count(progress::kWritten);
}

TEST(ProgressTest, ShownOnlyOnATerminalWhileTheReportGoesToAFile) {
  struct Case {
    bool report_to_file;
    bool terminal;
  };
  const Case cases[] = {{true, true}, {true, false}, {false, true}, {false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.report_to_file) + " " + std::to_string(c.terminal));
    const LineStream stream;
    FILE* out = stream.get();
    ASSERT_NE(nullptr, out);
    progress::Begin(c.report_to_file, c.terminal, out);
    LongRun();
    const std::string during = Visible(Contents(out));
    progress::End();
    const std::string after = Contents(out);
    if (c.report_to_file && c.terminal) {
      EXPECT_EQ("defshift: 1024 records read, 3 definitions translated, 1021 written", during);
      EXPECT_EQ(std::string::npos, after.find('\n')) << "one line, rewritten in place";
      EXPECT_EQ("", Visible(after)) << "erased";
    } else {
      EXPECT_EQ("", after);
    }
  }
}

TEST(ProgressTest, ShortRunsShowNothingAndErasingTwiceIsHarmless) {
  const LineStream stream;
  FILE* out = stream.get();
  ASSERT_NE(nullptr, out);
  progress::Begin(true, true, out);
  for (int i = 0; i < 10 * progress::kCheckEvery; ++i) progress::Count(progress::kRead);
  progress::Erase();
  progress::End();
  progress::End();
  EXPECT_EQ("", Contents(out));
  // Nothing is counted or written once the run has ended.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  for (int i = 0; i < progress::kCheckEvery; ++i) progress::Count(progress::kRead);
  EXPECT_EQ("", Contents(out));
}

// An error in the middle of a run is not written across the line.
TEST(ProgressTest, ErrorsEraseTheLineFirst) {
  const Captured c = Capture([] {
    progress::Begin(true, true, stderr);
    LongRun();
    Errorc log;
    log.Report(31);
    progress::End();
  });
  const size_t error = c.err.find("Error 31: ");
  ASSERT_NE(std::string::npos, error) << c.err;
  EXPECT_EQ("", Visible(c.err.substr(0, error))) << "the line was erased before the error";
  EXPECT_EQ(0u, c.err.find("\rdefshift: 1024 records read")) << c.err;
}

}  // namespace
