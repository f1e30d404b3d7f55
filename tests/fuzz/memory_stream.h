// A stdio stream whose writes land in a std::string: the fuzz targets keep
// every command file, account and report in memory, so that an execution
// touches no file.
#ifndef TESTS_FUZZ_MEMORY_STREAM_H_
#define TESTS_FUZZ_MEMORY_STREAM_H_

#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline ssize_t TakeText(void* text, const char* data, size_t size) {
  static_cast<std::string*>(text)->append(data, size);
  return static_cast<ssize_t>(size);
}

// A stream into *text, open for the whole process; buffered with a buffer of
// its own when buffer is not null, else each write goes straight into the text.
inline FILE* StreamInto(std::string* text, char* buffer, size_t size) {
  cookie_io_functions_t take = {};
  take.write = TakeText;
  FILE* stream = fopencookie(text, "w", take);
  if (stream == nullptr ||
      std::setvbuf(stream, buffer, buffer != nullptr ? _IOFBF : _IONBF, size) != 0) {
    std::abort();
  }
  return stream;
}

#endif  // TESTS_FUZZ_MEMORY_STREAM_H_
