#include "support/run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/capture.h"

extern char** environ;

namespace {

// Between fork and exec only async-signal-safe calls are allowed, so the child's
// complaints are written with write(2) alone.
void ChildFail(const char* what) {
  const char* reason = std::strerror(errno);
  (void)!write(2, what, std::strlen(what));
  (void)!write(2, ": ", 2);
  (void)!write(2, reason, std::strlen(reason));
  (void)!write(2, "\n", 1);
  _exit(127);
}

std::vector<std::string> Environment(const std::vector<std::string>& env) {
  std::vector<std::string> all;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string var = *e;
    const std::string name = var.substr(0, var.find('=') + 1);
    bool replaced = false;
    for (const std::string& mine : env)
      replaced = replaced || mine.compare(0, name.size(), name) == 0;
    if (!replaced) all.push_back(var);
  }
  all.insert(all.end(), env.begin(), env.end());
  return all;
}

std::vector<char*> Pointers(std::vector<std::string>* texts) {
  std::vector<char*> p;
  for (std::string& t : *texts) p.push_back(&t[0]);
  p.push_back(nullptr);
  return p;
}

// Reads both pipes to their ends; reading only one at a time could leave the
// program blocked on a full pipe.
void Drain(int out_fd, int err_fd, ProgramRun* run) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&run->out, &run->err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const std::vector<std::string>& env) {
  ProgramRun run;
  std::vector<std::string> argv_texts{program};
  argv_texts.insert(argv_texts.end(), args.begin(), args.end());
  std::vector<std::string> env_texts = Environment(env);
  const std::vector<char*> argv = Pointers(&argv_texts);
  const std::vector<char*> envp = Pointers(&env_texts);

  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return run;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return run;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null_fd < 0 || dup2(null_fd, 0) < 0 || dup2(out_pipe[1], 1) < 0 ||
        dup2(err_pipe[1], 2) < 0) {
      _exit(127);
    }
    if (chdir(dir.c_str()) != 0) ChildFail(dir.c_str());
    execve(program.c_str(), argv.data(), envp.data());
    ChildFail(program.c_str());
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return run;
  }
  Drain(out_pipe[0], err_pipe[0], &run);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return run;
}

ScratchFolder::ScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/defshift_e2e.XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    ADD_FAILURE() << "cannot create a folder from " << pattern << ": " << std::strerror(errno);
    return;
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(path_, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ProgramRun ScratchFolder::Run(const std::string& program,
                              const std::vector<std::string>& args) const {
  return RunProgram(program, args, path_, {"QRLNT_SFSDIR=" + path_});
}

void ExpectMatchesGolden(const std::string& path, const std::string& actual) {
  const char* update = std::getenv("DEFSHIFT_UPDATE_GOLDEN");
  if (update != nullptr && std::strcmp(update, "1") == 0) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::ifstream probe(path, std::ios::binary);
  ASSERT_TRUE(probe.good()) << path << " is missing; DEFSHIFT_UPDATE_GOLDEN=1 writes it";
  EXPECT_EQ(ReadFile(path), actual) << "differs from " << path;
}
