// Runs a command and writes how long it took and how much memory it held:
//
//   measure RESULT COMMAND [ARGUMENTS...]
//
// RESULT receives one line: the wall time in seconds, the peak resident set of
// the command in kilobytes, its exit status (128 + the signal when a signal ended
// it) and the processor time it used in seconds (user and system). The command inherits the
// standard streams. Exit status 0 once the command ran, whatever its own status; 1 when it could
// not be run or measured.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure RESULT COMMAND [ARGUMENTS...]\n");
    return 1;
  }
  const double start = Now();
  const pid_t child = fork();
  if (child < 0) {
    std::fprintf(stderr, "measure: cannot start %s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::fprintf(stderr, "measure: cannot run %s: %s\n", argv[2], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  pid_t done;
  do {
    done = wait4(child, &status, 0, &usage);
  } while (done < 0 && errno == EINTR);
  const double wall = Now() - start;
  if (done < 0) {
    std::fprintf(stderr, "measure: lost %s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::fprintf(stderr, "measure: cannot write %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  // ru_maxrss is in kilobytes on Linux.
  std::fprintf(out, "%.3f %ld %d %.3f\n", wall, usage.ru_maxrss, code, cpu);
  return std::fclose(out) == 0 ? 0 : 1;
}
