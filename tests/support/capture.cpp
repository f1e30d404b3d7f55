#include "support/capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

Captured Capture(const std::function<void()>& call) {
  std::fflush(nullptr);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  call();
  std::fflush(nullptr);
  Captured c;
  c.out = testing::internal::GetCapturedStdout();
  c.err = testing::internal::GetCapturedStderr();
  return c;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

std::string ReadText(const std::string& path) { return FoldLineEnds(ReadFile(path)); }

std::string FoldLineEnds(std::string text) {
#if defined(_WIN32)
  size_t kept = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[kept++] = text[i];
  }
  text.resize(kept);
#endif
  return text;
}

void SetVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::string TempPath(const std::string& name) {
  std::string path = testing::TempDir();
  if (!path.empty() && path.back() != '/') path += '/';
  // Test cases may run side by side in separate processes.
  path += std::to_string(getpid()) + "_" + name;
  std::remove(path.c_str());
  return path;
}

FILE* TempStream() {
#if defined(_WIN32)
  static int made = 0;
  // "D": the C runtime removes the file when the stream is closed.
  return std::fopen(TempPath("stream" + std::to_string(++made) + ".tmp").c_str(), "w+bD");
#else
  return std::tmpfile();
#endif
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + part.size())) {
    ++n;
  }
  return n;
}
