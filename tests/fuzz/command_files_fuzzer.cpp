// Fuzz target: every kind of command file of one control file, in process.
//
// The input's first raw record (raw_records.h) says which kind: its first byte
// holds the options (kChecked -e, kJournaled -j, kPacked -p, and kLongRegion, a
// region of the longest name the program takes, holding the characters that
// need quoting and escaping), the rest of it is the journal that -j reads. In
// the journal, kWholeLine and a byte k stand for the line that a run appends for
// the (k modulo their number)-th command of the file made without a journal,
// kBareLine and a byte k for that line without its end, kStartLine and a byte k
// for the start line a run appends before that command, and kEndLine for the
// line a run appends at its end, so that the fuzzer can make journals of this
// migration's commands, as runs that ended or were cut short leave them. The other records are the
// control file, as for the migration target.
//
// The control file is translated once; then the writer makes, through its
// public operations, the plain file, the file with the options (with an empty
// journal for -j), the file with the input's journal, and the plain file
// again. What must hold whatever the input (command_file_reading.h):
// - every file is read by the interpreter and the programs as the writer
//   meant, every line within 2047 characters, and a checked file shows none
//   of its lines, checks every command for its definition with a failure line
//   that names the command's own line, shows its progress counting up before
//   each definition, in a journaled file appends a start line just before
//   every tavoadd and no other command, names every definition with a failed
//   command exactly, and ends with its status;
// - the file with the options gives the programs the definitions and the
//   attributes of the plain file, packed in the same order on fewer lines;
// - the journaled file is that file with exactly the commands whose
//   fingerprints the journal holds left out, and the report counts them so;
// - a journal is refused only for a line that no run writes, and that line is
//   the one the refusal names; every whole line of one that is taken is held;
//   a journal of whole lines whose last is a start line, of a command with no
//   line of its success, holds that command in doubt, and only then is one in
//   doubt; the report names a tavoadd in doubt, in a line of its own, when the
//   file holds it, and never for the words of a description it quotes;
// - the plain file is the same before and after the others.
#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "admsa_errs.h"
#include "admsa_fm.h"
#include "admsa_journal.h"
#include "admsa_supp.h"
#include "admsa_tran.h"
#include "admsa_tran_engine.h"
#include "command_file_check.h"
#include "input_store.h"
#include "memory_stream.h"
#include "raw_records.h"
#include "support/command_file_reading.h"

namespace {

// The bits of the options byte.
constexpr uint8_t kChecked = 1;
constexpr uint8_t kJournaled = 2;
constexpr uint8_t kPacked = 4;
constexpr uint8_t kLongRegion = 8;
// The bytes of the journal that stand for lines of this migration.
constexpr char kWholeLine = '\x1f';
constexpr char kBareLine = '\x1c';
constexpr char kStartLine = '\x1d';
constexpr char kEndLine = '\x1b';

const char kRegion[] = "FUZZREG";
const char kJournalName[] = "run.jnl";

// A region of the longest name a command file carries (kMaxRegionLength), with
// a blank, quotes, a backslash before a quote and every character that the
// interpreter acts on.
const std::string& LongRegion() {
  static const std::string& region = *[] {
    std::string* r = new std::string;
    while (r->size() < 200) r->append("R&D \"100%\" ^x|<y>\\\"z ");
    r->resize(200);
    return r;
  }();
  return region;
}

// What the stream took, kept from file to file and input to input, so that its
// storage is taken once.
std::string& g_text = *new std::string;
std::string& g_report = *new std::string;
FILE* g_stream = nullptr;
FILE* g_report_stream = nullptr;

// The options of one file.
struct Options {
  bool checked = false;
  Journal* journal = nullptr;
  bool packed = false;
};

// Writes the command file of Translated with Options into *rText, and reads
// it as its kind into *rFile unless that is null.
void Write(Forcfg* Translated, const std::string& Region, const Options& Options,
           std::string* rText, CommandFileRead* rFile) {
  HumanFile out("memory", Region.c_str());
  out.setchecks(Options.checked);
  if (Options.journal != nullptr) out.setjournal(Options.journal, kJournalName);
  out.setpacking(Options.packed);
  g_text.clear();
  if (out.openoutstream(g_stream) != 0) Fault("command file not opened", "");
  out.GenerateCommandScript(Translated);
  if (out.closefile() != 0) Fault("command file not written", "");
  rText->swap(g_text);
  if (rFile == nullptr) return;
  FileKind kind;
  kind.checked = Options.checked || Options.journal != nullptr;
  kind.journaled = Options.journal != nullptr;
  const std::string why = ReadCommandFile(*rText, Region, kind, rFile);
  if (!why.empty()) Fault(why.c_str(), "");
}

// The journal that Pattern describes, with the fingerprints of the commands of File.
std::string JournalText(const std::string& Pattern, const CommandFileRead& File) {
  std::vector<const CommandPrint*> prints;
  for (const DefinitionRead& definition : File.definitions) {
    for (size_t c = definition.first; c < definition.first + definition.count; ++c) {
      prints.push_back(&File.commands[c].print);
    }
  }
  std::string text;
  for (size_t i = 0; i < Pattern.size(); ++i) {
    const char c = Pattern[i];
    if (c == kEndLine) {
      text.append(kJournalTag);
      text.append(kJournalEnd);
      text.append("\r\n");
      continue;
    }
    if ((c != kWholeLine && c != kBareLine && c != kStartLine) || i + 1 == Pattern.size()) {
      text.push_back(c);
      continue;
    }
    const size_t k = static_cast<unsigned char>(Pattern[++i]);
    if (prints.empty()) continue;
    text.append(kJournalTag);
    if (c == kStartLine) text.append(kJournalStart);
    AppendDigits(*prints[k % prints.size()], &text);
    if (c != kBareLine) text.append("\r\n");
  }
  return text;
}

bool IsDigits(const std::string& Text, size_t From, size_t Count) {
  if (From + Count > Text.size()) return false;
  for (size_t i = From; i < From + Count; ++i) {
    const char c = Text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// The lines of Text, each without its line feed and one carriage return
// before it.
std::vector<std::string> JournalLines(const std::string& Text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find('\n', start);
    if (end == std::string::npos) end = Text.size();
    std::string line = Text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Whether Line is a whole line that a run writes to its journal for a command
// that succeeded.
bool IsJournalLine(const std::string& Line) {
  return Line.size() == kJournalLineLength &&
         Line.compare(0, kJournalTagLength, kJournalTag) == 0 &&
         IsDigits(Line, kJournalTagLength, kFingerprintDigits);
}

// Whether Line is a start line of a journal.
bool IsStartLine(const std::string& Line) {
  const size_t start = kJournalTagLength + std::strlen(kJournalStart);
  return Line.size() == start + kFingerprintDigits &&
         Line.compare(0, kJournalTagLength, kJournalTag) == 0 &&
         Line.compare(kJournalTagLength, start - kJournalTagLength, kJournalStart) == 0 &&
         IsDigits(Line, start, kFingerprintDigits);
}

// Whether Line is a line that a run writes to its journal, of any kind.
bool IsRunLine(const std::string& Line) {
  return IsJournalLine(Line) || IsStartLine(Line) || Line == std::string(kJournalTag) + kJournalEnd;
}

Fingerprint Decoded(const std::string& Digits) {
  Fingerprint print;
  for (size_t i = 0; i < print.size(); ++i) {
    print[i] = static_cast<uint8_t>(std::stoi(Digits.substr(2 * i, 2), nullptr, 16));
  }
  return print;
}

// The checks of a journal read from Text: refused (Result) only at a line
// that no run writes, which the refusal names; taken, every whole line held,
// and nothing held that the text does not spell out.
// Held is the same journal read again, for the questions the checks ask.
void CheckJournalReading(const std::string& Text, int Result, const Journal& Read, Journal* rHeld) {
  const std::vector<std::string> lines = JournalLines(Text);
  if (Result == Journal::kForeignLine) {
    const size_t named = Read.foreign_line();
    if (named == 0 || named > lines.size()) Fault("a journal refused at no line of it", Text);
    if (IsRunLine(lines[named - 1])) Fault("a journal refused at a line that a run writes", Text);
    return;
  }
  if (Result != 0) Fault("a journal text not read", Text);
  size_t spelled = 0;
  for (size_t at = Text.find(kJournalTag); at != std::string::npos;
       at = Text.find(kJournalTag, at + 1)) {
    if (IsDigits(Text, at + kJournalTagLength, kFingerprintDigits)) ++spelled;
  }
  if (Read.held() > spelled || rHeld->held() != Read.held())
    Fault("a journal holds more than it spells out", Text);
  for (const std::string& line : lines) {
    if (IsJournalLine(line) && !rHeld->Holds(Decoded(line.substr(kJournalTagLength)))) {
      Fault("a whole journal line not held", line);
    }
  }
  // A journal of whole lines: its tavoadd in doubt is plain to see.
  if (Text.empty() || Text.back() != '\n') return;
  for (const std::string& line : lines) {
    if (!IsRunLine(line)) return;
  }
  bool doubt = !lines.empty() && IsStartLine(lines.back());
  const std::string digits = doubt ? lines.back().substr(lines.back().size() - 64) : "";
  for (const std::string& line : lines) {
    if (doubt && IsJournalLine(line) && line.compare(kJournalTagLength, 64, digits) == 0) {
      doubt = false;
    }
  }
  if (Read.in_doubt() != doubt || (doubt && Read.doubt() != Decoded(digits))) {
    Fault("a journal of another tavoadd in doubt", Text);
  }
}

size_t CommandsOf(const CommandFileRead& File) { return File.commands.size(); }

bool EndsWith(const std::string& Text, const std::string& End) {
  return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

// The report's own lines naming a tavoadd in doubt. Each begins a line of the
// report with the resource; a description that the report quotes stands on a
// line of its own behind "      > (", control characters shown as '?', so the
// words of a definition are never taken for one.
std::vector<std::string> DoubtLines(const std::string& Report) {
  constexpr std::string_view kBegin = " .... resource '";
  constexpr std::string_view kDoubt =
      ") is in doubt: its tavoadd was running when the last run of the command file ended.";
  std::vector<std::string> found;
  const std::string_view report(Report);
  for (size_t at = 0; at < report.size();) {
    size_t end = report.find('\n', at);
    if (end == std::string_view::npos) end = report.size();
    std::string_view line = report.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, kBegin.size()) == kBegin && line.find(kDoubt) != std::string_view::npos) {
      found.emplace_back(line);
    }
    at = end + 1;
  }
  return found;
}

// Whether the plain files A and B are the same but for their second line, the
// time they were made. Compared byte by byte: memcmp would hand the fuzzer the
// file as a hint.
bool SameButTime(const std::string& A, const std::string& B) {
  const size_t a = A.find('\n', A.find('\n') + 1);
  const size_t b = B.find('\n', B.find('\n') + 1);
  if (a == std::string::npos || b == std::string::npos || A.size() - a != B.size() - b) {
    return false;
  }
  for (size_t i = 0; i < A.size() - a; ++i) {
    if (A[a + i] != B[b + i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char error_buffer[1 << 16];
  static char report_buffer[1 << 16];
  if (std::setvbuf(stderr, error_buffer, _IOFBF, sizeof error_buffer) != 0) std::abort();
  g_text.reserve(1 << 16);
  g_report.reserve(1 << 16);
  g_stream = StreamInto(&g_text, nullptr, 0);
  g_report_stream = StreamInto(&g_report, report_buffer, sizeof report_buffer);
  Error.InitStream(g_report_stream, "report");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first record: the options and the journal.
  RecordReader split(data, size);
  const char* first = "";
  size_t first_len = 0;
  split.Next(&first, &first_len);
  const uint8_t options = first_len > 0 ? static_cast<uint8_t>(first[0]) : 0;
  const std::string pattern = first_len > 1 ? std::string(first + 1, first_len - 1) : std::string();
  // Without a separator the input is all options and journal, and the control
  // file has no records.
  const size_t skipped = std::min(size, first_len + kRecordSeparatorLen);
  const std::string region = (options & kLongRegion) != 0 ? LongRegion() : kRegion;

  Conversion run(region.c_str());
  run.infile = new InputStore(data + skipped, size - skipped);
  std::fflush(g_report_stream);
  g_report.clear();
  Config* conf = run.readinall();
  Forcfg* translated = new Forcfg;
  TranslateAndRelease(TTable, conf, translated, nullptr);
  delete conf;

  static std::string& plain_text = *new std::string;
  static std::string& other_text = *new std::string;
  static std::string& journaled_text = *new std::string;
  static std::string& again_text = *new std::string;
  static CommandFileRead& plain = *new CommandFileRead;
  Write(translated, region, Options(), &plain_text, &plain);

  Options chosen;
  chosen.checked = (options & kChecked) != 0;
  chosen.packed = (options & kPacked) != 0;
  Journal empty;
  if ((options & kJournaled) != 0) chosen.journal = &empty;
  static CommandFileRead& other = *new CommandFileRead;
  Write(translated, region, chosen, &other_text, &other);
  const std::string why = CompareWithPlain(plain, other, chosen.packed);
  if (!why.empty()) Fault(why.c_str(), "");

  if (chosen.journal != nullptr) {
    const std::string text = JournalText(pattern, other);
    Journal journal;
    const int read = journal.ReadText(text);
    Journal held;
    held.ReadText(text);
    CheckJournalReading(text, read, journal, &held);
    if (read == 0) {
      chosen.journal = &journal;
      std::fflush(g_report_stream);
      g_report.clear();
      static CommandFileRead& journaled = *new CommandFileRead;
      Write(translated, region, chosen, &journaled_text, &journaled);
      std::fflush(g_report_stream);
      const std::string differs = CompareJournaled(
          other, journaled, [&held](const CommandPrint& print) { return held.Holds(print); });
      if (!differs.empty()) Fault(differs.c_str(), "");
      const size_t written = CommandsOf(journaled);
      const std::string counts = std::string(" Journal ") + kJournalName + ": " +
                                 std::to_string(journal.held()) + " commands held, " +
                                 std::to_string(CommandsOf(other) - written) + " left out, " +
                                 std::to_string(written) + " written";
      if (g_report.find(counts) == std::string::npos) Fault("a report of other counts", counts);
      // The report names each definition whose tavoadd the file holds in
      // doubt (a control file may hold the same definition more than once),
      // with the line to append when it did its work; no other.
      size_t doubt_written = 0;
      for (const CommandRead& command : journaled.commands) {
        if (journal.InDoubt(command.print) &&
            journaled.words.compare(command.begin, 8, std::string("tavoadd\0", 8)) == 0) {
          ++doubt_written;
        }
      }
      std::string doubt_line = kJournalTag;
      AppendFingerprint(journal.doubt(), &doubt_line);
      const std::vector<std::string> reported = DoubtLines(g_report);
      const bool each_appends = std::all_of(
          reported.begin(), reported.end(),
          [&doubt_line](const std::string& line) { return EndsWith(line, ": " + doubt_line); });
      if (reported.size() != doubt_written || !each_appends) {
        Fault("a report of another tavoadd in doubt", doubt_line);
      }
    }
  }

  Write(translated, region, Options(), &again_text, nullptr);
  if (!SameButTime(plain_text, again_text)) {
    Fault("a plain file changed by the files made before it", "");
  }
  delete translated;
  return 0;
}
