#include "admsa_errs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "admsa_progress.h"
#include "admsa_supp_text.h"
#include "defshiftcore.h"

// clang-format off
const char* const ErrorText[kErrorTextCount] = {
  /*  0 */ "Message: %p, %s",
  /*  1 */ "Failed to open file %s (%i)",
  /*  2 */ "Failed to stat file %s (%i)",
  /*  3 */ "Failed to close file %s (%i)",
  /*  4 */ "Couldn't obtain %i bytes",
  /*  5 */ "Failed to read file %s (%i)",
  /*  6 */ "The environment variables TAVODRV/TAVOHLD are not set",
  /*  7 */ "The TAVO directory %s\\%s\\RUNTIME does not exist",
  /*  8 */ "The File Manager profile %s could not be found",
  /*  9 */ "A record-length must be specified.",
  /* 10 */ "Warning: The minimum record length allowed is 44. The record length has been set to 44.",
  /* 11 */ "Warning: Unsupported Btrieve extended key-type was specified. This key segment has been defined as an unsigned binary type.",
  /* 12 */ "An ESDS or RRDS TYPE has been specified for a Btrieve file that is not defined in ESDS or RRDS format.",
  /* 13 */ "Error: a binary key segment is partially overlapped. Use QVBUTCFM to create a file definition and then run this utility to populate it from the Btrieve file.",
  /* 14 */ "Error: Only 24 key segments may be defined per file for TAVO",
  /* 15 */ "The %s utility ended with error: %d.",
  /* 16 */ "The File Manager database could not be updated",
  /* 17 */ "It was not possible to run the %s utility. Ensure that this utility can be found along the PATH",
  /* 18 */ "The file description has been added to the File Manager database",
  /* 19 */ "The TAVO File Manager failed to initialize properly",
  /* 20 */ "The File Manager file %s could not be found",
  /* 21 */ "Populating the file. Please wait...",
  /* 22 */ "Exporting data. Please wait...",
  /* 23 */ "Btrieve is configured with a Maximum Record Length that is too small to read all the records from %s. Reconfigure Btrieve with a larger Maximum Record Length.",
  /* 24 */ "The %s Btrieve file is empty",
  /* 25 */ "Btrieve returned %d trying to read the first record of %s",
  /* 26 */ "The file has been successfully populated with %d records.",
  /* 27 */ "%d records successfully exported.",
  /* 28 */ "Failed to connect to Ombrel SFS server.  Status:%i",
  /* 29 */ "No conversion performed.",
  /* 30 */ "Unrecognised table key character %c.  Record ignored.",
  /* 31 */ "Could not open file for input.",
  /* 32 */ "Could not open file for output.",
  /* 33 */ "Error during conversion.",
  /* 34 */ "Bad internal file manager id",
  /* 35 */ "Bad internal table(%i)/field(%i) id",
  /* 36 */ "Bad value; couldn't convert \"%s\" for predicate %s",
  /* 37 */ "Too many destinations in internal table %i",
  /* 38 */ "Bad type %i in internal translation table %i",
  /* 39 */ "Internal table cross match (%i/%i) failed for field %i",
  /* 40 */ "Unknown check table action %i",
  /* 41 */ "LAST ERROR",
};
// clang-format on

Errorc Error;

namespace {

// The stream buffer of the log file, which stays open until the library is
// unloaded: a report of a large control file holds a line or two for every record,
// and the C library's own buffer would send them to the file a few at a time.
char g_log_buffer[64 * 1024];

const char kDashes80[] =
    "--------------------------------------------------------------------------------\n";

// A rule, then "<Title> report <event>: " and the local time with its newline;
// 0, or the error number of a failed write.
int WriteStamp(FILE* out, const char* event) {
  char now[32];
  AscTime(std::time(nullptr), now);
  return ErrorOf([&] {
    return std::fputs(kDashes80, out) != EOF &&
           std::fprintf(out, "%s report %s: %s", Title, event, now) >= 0;
  });
}

// The text is formatted already: it goes out as it stands. 0, or the error
// number of a failed write.
int WriteLine(const char* text, size_t n, FILE* out) {
  return ErrorOf([&] { return std::fwrite(text, 1, n, out) == n && std::fputc('\n', out) != EOF; });
}

int WriteText(const char* text, FILE* out) {
  return ErrorOf([&] { return std::fputs(text, out) != EOF; });
}

// The report's own copy of the name of its file; a run without the storage for
// it does not go on.
OwnedText KeepName(const char* Name) {
  OwnedText kept(strdup(Name));
  if (kept == nullptr) OutOfMemory(static_cast<long>(std::strlen(Name)) + 1);
  return kept;
}

}  // namespace

Errorc::Errorc()
    : count(0),
      LogDest(AdmSA_LogToStderr),
      ErrDest(AdmSA_LogToStderr),
      LogHandle(nullptr),
      FileName(),
      lent(false),
      werr(0),
      wstream(nullptr),
      earlier(nullptr),
      told(false) {}

Errorc::~Errorc() {
  if (LogHandle != nullptr) {
    // A report that is not whole in the file must not be said to be there.
    if (werr == 0) Flush(LogHandle);
    LogDest = AdmSA_LogToStderr;
    if (werr == 0) {
      std::printf("%s messages have been logged to: %s\n", Title, FileName.get());
      std::fflush(stdout);
    } else {
      TellFailure();
    }
    if (!lent) std::fclose(LogHandle);
    LogHandle = nullptr;
  }
  FileName.reset();
}

void Errorc::Wrote(FILE* Out, int Error) {
  if (Error == 0 || werr != 0) return;
  // Only the report's own streams: with a log file, the copies of the errors
  // on standard error and the lines of the program on standard output are not
  // the report.
  const bool report =
      LogDest == AdmSA_LogToFile ? Out == LogHandle : Out == stdout || Out == stderr;
  if (!report) return;
  werr = Error;
  wstream = Out;
}

void Errorc::Flush(FILE* Out) { Wrote(Out, FlushStream(Out)); }

void Errorc::TellFailure() {
  if (told || werr == 0) return;
  told = true;
  const char* name = wstream == stdout           ? "standard output"
                     : wstream == stderr         ? "standard error"
                     : FileName.get() != nullptr ? FileName.get()
                                                 : "the log file";
  progress::Erase();
  std::fflush(stdout);
  std::fprintf(stderr, "defshift: the report could not be written to %s: %s\n", name,
               SystemErrorText(werr));
  if (FlushStream(stderr) != 0 && wstream != stdout) {
    std::printf("defshift: the report could not be written to %s: %s\n", name,
                SystemErrorText(werr));
    std::fflush(stdout);
  }
}

FILE* Errorc::LogStream() {
  if (LogDest == AdmSA_LogToFile) return LogHandle;
  // On the console the report is split over standard output and standard error;
  // whatever standard output holds goes out first, so that a piped report stays
  // in order.
  Flush(stdout);
  return stderr;
}

void Errorc::Init(const char* LogFile) {
  werr = 0;
  wstream = nullptr;
  earlier = nullptr;
  told = false;
  if (LogHandle != nullptr) std::clearerr(LogHandle);
  // Standard output may have failed already (the program's banner), which
  // leaves no reason: the report's own writes give one, and the failure is
  // kept in any case.
  const bool console_failed = std::ferror(stdout) != 0;
  std::clearerr(stdout);
  if (LogFile != nullptr) {
    FileName = KeepName(LogFile);
    int cause = 0;
    if (LogHandle == nullptr) {
      lent = false;
      cause = ErrorOf([&] { return (LogHandle = std::fopen(LogFile, "a")) != nullptr; });
      if (LogHandle != nullptr) std::setvbuf(LogHandle, g_log_buffer, _IOFBF, sizeof g_log_buffer);
    }
    if (LogHandle != nullptr) {
      LogDest = AdmSA_LogToFile;
      ErrDest = AdmSA_LogToFile;
    } else {
      // The user asked for a file; without a word the missing file is a riddle.
      std::fflush(stdout);
      std::fprintf(stderr,
                   "Log file %s could not be opened (%s): messages are logged to the console\n",
                   LogFile, SystemErrorText(cause));
    }
  }
  WriteBanner();
  if (console_failed && LogDest == AdmSA_LogToStderr) earlier = stdout;
}

void Errorc::InitStream(FILE* Stream, const char* Name) {
  werr = 0;
  wstream = nullptr;
  earlier = nullptr;
  told = false;
  if (LogHandle != nullptr && !lent) std::fclose(LogHandle);
  LogHandle = Stream;
  lent = true;
  FileName = KeepName(Name != nullptr ? Name : "");
  LogDest = AdmSA_LogToFile;
  ErrDest = AdmSA_LogToFile;
  WriteBanner();
}

void Errorc::Write(const char* Text) {
  FILE* out = LogStream();
  Wrote(out, WriteText(Text, out));
}

void Errorc::Report(const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  WriteReport(0, Format, AdmSA_Log, args);
  va_end(args);
}

void Errorc::Report(int num, ...) {
  va_list args;
  va_start(args, num);
  WriteReport(num, nullptr, AdmSA_Error, args);
  va_end(args);
}

void Errorc::Explain(const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  const Formatted message(Format, args);
  va_end(args);
  if (ErrDest == AdmSA_LogToFile && LogHandle != nullptr) {
    Wrote(LogHandle, WriteLine(message.text(), message.size(), LogHandle));
  }
  progress::Erase();
  Flush(stdout);
  Wrote(stderr, WriteLine(message.text(), message.size(), stderr));
}

void Errorc::ReportFailure(int Cause, int num, ...) {
  va_list args;
  va_start(args, num);
  WriteReport(num, nullptr, AdmSA_Error, args, SystemErrorText(Cause));
  va_end(args);
}

int Errorc::EndLog() {
  WriteFooter();
  // Most failures show only as the buffers go out: looked at while the run can
  // still fail.
  if (LogDest == AdmSA_LogToFile) {
    Flush(LogHandle);
  } else {
    Flush(stdout);
    Flush(stderr);
  }
  if (earlier != nullptr) Wrote(earlier, EIO);
  earlier = nullptr;
  if (werr == 0) return 0;
  TellFailure();
  return -1;
}

void Errorc::WriteBanner() {
  FILE* out = LogStream();
  Wrote(out, WriteStamp(out, "started"));
  Wrote(out, ErrorOf([out] { return std::fprintf(out, "%s\n", Copyright) >= 0; }));
  Wrote(out, WriteText(kDashes80, out));
}

void Errorc::WriteFooter() {
  FILE* out = LogStream();
  Wrote(out, WriteStamp(out, "ended"));
  Wrote(out, WriteText("\n\n", out));
  Flush(out);
}

void Errorc::WriteReport(int Num, const char* Format, ReportType Type, va_list Args,
                         const char* Reason) {
  if (Type == AdmSA_Error) {
    if (Num < 0 || Num >= kErrorTextCount) Num = kErrorTextCount - 1;
    Format = ErrorText[Num];
  }
  const Formatted message(Format, Args);
  const char* text = message.text();
  if (Type == AdmSA_Error) {
    // The message and, for a failure of the system, its reason.
    size_t size = message.size();
    std::string with_reason;
    if (Reason != nullptr) {
      with_reason.assign(text, size).append(": ").append(Reason);
      text = with_reason.c_str();
      size = with_reason.size();
    }
    if (ErrDest == AdmSA_LogToFile && LogHandle != nullptr) {
      Wrote(LogHandle, WriteLine(text, size, LogHandle));
    }
    // Errors always reach the console, in order with what went to standard output.
    progress::Erase();
    Flush(stdout);
    Wrote(stderr, ErrorOf([&] { return std::fprintf(stderr, "Error %d: %s\n", Num, text) >= 0; }));
    return;
  }
  FILE* out = LogDest == AdmSA_LogToFile ? LogHandle : stdout;
  Wrote(out, WriteLine(text, message.size(), out));
}

int FlushStream(FILE* Stream) {
  const int flushed = ErrorOf([Stream] { return std::fflush(Stream) == 0; });
  if (flushed != 0) return flushed;
  return std::ferror(Stream) != 0 ? EIO : 0;
}

const char* SystemErrorText(int ErrorNumber) {
  const char* text = std::strerror(ErrorNumber);
  return text != nullptr ? text : "Unknown error";
}

void AscTime(std::time_t when, char (&out)[32]) {
  // Formatted here rather than by strftime or asctime, so that the text is the
  // same whatever the C runtime: not every one knows %e, and asctime writes into
  // a buffer of its own without a bound.
  static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
#if defined(_WIN32)
  const bool known = localtime_s(&local, &when) == 0;
#else
  const bool known = localtime_r(&when, &local) != nullptr;
#endif
  // Only a time whose every part has its width can be written in 24 characters.
  if (!known || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11 ||
      local.tm_mday < 1 || local.tm_mday > 31 || local.tm_hour < 0 || local.tm_hour > 23 ||
      local.tm_min < 0 || local.tm_min > 59 || local.tm_sec < 0 || local.tm_sec > 60 ||
      local.tm_year < 1000 - 1900 || local.tm_year > 9999 - 1900) {
    std::snprintf(out, sizeof out, "??? ??? ?? ??:??:?? ????\n");
    return;
  }
  std::snprintf(out, sizeof out, "%s %s %2d %02d:%02d:%02d %04d\n", kDays[local.tm_wday],
                kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                local.tm_year + 1900);
}

void OutOfMemory(long bytes) {
  Error.Report(4, static_cast<int>(bytes > 0x7fffffffL ? 0x7fffffffL : bytes));
  std::exit(1);
}
