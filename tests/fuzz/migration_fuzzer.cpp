// Fuzz target: one whole migration of an arbitrary control file, in process.
//
// The input is split into raw records (raw_records.h) that an in-memory store
// hands to the reader; then come the translation, the checks and the command
// file writer, in the order of a migration run. The command file is written to a
// stream in memory, so that an execution touches no file.
// Besides what the sanitizers find, every input must give a command file that
// the command interpreter reads as the generator meant: each line one of the
// generator's own kinds, without control characters, within the line limit, with
// nothing in it that the interpreter acts on, and every resource named.
//
// The records, definitions and list nodes of a run go with the Config and the
// Forcfg that hold them: the process runs many migrations, and any allocation
// that an input leaves behind is a leak that the fuzzer reports. Only the checks
// of the command file run outside the coverage that guides the fuzzer.
#include <sanitizer/common_interface_defs.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "admsa_errs.h"
#include "admsa_fm.h"
#include "admsa_supp.h"
#include "admsa_tran.h"
#include "admsa_tran_engine.h"
#include "raw_records.h"
#include "support/argument_model.h"
#include "support/interpreter_model.h"

namespace {

const char kRegion[] = "FUZZREG";
// The longest line the command interpreter reads.
constexpr size_t kLineLimit = 8191;

// Whether the n bytes at a and b are the same. Compared here rather than by
// memcmp: the sanitizer passes every memcmp to the fuzzer as a hint, and the
// checks' comparisons are not what it should chase.
bool SameBytes(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

size_t Length(const char* text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

bool StartsWith(const char* line, size_t len, const char* prefix) {
  const size_t n = Length(prefix);
  return len >= n && SameBytes(line, prefix, n);
}

bool Is(const std::string& arg, const char* text) {
  return arg.size() == Length(text) && SameBytes(arg.data(), text, arg.size());
}

// A fault of the generator. The fuzzer runs with the target's own output closed;
// the sanitizer's report channel stays open, and the fuzzer keeps the input.
[[noreturn]] void Fault(const char* what, const std::string& line) {
  const std::string summary =
      std::string("command file fault: ") + what + " in line \"" + line.substr(0, 300) + "\"";
  std::fprintf(stderr, "%s\n", summary.c_str());
  std::fflush(stderr);  // buffered (LLVMFuzzerInitialize); abort would drop it
  __sanitizer_report_error_summary(summary.c_str());
  std::abort();
}

// The characters that the interpreter may act on. Quotes alone only change
// which of them it acts on: a line without any of them reaches its program as it
// stands, so only the other lines need the interpreter's model.
constexpr char kInterpreted[] = "%^&|<>\r\n";

struct ByteClass {
  ByteClass() {
    for (const char* c = kInterpreted; *c != '\0'; ++c)
      interpreted[static_cast<unsigned char>(*c)] = true;
  }
  bool interpreted[256] = {};
};
const ByteClass g_bytes;

void CheckLine(const char* line, size_t len) {
  if (len > kLineLimit) Fault("line longer than the interpreter reads", std::string(line, len));
  bool plain = true;
  for (size_t i = 0; i < len; ++i) {
    const unsigned char b = static_cast<unsigned char>(line[i]);
    // The remarks that show a definition's stanza entries indent them by a tab.
    if ((b < 32 && b != '\t') || b == 127) Fault("control character", std::string(line, len));
    if (g_bytes.interpreted[b]) plain = false;
  }
  // Kept from line to line and input to input, so that their storage is taken
  // once rather than for every line.
  static std::string text;
  static std::string handed;
  static std::string why;
  static std::vector<std::string> args;
  const bool remark = len == 0 || StartsWith(line, len, "@ECHO ") || StartsWith(line, len, "@REM");
  if (!plain) {
    text.assign(line, len);
    if (!Interpret(text, &handed, &why)) Fault(why.c_str(), text);
  } else if (!remark) {
    handed.assign(line, len);
  }
  if (remark) return;
  const bool add = StartsWith(line, len, "tavoadd -c ");
  if (!add && !StartsWith(line, len, "tavoupdate -c ")) {
    Fault("line of no kind the generator writes", std::string(line, len));
  }
  // A tavoadd line names its resource last; without a name, the tavoupdate lines
  // that follow would take their first attribute for it.
  if (add && len >= 4 && SameBytes(line + len - 4, " -P ", 4)) {
    Fault("command without a resource name", std::string(line, len));
  }
  // As the program splits its command line: the class, the region and the
  // resource each one argument in place, then at most two attributes.
  size_t count;
  if (!SplitArguments(handed, &args, &count, &why)) Fault(why.c_str(), std::string(line, len));
  if (count < 6 || !Is(args[1], "-c") || !Is(args[3], "-r") || !Is(args[4], kRegion) ||
      !Is(args[5], "-P")) {
    Fault("command arguments out of place", std::string(line, len));
  }
  const bool region = Is(args[2], "rd");
  if (Is(args[0], "tavoadd") ? count != 7 || args[6].empty()
                             : count > (region ? 8u : 9u) || count < (region ? 7u : 8u)) {
    Fault("command with a wrong number of arguments", std::string(line, len));
  }
}

void CheckCommandFile(const std::string& all) {
  if (!all.empty() && all.back() != '\n') Fault("last line without its newline", all);
  const char* p = all.data();
  const char* const end = p + all.size();
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (nl == nullptr) nl = end;
    CheckLine(p, static_cast<size_t>(nl - p));
    p = nl + 1;
  }
}

// The command file of the input being run: what the writer's stream took. Kept
// from input to input, so that its storage is taken once.
std::string g_command_file;

ssize_t TakeLines(void*, const char* data, size_t size) {
  g_command_file.append(data, size);
  return static_cast<ssize_t>(size);
}

// The stream that every input's command file is written to, open for the whole
// process. Unbuffered: each write of the writer goes straight into the text.
FILE* g_stream = nullptr;

// The source store of one input: hands out its raw records straight from the
// input, as the control-file store hands out those of a control file.
class InputStore : public FMFile {
 public:
  InputStore(const uint8_t* data, size_t size) : FMFile("input"), reader_(data, size) {}

  InRec* readrec() override {
    const char* record;
    size_t len;
    if (!reader_.Next(&record, &len)) return nullptr;
    // The record's only copy is the one the caller gets.
    record_.lend(record, static_cast<int>(len));
    return new InRec(&record_);
  }

 private:
  RecordReader reader_;
  Buffer record_;  // the record being handed out, lent by the input
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The report goes to a log file, as in a run with -l, and errors also to
  // standard error, which the fuzzer points at /dev/null (-close_fd_mask=3).
  // Both buffered, they cost a write of the system for every 64 KB, not one for
  // every message: a dozen an input, a tenth of the time of an execution.
  static char error_buffer[1 << 16];
  if (std::setvbuf(stderr, error_buffer, _IOFBF, sizeof error_buffer) != 0) std::abort();
  Error.Init("/dev/null");
  g_command_file.reserve(1 << 16);
  cookie_io_functions_t take = {};
  take.write = TakeLines;
  g_stream = fopencookie(nullptr, "w", take);
  if (g_stream == nullptr || std::setvbuf(g_stream, nullptr, _IONBF, 0) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Conversion run(kRegion);
  run.infile = new InputStore(data, size);
  HumanFile* out = new HumanFile("memory", kRegion);
  run.outfile = out;

  Config* conf = run.readinall();
  Forcfg* translated = new Forcfg;
  TranslateAndRelease(TTable, conf, translated);
  delete conf;
  g_command_file.clear();
  if (out->openoutstream(g_stream) != 0) Fault("command file not opened", "");
  out->GenerateCommandScript(translated);
  if (out->closefile() != 0) Fault("command file not written", "");
  delete translated;

  CheckCommandFile(g_command_file);
  return 0;
}
