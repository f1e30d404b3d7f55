// The checks of the command file. Built without the address sanitizer in the
// fuzz build: they only read the text the target collected, the same models run
// under the sanitizers in the test suite, and instrumented they were a tenth of
// every execution.
#include "command_file_check.h"

#include <sanitizer/common_interface_defs.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/argument_model.h"
#include "support/interpreter_model.h"

// A fault of the generator. The fuzzer runs with the target's own output closed;
// the sanitizer's report channel stays open, and the fuzzer keeps the input.
void Fault(const char* what, const std::string& line) {
  const std::string summary =
      std::string("migration fault: ") + what + " in line \"" + line.substr(0, 300) + "\"";
  std::fprintf(stderr, "%s\n", summary.c_str());
  std::fflush(stderr);  // buffered (LLVMFuzzerInitialize); abort would drop it
  __sanitizer_report_error_summary(summary.c_str());
  std::abort();
}

namespace {

// The longest line the command interpreter of Windows NT 4.0 and 2000 reads
// (later ones read 8191), which the command file may be run by.
constexpr size_t kLineLimit = 2047;

// Whether the n bytes at a and b are the same. Compared here rather than by
// memcmp: the sanitizer passes every memcmp to the fuzzer as a hint, and the
// checks' comparisons are not what it should chase.
bool SameBytes(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Whether the line starts with the text of the literal prefix.
template <size_t N>
bool StartsWith(const char* line, size_t len, const char (&prefix)[N]) {
  return len >= N - 1 && SameBytes(line, prefix, N - 1);
}

// Whether the argument is the n bytes at text.
bool Is(const std::string& arg, const char* text, size_t n) {
  return arg.size() == n && SameBytes(arg.data(), text, n);
}
template <size_t N>
bool Is(const std::string& arg, const char (&text)[N]) {
  return Is(arg, text, N - 1);
}

// The characters that the interpreter may act on. Quotes alone only change
// which of them it acts on: a line without any of them reaches its program as it
// stands, so only the other lines need the interpreter's model.
constexpr char kInterpreted[] = "%^&|<>\r\n";

// What each byte is to the checks, looked up once a byte.
enum : unsigned char {
  kControl = 1,      // a control character other than the tab
  kInterpreter = 2,  // one of kInterpreted
};
struct ByteClass {
  ByteClass() {
    for (int b = 0; b < 32; ++b) kind[b] = kControl;
    kind[static_cast<unsigned char>('\t')] = 0;
    kind[127] = kControl;
    for (const char* c = kInterpreted; *c != '\0'; ++c)
      kind[static_cast<unsigned char>(*c)] |= kInterpreter;
  }
  unsigned char kind[256] = {};
};
const ByteClass g_bytes;

void CheckLine(const char* line, size_t len, const char* region, size_t region_len) {
  if (len > kLineLimit) Fault("line longer than the interpreter reads", std::string(line, len));
  unsigned char seen = 0;
  for (size_t i = 0; i < len; ++i) seen |= g_bytes.kind[static_cast<unsigned char>(line[i])];
  // The remarks that show a definition's stanza entries indent them by a tab.
  if (seen & kControl) Fault("control character", std::string(line, len));
  const bool plain = (seen & kInterpreter) == 0;
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
  if (count < 6 || !Is(args[1], "-c") || !Is(args[3], "-r") || !Is(args[4], region, region_len) ||
      !Is(args[5], "-P")) {
    Fault("command arguments out of place", std::string(line, len));
  }
  const bool region_class = Is(args[2], "rd");
  if (Is(args[0], "tavoadd")
          ? count != 7 || args[6].empty()
          : count > (region_class ? 8u : 9u) || count < (region_class ? 7u : 8u)) {
    Fault("command with a wrong number of arguments", std::string(line, len));
  }
}

}  // namespace

void CheckCommandFile(const std::string& all, const char* region) {
  if (!all.empty() && all.back() != '\n') Fault("last line without its newline", all);
  const size_t region_len = std::strlen(region);
  const char* p = all.data();
  const char* const end = p + all.size();
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (nl == nullptr) nl = end;
    CheckLine(p, static_cast<size_t>(nl - p), region, region_len);
    p = nl + 1;
  }
}
