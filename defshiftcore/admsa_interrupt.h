// Interruption of a run: on SIGINT, SIGTERM, SIGHUP and SIGPIPE (on Windows Ctrl-C,
// Ctrl-Break, closing the console, logging off and shutting down) the run
// removes the temporary files it holds, so that every earlier command file and
// account stays as it was, prints one line on standard error that says what the
// interruption left (AbandonPendingFiles), and the process ends as the signal
// ends it: on Linux with the signal's default action, which the shell shows as
// 128 + its number; on Windows with the status of a process ended by Ctrl-C.
#ifndef DEFSHIFTCORE_ADMSA_INTERRUPT_H_
#define DEFSHIFTCORE_ADMSA_INTERRUPT_H_

#ifndef _WIN32
#include <csignal>

// The signals that interrupt a run. SIGPIPE among them: a report on the
// console piped to a program that stopped reading ends the run as well.
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
#endif

// Catches the interruptions for the run that starts. A signal that the process
// ignores (a run started by nohup, or in the background by a shell) stays
// ignored.
void CatchInterruptions();
// Gives the interruptions back what they had before CatchInterruptions.
void ReleaseInterruptions();

// The handler, open to tests. It does only what is safe in a signal handler,
// and does not return.
#ifdef _WIN32
// A HandlerRoutine of SetConsoleCtrlHandler (BOOL WINAPI, DWORD), declared
// without windows.h; returns FALSE, doing nothing, for an event it does not take.
int __stdcall OnConsoleEvent(unsigned long Event);
#else
void OnInterrupt(int Signal);
#endif

#endif  // DEFSHIFTCORE_ADMSA_INTERRUPT_H_
