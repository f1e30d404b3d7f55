#include "support/capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

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

std::string TempPath(const std::string& name) {
  std::string path = testing::TempDir();
  if (!path.empty() && path.back() != '/') path += '/';
  // Test cases may run side by side in separate processes.
  path += std::to_string(getpid()) + "_" + name;
  std::remove(path.c_str());
  return path;
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
