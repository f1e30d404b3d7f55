// The message log of the migration library: one global Errorc, Error, through which
// every part writes its report (banner, log lines, numbered errors, footer), to the
// console or appended to a log file.
#ifndef DEFSHIFTCORE_ADMSA_ERRS_H_
#define DEFSHIFTCORE_ADMSA_ERRS_H_

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>

// Checks the arguments of a printf-like function against its format. MinGW's
// printf family, the one the library is built with, reads formats as GNU C does.
#if defined(__MINGW32__)
#define ADMSA_PRINTF(string_index, first_index) \
  __attribute__((format(gnu_printf, string_index, first_index)))
#else
#define ADMSA_PRINTF(string_index, first_index) \
  __attribute__((format(printf, string_index, first_index)))
#endif

#include "admsa_supp_text.h"

enum LogType { AdmSA_LogToStderr = 0, AdmSA_LogToFile = 1 };
enum ReportType { AdmSA_Log = 0, AdmSA_Error = 1 };

// Number of entries of ErrorText; the last one closes the table and is never reported.
constexpr int kErrorTextCount = 42;
// The numbered message formats, indexed by message number.
extern const char* const ErrorText[kErrorTextCount];

class Errorc {
 public:
  // Console for every destination, no log file.
  Errorc();
  // When a log file is open: prints "<Title> messages have been logged to: <file>"
  // on standard output, unless the report could not be written there, and closes
  // the file.
  ~Errorc();
  Errorc(const Errorc&) = delete;
  Errorc& operator=(const Errorc&) = delete;

  // Opens LogFile (when not null) for appending and, when it opened, sends the log
  // and the error texts there; a file that does not open leaves the report on the
  // console, and one line on standard error names the file and the reason.
  // Writes the banner in every case.
  void Init(const char* LogFile);
  // As Init with a log file that opened, but the report goes to Stream, which
  // stays the caller's: it keeps its buffering and is never closed here (a
  // process that checks the reports it makes keeps them in memory). Name names
  // it in the closing line.
  void InitStream(FILE* Stream, const char* Name);
  // Writes Text unchanged, without a newline, to the log destination (the log file,
  // or standard error on the console).
  void Write(const char* Text);
  // One log line: to the log file, or to standard output on the console; a newline
  // is added. The text may be of any length.
  void Report(const char* Format, ...) ADMSA_PRINTF(2, 3);
  // Numbered message num of ErrorText: its text (without number) to the log file
  // when there is one, and always "Error <num>: <text>" to standard error.
  // Numbers outside the table are reported as the closing entry.
  void Report(int num, ...);
  // A line that tells the user what to do about the numbered message before it:
  // to the log file when there is one, and always to standard error, as it stands.
  void Explain(const char* Format, ...) ADMSA_PRINTF(2, 3);
  // As Report with num, the message followed by ": " and the words that
  // SystemErrorText gives for the system error number Cause.
  void ReportFailure(int Cause, int num, ...);
  // Writes the footer to the log destination and flushes every stream the
  // report went to (the log file, or standard output and standard error on the
  // console). The log file stays open. 0 when the whole report was written;
  // -1 when a write of it failed: then one line on standard error (standard
  // output when that cannot be written) names the file and the reason, and no
  // closing line will claim the report was logged.
  int EndLog();

  // The log file name given to Init, or null.
  const char* LogFileName() const { return FileName.get(); }
  // Whether the report goes to the log file (it opened).
  bool LogsToFile() const { return LogDest == AdmSA_LogToFile; }

 private:
  void WriteBanner();
  void WriteFooter();
  // Reason, when not null, follows the text of a numbered message after ": ".
  void WriteReport(int Num, const char* Format, ReportType Type, va_list Args,
                   const char* Reason = nullptr);
  FILE* LogStream();
  // Keeps the first failed write (Error, its error number; 0 for success) to a
  // stream that carries the report.
  void Wrote(FILE* Out, int Error);
  // Flushes Out, keeping a failure as Wrote does.
  void Flush(FILE* Out);
  // The line that tells that the report could not be written, once.
  void TellFailure();

  [[maybe_unused]] int count;  // set at construction; read by nothing
  LogType LogDest;
  LogType ErrDest;
  FILE* LogHandle;
  OwnedText FileName;
  bool lent;      // LogHandle is the caller's stream (InitStream): never closed here
  int werr;       // error number of the first failed write of the report; 0 while none
  FILE* wstream;  // the stream of that write
  FILE* earlier;  // standard output, when it had failed before the report began
  bool told;      // the failure has been told
};

// The one message log of the library, constructed when the library is loaded.
extern Errorc Error;

// Reports message 4 with the number of bytes that could not be obtained and ends
// the process with status 1: a migration that cannot hold its data must not go on
// and write a partial command file.
[[noreturn]] void OutOfMemory(long bytes);

// Runs call, which returns true when it succeeded, with errno cleared first.
// Returns 0 when it succeeded, else the error number it left in errno, or EIO
// when it left none (a stream may fail without setting one).
template <typename Call>
int ErrorOf(Call call) {
  errno = 0;
  if (call()) return 0;
  return errno != 0 ? errno : EIO;
}

// Flushes Stream: 0 when every byte written to it so far reached its file,
// else the error number of the flush, or EIO when an earlier write failed. Most
// write failures (a full disk) show only when the buffer goes out.
int FlushStream(FILE* Stream);

// The system's words for the error number ErrorNumber (an errno value), such as
// "No space left on device"; never null.
const char* SystemErrorText(int ErrorNumber);

// The local time of `when` in the standard 24-character calendar form followed by
// its newline, as in "Thu Feb 20 14:05:09 1997\n" (day of the month padded with a
// blank). Used by the report and by the command file header.
void AscTime(std::time_t when, char (&out)[32]);

#endif  // DEFSHIFTCORE_ADMSA_ERRS_H_
