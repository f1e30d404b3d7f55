#include "admsa_fm_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
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

namespace {

// Attempts at a temporary name before giving up: others only clash with files
// left by an earlier process of the same number.
constexpr int kTempAttempts = 100;

// The temporary files being written, while they are not complete; owned. A run
// writes the command file and its account at the same time.
constexpr int kMostPending = 4;
char* g_pending[kMostPending] = {};

void RemovePending() {
  for (char*& pending : g_pending) {
    if (pending == nullptr) continue;
    std::remove(pending);
    std::free(pending);
    pending = nullptr;
  }
}

void AddPending(const std::string& Temp) {
  static const bool registered = std::atexit(RemovePending) == 0;
  (void)registered;
  for (char*& pending : g_pending) {
    if (pending == nullptr) {
      pending = strdup(Temp.c_str());
      return;
    }
  }
  // Beyond the slots a temporary file is still removed by its writer on every
  // path but the end of the process.
}

void ForgetPending(const std::string& Temp) {
  for (char*& pending : g_pending) {
    if (pending != nullptr && Temp == pending) {
      std::free(pending);
      pending = nullptr;
      return;
    }
  }
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

}  // namespace

int OpenWholeFile(const char* Name, FILE** rFile, std::string* rTemp, std::string* rTarget,
                  bool Binary) {
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
  static unsigned counter = 0;
  const std::string stem = target + "." + std::to_string(ProcessId()) + "-";
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const std::string temp = stem + std::to_string(counter++) + ".tmp";
    int fd = -1;
    const int created = ErrorOf([&] { return (fd = CreateNew(temp, Binary)) >= 0; });
    if (created == EEXIST) continue;
    if (created != 0) return created;
#ifndef _WIN32
    // The new file takes the place of the old one with the old one's permissions;
    // a failure leaves the usual ones, which is no reason to fail the run.
    if (exists) (void)fchmod(fd, existing.st_mode & 07777);
#endif
    FILE* stream = nullptr;
    const int error = ErrorOf([&] { return (stream = StreamOf(fd, Binary)) != nullptr; });
    if (error != 0) {
      CloseDescriptor(fd);
      std::remove(temp.c_str());
      return error;
    }
    *rFile = stream;
    *rTemp = temp;
    *rTarget = target;
    AddPending(temp);
    return 0;
  }
  return EEXIST;
}

int FlushWholeFile(FILE* Stream) {
  const int flushed = ErrorOf([Stream] { return std::fflush(Stream) == 0; });
  if (flushed != 0) return flushed;
  return std::ferror(Stream) != 0 ? EIO : 0;
}

int CommitWholeFile(const std::string& Temp, const std::string& Target) {
  const int error = ReplaceByRename(Temp.c_str(), Target.c_str());
  if (error == 0) ForgetPending(Temp);
  return error;
}

void DiscardWholeFile(const std::string& Temp) {
  std::remove(Temp.c_str());
  ForgetPending(Temp);
}

int ReplaceByRename(const char* From, const char* To) {
#ifdef _WIN32
  // rename refuses an existing To on Windows.
  if (MoveFileExA(From, To, MOVEFILE_REPLACE_EXISTING) != 0) return 0;
  return ErrorOfSystem(GetLastError());
#else
  return ErrorOf([&] { return std::rename(From, To) == 0; });
#endif
}
