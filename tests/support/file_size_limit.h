// A limit on the size of the files the process (and the programs it starts)
// writes, for tests of writes that fail on a regular file.
#ifndef TESTS_SUPPORT_FILE_SIZE_LIMIT_H_
#define TESTS_SUPPORT_FILE_SIZE_LIMIT_H_

#if !defined(_WIN32)
#include <sys/resource.h>

#include <csignal>
#endif

// While it lives, a write that would make a file larger than bytes fails with
// EFBIG ("File too large") instead of raising the signal that ends the process.
class FileSizeLimit {
 public:
#if defined(_WIN32)
  // Windows limits the size of no process's files: such a limit is never set.
  static constexpr bool kAvailable = false;
  static constexpr const char* kUnavailable =
      "Windows has no limit on the size of a process's files, like RLIMIT_FSIZE";
#else
  static constexpr bool kAvailable = true;
  static constexpr const char* kUnavailable = "";
#endif

  explicit FileSizeLimit(long long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  // Whether the limit was set.
  bool ok() const { return ok_; }

 private:
#if !defined(_WIN32)
  struct rlimit old_ {};
  struct sigaction old_action_ {};
#endif
  bool ok_ = false;
};

#endif  // TESTS_SUPPORT_FILE_SIZE_LIMIT_H_
