#include "support/file_size_limit.h"

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (sigaction(SIGXFSZ, &ignore, &old_action_) != 0) return;
  if (getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
  struct rlimit limited = old_;
  limited.rlim_cur = bytes;
  ok_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
}

FileSizeLimit::~FileSizeLimit() {
  if (ok_) setrlimit(RLIMIT_FSIZE, &old_);
  sigaction(SIGXFSZ, &old_action_, nullptr);
}
