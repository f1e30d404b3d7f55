#include "admsa_fm_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "admsa_errs.h"
#include "admsa_interrupt.h"

namespace {

// Attempts at a temporary name before giving up: others only clash with files
// left by an earlier process of the same number.
constexpr int kTempAttempts = 100;

// The temporary files of the process while they are not complete, and the
// files that took their names in this run, kept in storage of their own so
// that an interruption can find them without taking memory: a slot is claimed
// before its file is created and freed after the file is gone. A run writes the
// command file and its account at the same time.
enum PendingState : int { kFree = 0, kWriting = 1, kReplaced = 2 };
struct Pending {
  volatile sig_atomic_t state = kFree;
  const char* role = "";  // "command file", "account": static texts
  char temp[kLongestTempName] = {};
};
constexpr int kMostPending = 4;
Pending g_pending[kMostPending];

FileEventHook g_hook = nullptr;

void Tell(FileEvent Event, const char* Name) {
  if (g_hook != nullptr) g_hook(Event, Name);
}

// Keeps interruptions away while a file is being created or takes its name, so
// that an interruption finds every slot telling the truth about its file. On
// Windows the console's handler runs on a thread of its own and waits here.
class FilesLock {
 public:
#ifdef _WIN32
  FilesLock() { EnterCriticalSection(&Section()); }
  ~FilesLock() { LeaveCriticalSection(&Section()); }
  static CRITICAL_SECTION& Section() {
    static struct Made {
      Made() { InitializeCriticalSection(&section); }
      CRITICAL_SECTION section;
    } made;
    return made.section;
  }
#else
  FilesLock() {
    sigset_t interruptions;
    sigemptyset(&interruptions);
    for (int signal : kInterruptSignals) sigaddset(&interruptions, signal);
    sigprocmask(SIG_BLOCK, &interruptions, &before_);
  }
  ~FilesLock() { sigprocmask(SIG_SETMASK, &before_, nullptr); }

 private:
  sigset_t before_;
#endif
  FilesLock(const FilesLock&) = delete;
  FilesLock& operator=(const FilesLock&) = delete;
};

void RemoveFile(const char* Name) {
#ifdef _WIN32
  DeleteFileA(Name);
#else
  unlink(Name);
#endif
}

void RemovePending() {
  for (Pending& pending : g_pending) {
    if (pending.state != kWriting) continue;
    RemoveFile(pending.temp);
    pending.state = kFree;
  }
}

// Claims a slot for Temp before the file is made; beyond the slots a temporary
// file is still removed by its writer on every path but the end of the process.
void AddPending(const std::string& Temp, const char* Role) {
  static const bool registered = std::atexit(RemovePending) == 0;
  (void)registered;
  Pending* slot = nullptr;
  for (Pending& pending : g_pending) {
    if (pending.state == kFree) {
      slot = &pending;
      break;
    }
    if (pending.state == kReplaced && slot == nullptr) slot = &pending;
  }
  if (slot == nullptr) return;
  slot->state = kFree;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(slot->temp, Temp.c_str(), Temp.size() + 1);
  slot->role = Role;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  slot->state = kWriting;
}

// The slot of the temporary file Temp, or null.
Pending* PendingOf(const std::string& Temp) {
  for (Pending& pending : g_pending) {
    if (pending.state == kWriting && Temp == pending.temp) return &pending;
  }
  return nullptr;
}

void ForgetPending(const std::string& Temp) {
  if (Pending* pending = PendingOf(Temp)) pending->state = kFree;
}

// Appends Text to the line being composed at *rAt, before End, in a signal
// handler: no formatting, no memory.
void Append(const char* Text, char** rAt, char* End) {
  while (*Text != '\0' && *rAt < End) *(*rAt)++ = *Text++;
}

long ProcessId() {
#ifdef _WIN32
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(getpid());
#endif
}

#ifdef _WIN32
// Whether Name names a device (NUL, CON, a COM port, also with a folder or an
// extension) or another object of the device namespace, such as a pipe: the
// system gives the full name of every such file in the form \\.\NAME.
bool NamesADevice(const char* Name) {
  std::string full(MAX_PATH, '\0');
  DWORD length = GetFullPathNameA(Name, static_cast<DWORD>(full.size()), &full[0], nullptr);
  if (length >= full.size()) {
    full.assign(length, '\0');
    length = GetFullPathNameA(Name, static_cast<DWORD>(full.size()), &full[0], nullptr);
  }
  if (length == 0 || length >= full.size()) return false;
  return full.compare(0, 4, "\\\\.\\") == 0;
}

// The error number that stands for the system error Error of a file call.
int ErrorOfSystem(DWORD Error) {
  switch (Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    default:
      return EIO;
  }
}
#endif

// A new file Path for writing, opened only when no file of that name exists;
// -1 with errno set when none was made.
int CreateNew(const std::string& Path, bool Binary) {
#ifdef _WIN32
  // Open in a way that lets the file be removed while it is open: a process
  // that ends before the file is complete removes it before its streams close.
  const HANDLE file = CreateFileA(Path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errno = ErrorOfSystem(GetLastError());
    return -1;
  }
  int fd = -1;
  const int error = ErrorOf([&] {
    return (fd = _open_osfhandle(reinterpret_cast<intptr_t>(file),
                                 _O_WRONLY | (Binary ? _O_BINARY : _O_TEXT))) >= 0;
  });
  if (error != 0) {
    CloseHandle(file);
    DeleteFileA(Path.c_str());
    errno = error;
  }
  return fd;
#else
  (void)Binary;
  return open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

bool MayWrite(const char* Name) {
#ifdef _WIN32
  return _access(Name, 2) == 0;
#else
  return access(Name, W_OK) == 0;
#endif
}

FILE* StreamOf(int fd, bool Binary) {
#ifdef _WIN32
  return _fdopen(fd, Binary ? "wb" : "w");
#else
  return fdopen(fd, Binary ? "wb" : "w");
#endif
}

void CloseDescriptor(int fd) {
#ifdef _WIN32
  _close(fd);
#else
  close(fd);
#endif
}

// Opens Name directly, as a file that cannot be replaced is written.
int OpenDirect(const char* Name, bool Binary, FILE** rFile) {
  return ErrorOf([&] { return (*rFile = std::fopen(Name, Binary ? "wb" : "w")) != nullptr; });
}

// Creates a new temporary file beside Target (whose state is *existing, null
// when there is none) and opens a stream on it: 0 with *rFile, *rTemp and
// *rTarget set, or the error number of the failure with nothing created.
int CreateTempFile(const std::string& target, const struct stat* existing, bool Binary,
                   const char* Role, FILE** rFile, std::string* rTemp, std::string* rTarget) {
  static unsigned counter = 0;
  const std::string stem = target + "." + std::to_string(ProcessId()) + "-";
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const std::string temp = stem + std::to_string(counter++) + ".tmp";
    if (temp.size() >= kLongestTempName) return ENAMETOOLONG;
    int fd = -1;
    int created = 0;
    {
      // Known before it exists, so that an interruption never misses it.
      const FilesLock lock;
      AddPending(temp, Role);
      created = ErrorOf([&] { return (fd = CreateNew(temp, Binary)) >= 0; });
      if (created != 0) ForgetPending(temp);
    }
    if (created == EEXIST) continue;
    if (created != 0) return created;
#ifndef _WIN32
    // The new file takes the place of the old one with the old one's permissions;
    // a failure leaves the usual ones, which is no reason to fail the run.
    if (existing != nullptr) (void)fchmod(fd, existing->st_mode & 07777);
#else
    (void)existing;  // Windows keeps no permission bits to carry over
#endif
    FILE* stream = nullptr;
    const int error = ErrorOf([&] { return (stream = StreamOf(fd, Binary)) != nullptr; });
    if (error != 0) {
      CloseDescriptor(fd);
      DiscardWholeFile(temp);
      return error;
    }
    *rFile = stream;
    *rTemp = temp;
    *rTarget = target;
    return 0;
  }
  return EEXIST;
}

}  // namespace

int OpenWholeFile(const char* Name, FILE** rFile, std::string* rTemp, std::string* rTarget,
                  bool Binary, const char* Role) {
  *rFile = nullptr;
  rTemp->clear();
  rTarget->clear();
  // An empty name would put the temporary file into the working folder.
  if (Name[0] == '\0') return ENOENT;
#ifdef _WIN32
  // A rename over a device would not reach it.
  if (NamesADevice(Name)) return OpenDirect(Name, Binary, rFile);
#endif
  std::string target(Name);
  struct stat existing;
  const bool exists = stat(Name, &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) return EISDIR;
    // A rename over a device would replace the device itself.
    if (!S_ISREG(existing.st_mode)) return OpenDirect(Name, Binary, rFile);
    // Writing it directly would be refused; so is replacing it.
    if (!MayWrite(Name)) return EACCES;
#ifndef _WIN32
    // Writing through a link writes the file it names: that file is replaced,
    // and the link stays.
    if (char* resolved = realpath(Name, nullptr)) {
      target = resolved;
      std::free(resolved);
    }
#endif
  }
  return CreateTempFile(target, exists ? &existing : nullptr, Binary, Role, rFile, rTemp, rTarget);
}

int SyncWholeFile(FILE* Stream, const std::string& Temp) {
#ifdef _WIN32
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(Stream)));
  if (FlushFileBuffers(file) == 0) {
    const DWORD error = GetLastError();
    // A file system that cannot be asked keeps what it has as it always did.
    if (error != ERROR_INVALID_FUNCTION) return ErrorOfSystem(error);
  }
#else
  int error = 0;
  do {
    error = ErrorOf([Stream] { return fsync(fileno(Stream)) == 0; });
  } while (error == EINTR);
  // A file system that cannot be asked keeps what it has as it always did.
  if (error != 0 && error != EINVAL && error != ENOTSUP && error != ENOSYS) return error;
#endif
  Tell(kFileSynced, Temp.c_str());
  return 0;
}

int CommitWholeFile(const std::string& Temp, const std::string& Target) {
  int error = 0;
  {
    // Renamed and noted as one step: an interruption tells which names changed.
    const FilesLock lock;
    error = ReplaceByRename(Temp.c_str(), Target.c_str());
    if (error == 0) {
      if (Pending* pending = PendingOf(Temp)) pending->state = kReplaced;
    }
  }
  if (error != 0) return error;
  Tell(kFileReplaced, Target.c_str());
#ifndef _WIN32
  // The new name is on the disk only once its folder is. Should that fail, the
  // name holds the earlier file or the new one after a power cut, either whole:
  // nothing to undo, and no reason to fail a run whose file is complete.
  const size_t slash = Target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : Target.substr(0, slash + 1);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    if (fsync(fd) == 0) Tell(kFolderSynced, folder.c_str());
    close(fd);
  }
#endif
  return 0;
}

void DiscardWholeFile(const std::string& Temp) {
  // Removed before its slot goes, so that an interruption in between finds it.
  RemoveFile(Temp.c_str());
  ForgetPending(Temp);
}

int ReplaceByRename(const char* From, const char* To) {
#ifdef _WIN32
  // rename refuses an existing To on Windows. Written through: the call returns
  // once the new name is on the disk.
  if (MoveFileExA(From, To, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return 0;
  return ErrorOfSystem(GetLastError());
#else
  return ErrorOf([&] { return std::rename(From, To) == 0; });
#endif
}

size_t AbandonPendingFiles(char* Line, size_t Size) {
#ifdef _WIN32
  // Never left: the process ends after this.
  EnterCriticalSection(&FilesLock::Section());
#endif
  const char* replaced[kMostPending];
  const char* abandoned[kMostPending];
  int nreplaced = 0;
  int nabandoned = 0;
  for (Pending& pending : g_pending) {
    if (pending.state == kWriting) {
      RemoveFile(pending.temp);
      pending.state = kFree;
      abandoned[nabandoned++] = pending.role;
    } else if (pending.state == kReplaced) {
      replaced[nreplaced++] = pending.role;
    }
  }
  if (Size < 2) return 0;
  char* at = Line;
  char* const end = Line + Size - 2;  // room for the newline and the NUL
  Append("defshift: interrupted; ", &at, end);
  if (nreplaced == 0) {
    Append("no command file or account was replaced", &at, end);
  } else {
    for (int i = 0; i < nreplaced; ++i) {
      Append(i == 0 ? "the " : " and the ", &at, end);
      Append(replaced[i], &at, end);
    }
    Append(nreplaced == 1 ? " was replaced" : " were replaced", &at, end);
    for (int i = 0; i < nabandoned; ++i) {
      Append(i == 0 ? ", not the " : " or the ", &at, end);
      Append(abandoned[i], &at, end);
    }
  }
  *at++ = '\n';
  *at = '\0';
  return static_cast<size_t>(at - Line);
}

void ForgetReplacedFiles() {
  for (Pending& pending : g_pending) {
    if (pending.state == kReplaced) pending.state = kFree;
  }
}

FileEventHook SetFileEventHook(FileEventHook Hook) {
  const FileEventHook before = g_hook;
  g_hook = Hook;
  return before;
}
