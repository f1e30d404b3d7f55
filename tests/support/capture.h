// Captures what a call writes to standard output and standard error, reads
// whole files and looks for texts in them, for tests of everything that reports.
#ifndef TESTS_SUPPORT_CAPTURE_H_
#define TESTS_SUPPORT_CAPTURE_H_

#include <cstdio>
#include <functional>
#include <string>

struct Captured {
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs call with both streams captured (C stdio and file descriptors alike).
// Captures do not nest.
Captured Capture(const std::function<void()>& call);

// The whole content of the file at path; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The whole content of the text file at path, as ReadFile, with every CR LF read
// as LF on Windows, where text files end their lines in CR LF.
std::string ReadText(const std::string& path);
// text with every CR LF as LF on Windows; text itself elsewhere.
std::string FoldLineEnds(std::string text);

// Sets the environment variable name to value for the process.
void SetVariable(const char* name, const std::string& value);

// A path for a new file named after name (and the process) in the test's
// temporary folder; any file already there is removed.
std::string TempPath(const std::string& name);

// A new, empty file opened for writing and reading in binary, removed when the
// stream is closed; null when none can be made. The C runtime's tmpfile on
// Windows makes its file in the root folder of the drive, which may not be
// writable, so there the file is made in the test's temporary folder.
FILE* TempStream();

// Whether text holds part.
bool Has(const std::string& text, const std::string& part);
// The number of non-overlapping occurrences of part in text.
int Occurrences(const std::string& text, const std::string& part);

#endif  // TESTS_SUPPORT_CAPTURE_H_
