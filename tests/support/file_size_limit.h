// A limit on the size of the files the process (and the programs it starts)
// writes, for tests of writes that fail on a regular file.
#ifndef TESTS_SUPPORT_FILE_SIZE_LIMIT_H_
#define TESTS_SUPPORT_FILE_SIZE_LIMIT_H_

#include <sys/resource.h>

#include <csignal>

// While it lives, a write that would make a file larger than bytes fails with
// EFBIG ("File too large") instead of raising the signal that ends the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  // Whether the limit was set.
  bool ok() const { return ok_; }

 private:
  struct rlimit old_ {};
  struct sigaction old_action_ {};
  bool ok_ = false;
};

#endif  // TESTS_SUPPORT_FILE_SIZE_LIMIT_H_
