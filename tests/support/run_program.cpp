#include "support/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/capture.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <thread>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#if defined(_WIN32)

namespace {

// Quotes arg so that the C runtime of the program started splits the command
// line back into arg: backslashes count only before a quote.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    for (; i < arg.size() && arg[i] == '\\'; ++i) ++backslashes;
    if (i == arg.size()) {
      quoted.append(backslashes * 2, '\\');
      break;
    }
    if (arg[i] == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    quoted.push_back(arg[i]);
  }
  quoted.push_back('"');
  return quoted;
}

// The names of environment variables are compared without regard to case.
bool SameName(const std::string& var, const std::string& name_eq) {
  if (var.size() < name_eq.size()) return false;
  for (size_t i = 0; i < name_eq.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(var[i])) !=
        std::tolower(static_cast<unsigned char>(name_eq[i]))) {
      return false;
    }
  }
  return true;
}

// The environment block of the program: the test's own with env in place.
std::string EnvironmentBlock(const std::vector<std::string>& env) {
  std::string block;
  char* const all = GetEnvironmentStringsA();
  for (const char* e = all; e != nullptr && *e != '\0'; e += std::strlen(e) + 1) {
    const std::string var = e;
    // Entries such as "=C:=C:\\" name drives' folders; their names start at 1.
    const std::string name = var.substr(0, var.find('=', 1) + 1);
    bool replaced = false;
    for (const std::string& mine : env) replaced = replaced || SameName(mine, name);
    if (!replaced) block += var + '\0';
  }
  if (all != nullptr) FreeEnvironmentStringsA(all);
  for (const std::string& mine : env) block += mine + '\0';
  block += '\0';
  return block;
}

std::string SystemMessage(DWORD code) {
  char text[256];
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr) == 0) {
    std::snprintf(text, sizeof text, "system error %lu", static_cast<unsigned long>(code));
  }
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return message;
}

// Reads the pipe to its end into *sink.
void DrainPipe(HANDLE pipe, std::string* sink) {
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0) sink->append(buf, n);
}

// A handle closed when it goes.
class Handle {
 public:
  Handle() = default;
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE* out() { return &h_; }
  HANDLE get() const { return h_; }
  void Close() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const std::vector<std::string>& env) {
  ProgramRun run;
  std::string command = QuoteArgument(program);
  for (const std::string& arg : args) command += " " + QuoteArgument(arg);
  std::string block = EnvironmentBlock(env);

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  Handle out_read, out_write, err_read, err_write, null_in;
  if (!CreatePipe(out_read.out(), out_write.out(), &inherit, 0) ||
      !CreatePipe(err_read.out(), err_write.out(), &inherit, 0)) {
    return run;
  }
  // Only the program's ends are inherited.
  SetHandleInformation(out_read.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read.get(), HANDLE_FLAG_INHERIT, 0);
  *null_in.out() = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  if (null_in.get() == INVALID_HANDLE_VALUE) return run;

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in.get();
  startup.hStdOutput = out_write.get();
  startup.hStdError = err_write.get();
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, &block[0],
                      dir.c_str(), &startup, &process)) {
    run.status = 127;
    run.err = program + ": " + SystemMessage(GetLastError()) + "\n";
    return run;
  }
  CloseHandle(process.hThread);
  // The program holds the write ends now; the pipes end when it does.
  out_write.Close();
  err_write.Close();
  null_in.Close();
  // Both pipes at once: reading only one could leave the program blocked on the other.
  std::thread err_reader(DrainPipe, err_read.get(), &run.err);
  DrainPipe(out_read.get(), &run.out);
  err_reader.join();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.hProcess, &code)) run.status = static_cast<int>(code);
  CloseHandle(process.hProcess);
  run.out = FoldLineEnds(run.out);
  run.err = FoldLineEnds(run.err);
  return run;
}

ScratchFolder::ScratchFolder() {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) {
    ADD_FAILURE() << "no temporary folder: " << ec.message();
    return;
  }
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        base / ("defshift_e2e." + std::to_string(GetCurrentProcessId()) + "." +
                std::to_string(GetTickCount64() % 100000) + "." + std::to_string(++serial));
    if (std::filesystem::create_directory(path, ec)) {
      path_ = path.generic_string();
      return;
    }
  }
  ADD_FAILURE() << "cannot create a folder in " << base.string() << ": " << ec.message();
}

#else

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
// program blocked on a full pipe. With a tick, calls it about every
// millisecond until it returns false.
void Drain(int out_fd, int err_fd, ProgramRun* run, const std::function<bool()>& tick = nullptr) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&run->out, &run->err};
  int open = 2;
  bool ticking = static_cast<bool>(tick);
  while (open > 0) {
    const int ready = poll(fds, 2, ticking ? 1 : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ticking) ticking = tick();
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

// Starts program as RunProgram describes; calls tick, when there is one, about
// every millisecond while it runs, with its process id, until tick returns false.
ProgramRun Start(const std::string& program, const std::vector<std::string>& args,
                 const std::string& dir, const std::vector<std::string>& env,
                 const std::function<bool(pid_t)>& tick) {
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
  std::function<bool()> ticked;
  if (tick) ticked = [&tick, pid] { return tick(pid); };
  Drain(out_pipe[0], err_pipe[0], &run, ticked);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
  return run;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const std::vector<std::string>& env) {
  return Start(program, args, dir, env, nullptr);
}

ProgramRun RunProgramInterrupted(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& dir, const std::vector<std::string>& env,
                                 const std::function<bool()>& ready, int Signal, bool* rSent) {
  *rSent = false;
  return Start(program, args, dir, env, [&](pid_t pid) {
    if (!ready()) return true;
    // Stopped first: the signal is taken as the program goes on, where it was.
    *rSent = kill(pid, SIGSTOP) == 0 && kill(pid, Signal) == 0;
    kill(pid, SIGCONT);
    return false;
  });
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

#endif  // _WIN32

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

EndingFolder::EndingFolder(const char* Variable) : variable_(Variable) {
  const char* inherited = std::getenv(Variable);
  if (inherited != nullptr && inherited[0] != '\0') {
    path_ = inherited;
    return;
  }
  own_.emplace();
  path_ = own_->path();
  SetVariable(Variable, path_);
}

EndingFolder::~EndingFolder() {
  if (own_.has_value()) SetVariable(variable_, "");
}

std::vector<std::string> EndingFolder::Entries() const {
  return own_.has_value() ? own_->Entries() : std::vector<std::string>{};
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
