#include "admsa_interrupt.h"

#include <csignal>
#include <cstddef>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "admsa_fm_files.h"
#include "admsa_progress.h"

namespace {

// Long enough for the longest line AbandonPendingFiles composes.
constexpr size_t kLineSize = 256;

// The progress line, when one is on the terminal, gives way to the line of the
// interruption: blanks over it, written without the C library's streams.
size_t EraseProgress(char* Line, size_t Size) {
  if (!progress::state.shown || progress::state.out != stderr) return 0;
  const size_t width = static_cast<size_t>(progress::state.width);
  if (width + 2 > Size) return 0;
  size_t n = 0;
  Line[n++] = '\r';
  for (size_t i = 0; i < width; ++i) Line[n++] = ' ';
  Line[n++] = '\r';
  return n;
}

#ifdef _WIN32

bool g_caught = false;

#else

constexpr int kSignalCount = sizeof kInterruptSignals / sizeof kInterruptSignals[0];
struct sigaction g_before[kSignalCount];
bool g_caught[kSignalCount] = {};

void WriteAll(const char* Text, size_t Size) {
  while (Size > 0) {
    const ssize_t n = write(2, Text, Size);
    if (n <= 0) return;
    Text += n;
    Size -= static_cast<size_t>(n);
  }
}

#endif

}  // namespace

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD Event) {
  switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  char erase[160 + 2];
  const size_t erased = EraseProgress(erase, sizeof erase);
  char line[kLineSize];
  const size_t n = AbandonPendingFiles(line, sizeof line);
  // This runs on a thread of its own while the run goes on: the process ends
  // here, before the run can write or rename anything more, and without the
  // closing lines of a run that ended.
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (erased > 0) WriteFile(err, erase, static_cast<DWORD>(erased), &written, nullptr);
  WriteFile(err, line, static_cast<DWORD>(n), &written, nullptr);
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

void CatchInterruptions() {
  ForgetReplacedFiles();
  if (!g_caught) g_caught = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

void ReleaseInterruptions() {
  if (g_caught) SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  g_caught = false;
}

#else

void OnInterrupt(int Signal) {
  char erase[160 + 2];
  const size_t erased = EraseProgress(erase, sizeof erase);
  char line[kLineSize];
  const size_t n = AbandonPendingFiles(line, sizeof line);
  WriteAll(erase, erased);
  WriteAll(line, n);
  // Ended by the signal itself, so that whoever started the run sees what
  // ended it.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(Signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, Signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(Signal);
  _exit(128 + Signal);
}

void CatchInterruptions() {
  ForgetReplacedFiles();
  struct sigaction caught {};
  caught.sa_handler = OnInterrupt;
  // One interruption at a time: the others wait until the process has ended.
  sigemptyset(&caught.sa_mask);
  for (int signal : kInterruptSignals) sigaddset(&caught.sa_mask, signal);
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_caught[i] || sigaction(kInterruptSignals[i], nullptr, &g_before[i]) != 0) continue;
    if (g_before[i].sa_handler == SIG_IGN) continue;
    g_caught[i] = sigaction(kInterruptSignals[i], &caught, nullptr) == 0;
  }
}

void ReleaseInterruptions() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_caught[i]) sigaction(kInterruptSignals[i], &g_before[i], nullptr);
    g_caught[i] = false;
  }
}

#endif
