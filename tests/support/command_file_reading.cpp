#include "support/command_file_reading.h"

#include <cstring>

#include "admsa_journal.h"
#include "admsa_sha256.h"
#include "support/argument_model.h"
#include "support/interpreter_model.h"

namespace {

const char kStanzaDashes[] = "@REM ----------------------------------------------";
const char kFailurePrefix[] = "@IF \"%DEFSHIFT_FD%\"==\"";
// The first line of the trailer of a checked file, and of a journaled one.
const char kTrailerStart[] = "@ECHO %DEFSHIFT_FAILED% of ";
const char kJournaledTrailerStart[] = "@>>\"%DEFSHIFT_J%\" ECHO DSJ1 end";
const char kTrailerCount[] = " tavoadd/tavoupdate commands failed";
const char kTrailerEnd[] = ":DEFSHIFT_END";
// The line before the first command of a definition: its name and count for
// the failure lines, and how far the run has come.
const char kProgressPrefix[] = "@SET DEFSHIFT_N=";
// The line before every tavoadd of a journaled file: its start line appended.
const char kStartPrefix[] = "@SET DEFSHIFT_W=";
// How a failure is counted for definition n: the end of DEFSHIFT_N's value as
// the line holds it, and of a failure line's text written in the check itself.
const char kCountedEscaped[] = "^& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=";
const char kCounted[] = "& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=";

// A stretch of text: a line of the file, or a part of one.
struct Text {
  const char* data;
  size_t size;
};

bool Same(const char* a, size_t an, const char* b, size_t bn) {
  if (an != bn) return false;
  for (size_t i = 0; i < an; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}
bool Same(Text a, const char* b) { return Same(a.data, a.size, b, std::strlen(b)); }
bool Same(const std::string& a, const char* b) {
  return Same(a.data(), a.size(), b, std::strlen(b));
}
bool Same(const std::string& a, const std::string& b) {
  return Same(a.data(), a.size(), b.data(), b.size());
}
bool StartsWith(Text line, const char* prefix, size_t n) {
  return line.size >= n && Same(line.data, n, prefix, n);
}
bool StartsWith(Text line, const char* prefix) {
  return StartsWith(line, prefix, std::strlen(prefix));
}

uint64_t Hashed(uint64_t hash, const char* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    hash ^= static_cast<unsigned char>(data[i]);
    hash *= 1099511628211u;
  }
  return hash;
}
constexpr uint64_t kHashStart = 14695981039346656037u;

std::string Shown(Text line) {
  return " in line \"" + std::string(line.data, line.size < 300 ? line.size : 300) + "\"";
}

// The characters on which the interpreter acts (quotes only change where).
bool Interpreted(Text line) {
  for (size_t i = 0; i < line.size; ++i) {
    switch (line.data[i]) {
      case '%':
      case '^':
      case '&':
      case '|':
      case '<':
      case '>':
        return true;
      default:
        break;
    }
  }
  return false;
}

// Where the interpreter ends the first command of Line: at the first & that is
// neither within quotes nor after a caret, or at the end. *rBlock tells whether
// a parenthesis stands outside quotes before it, *rOpen whether it ends within
// quotes: a command joined to the next by & must have neither, or the
// interpreter reads what follows as part of its last argument or of a block.
size_t FirstCommandEnd(Text line, bool* rBlock, bool* rOpen) {
  bool quoted = false;
  *rBlock = false;
  *rOpen = false;
  for (size_t i = 0; i < line.size; ++i) {
    const char c = line.data[i];
    if (quoted) {
      if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '^') {
      ++i;
    } else if (c == '(' || c == ')') {
      *rBlock = true;
    } else if (c == '&') {
      return i;
    }
  }
  *rOpen = quoted;
  return line.size;
}

// A number as the file shows it, in groups of three digits.
std::string Grouped(long Number) {
  std::string digits = std::to_string(Number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

// Reads at *rAt of Line a number of digits and commas, as Grouped writes them,
// into *rNumber; false when there is none or it is not grouped so.
bool ReadGrouped(Text line, size_t* rAt, long* rNumber) {
  const size_t from = *rAt;
  long number = 0;
  size_t at = from;
  for (; at < line.size && ((line.data[at] >= '0' && line.data[at] <= '9') || line.data[at] == ',');
       ++at) {
    if (line.data[at] != ',') {
      if (number > 100000000) return false;
      number = number * 10 + (line.data[at] - '0');
    }
  }
  if (at == from) return false;
  *rAt = at;
  *rNumber = number;
  return Same(line.data + from, at - from, Grouped(number).data(), Grouped(number).size());
}

// Where word Index (from 0, the program's name) of Command starts in File's words.
size_t WordAt(const CommandFileRead& File, const CommandRead& Command, int Index) {
  size_t at = Command.begin;
  for (int i = 0; i < Index; ++i) at = File.words.find('\0', at) + 1;
  return at;
}

class Reader {
 public:
  // Starts on a file of Kind for Region, read into *rFile.
  void Start(const std::string* Region, FileKind Kind, CommandFileRead* rFile) {
    region_ = Region;
    kind_ = Kind;
    file_ = rFile;
    numbered_ = 0;
    number_ = 0;
    place_ = 0;
    total_ = -1;
    progress_ = false;
    shown_.clear();
    started_ = false;
    counted_ = false;
    last_ = {"", 0};
  }

  std::string Line(Text line);
  std::string End();

 private:
  std::string Command(Text line);
  std::string FailureLine(Text line);
  std::string Progress(Text line);
  std::string StartLine(Text line);
  std::string TrailerLine(Text line);
  // The text the interpreter hands on of Line, in handed_; "" or why it does not.
  std::string Hand(Text line);
  // Whether Check is the check a checked file puts after the Program command
  // at the line it is on, of definition numbered_ + 1, with the fingerprint
  // Print when journaled.
  std::string CheckOf(Text check, const char* Program, const CommandPrint* Print, Text line);
  DefinitionRead* Current() {
    return file_->definitions.empty() ? nullptr : &file_->definitions.back();
  }
  std::string Unnamed(const DefinitionRead* Definition, Text line) const {
    if (Definition != nullptr && kind_.checked && Definition->count > 0 &&
        Definition->number == 0) {
      return "a definition with commands and no failure line" + Shown(line);
    }
    return "";
  }

  const std::string* region_ = nullptr;
  FileKind kind_;
  CommandFileRead* file_ = nullptr;
  int numbered_ = 0;  // checked: the definitions named so far
  long number_ = 0;   // the line's number in the file, from 1
  // Checked: the place and total of the last progress line, whether the
  // current definition has had its own, and the name it shows.
  long place_ = 0;
  long total_ = -1;
  bool progress_ = false;
  std::string shown_;
  // Journaled: the line before holds a start line, of the fingerprint start_.
  bool started_ = false;
  std::string start_;
  bool counted_ = false;  // checked: the trailer's count of the commands read
  Text last_ = {"", 0};
  // Kept from line to line and file to file, with their storage.
  std::string line_;
  std::string handed_;
  std::string why_;
  std::string check_;
  std::string name_;
  std::vector<std::string> args_;
};

std::string Reader::Hand(Text line) {
  if (!Interpreted(line)) {
    handed_.assign(line.data, line.size);
    return "";
  }
  line_.assign(line.data, line.size);
  if (!Interpret(line_, &handed_, &why_)) return why_ + Shown(line);
  return "";
}

std::string Reader::CheckOf(Text check, const char* Program, const CommandPrint* Print, Text line) {
  const std::string number = Grouped(number_);
  const std::string counted = kCounted + std::to_string(numbered_ + 1);
  check_.assign(" & %DEFSHIFT_I% ");
  check_.append(number);
  // The failure line's text after the number: the variables that the file
  // sets for it, or, for a name that holds a %, the text itself, which counts
  // the failure for this definition and names this program.
  const char* const marker = Print != nullptr ? "%DEFSHIFT_P%" : "%DEFSHIFT_Q% ";
  if (!StartsWith(check, check_.data(), check_.size())) {
    return "a check that does not name its own line " + number + Shown(line);
  }
  const char* from = check.data + check_.size();
  const size_t left = check.size - check_.size();
  size_t tail = 0;
  while (tail < left && !StartsWith({from + tail, left - tail}, marker)) ++tail;
  const Text text = {from, tail};
  const std::string variables =
      std::string(Same(Program, "tavoadd") ? "%DEFSHIFT_A%" : "%DEFSHIFT_U%") + "%DEFSHIFT_N%";
  if (!Same(text, variables.c_str())) {
    const std::string program = std::string(": ") + Program + " ";
    const std::string whole(text.data, text.size);
    if (!StartsWith(text, " of ") || whole.find(program) == std::string::npos ||
        whole.size() < counted.size() ||
        whole.compare(whole.size() - counted.size(), counted.size(), counted) != 0) {
      return "a check whose failure line does not name its program or count its definition" +
             Shown(line);
    }
  }
  check_.append(text.data, text.size);
  if (Print != nullptr) {
    std::string digits;
    AppendDigits(*Print, &digits);
    check_.append("%DEFSHIFT_P%");
    check_.append(number);
    check_.append("& SET DEFSHIFT_S=");
    check_.append(digits);
    check_.append("& %DEFSHIFT_D% ");
    check_.append(digits);
    check_.append("& %DEFSHIFT_R% ");
  } else {
    check_.append("%DEFSHIFT_Q% ");
  }
  check_.append(number);
  check_.append(text.data, text.size);
  check_.push_back(')');
  if (!Same(check.data, check.size, check_.data(), check_.size())) {
    return "a check that does not count the command for its definition at its line" +
           std::string(Print != nullptr ? " or journal its fingerprint" : "") + Shown(line);
  }
  return "";
}

std::string Reader::Line(Text line) {
  last_ = line;
  ++number_;
  if (line.size > kLongestCommandFileLine) return "line longer than 2047 characters" + Shown(line);
  for (size_t i = 0; i < line.size; ++i) {
    const unsigned char b = static_cast<unsigned char>(line.data[i]);
    if ((b < 32 && b != '\t') || b == 127) return "control character" + Shown(line);
  }
  if (started_ && !StartsWith(line, "@tavoadd ")) {
    return "a start line not followed by its tavoadd" + Shown(line);
  }
  if (file_->trailer) return TrailerLine(line);
  if (kind_.checked && StartsWith(line, kind_.journaled ? kJournaledTrailerStart : kTrailerStart)) {
    const std::string why = Unnamed(Current(), line);
    file_->trailer = true;
    if (!why.empty()) return why;
    return kind_.journaled ? "" : TrailerLine(line);
  }
  if (Same(line, kStanzaDashes)) {
    const std::string why = Unnamed(Current(), line);
    if (!why.empty()) return why;
    file_->definitions.push_back({kHashStart, file_->commands.size(), 0, 0, 0});
    progress_ = false;
    return "";
  }
  if (line.size == 0) return "";
  DefinitionRead* current = Current();
  // A checked file shows no line it runs: each begins with '@', but for the
  // labels of its header and trailer.
  if (kind_.checked && line.data[0] != '@' &&
      (current != nullptr || !StartsWith(line, ":DEFSHIFT_"))) {
    return "a line that the interpreter shows" + Shown(line);
  }
  if (current == nullptr) {
    // The header: the usual remarks, and in a checked file the lines that set
    // up the counts and the files, which only the generator's own texts make.
    if (StartsWith(line, "tavo") || StartsWith(line, "@tavo")) {
      return "a command in the header" + Shown(line);
    }
    if (StartsWith(line, "@REM") || StartsWith(line, "@ECHO ")) {
      const std::string why = Hand(line);
      if (!why.empty()) return why;
    } else if (!kind_.checked) {
      return "line of no kind the generator writes" + Shown(line);
    }
    file_->header.append(line.data, line.size);
    file_->header.push_back('\n');
    return "";
  }
  if (StartsWith(line, "@REM")) {
    if (current->count != 0 || progress_) return "a remark among the commands" + Shown(line);
    const std::string why = Hand(line);
    if (!why.empty()) return why;
    current->remarks = Hashed(Hashed(current->remarks, handed_.data(), handed_.size()), "\n", 1);
    return "";
  }
  if (kind_.checked) {
    if (StartsWith(line, "@tavoadd ") || StartsWith(line, "@tavoupdate ")) {
      return Command({line.data + 1, line.size - 1});
    }
    if (StartsWith(line, kProgressPrefix)) return Progress(line);
    if (kind_.journaled && StartsWith(line, kStartPrefix)) return StartLine(line);
    if (StartsWith(line, kFailurePrefix)) return FailureLine(line);
  } else if (StartsWith(line, "tavoadd ") || StartsWith(line, "tavoupdate ")) {
    return Command(line);
  }
  return "line of no kind the generator writes" + Shown(line);
}

std::string Reader::Progress(Text line) {
  DefinitionRead& current = *Current();
  if (progress_ || current.count != 0 || current.number != 0) {
    return "a progress line that is not the first of a definition's commands" + Shown(line);
  }
  progress_ = true;
  bool block;
  bool open;
  const size_t end = FirstCommandEnd(line, &block, &open);
  if (end == line.size || block || open) return "a progress line misread" + Shown(line);
  // DEFSHIFT_N counts a failure for this definition.
  const std::string counted = kCountedEscaped + std::to_string(numbered_ + 1);
  if (end < counted.size() + std::strlen(kProgressPrefix) ||
      !Same(line.data + end - counted.size(), counted.size(), counted.data(), counted.size())) {
    return "a progress line that does not count the failures for its definition" + Shown(line);
  }
  const Text shown = {line.data + end, line.size - end};
  size_t at = std::strlen("& ECHO [");
  if (!StartsWith(shown, "& ECHO [")) return "a progress line that shows nothing" + Shown(line);
  while (at < shown.size && shown.data[at] == ' ') ++at;
  long percent;
  long place;
  long total;
  if (!ReadGrouped(shown, &at, &percent) ||
      !StartsWith({shown.data + at, shown.size - at}, "%%] ")) {
    return "a progress line without its percentage" + Shown(line);
  }
  at += 4;
  if (!ReadGrouped(shown, &at, &place) || !StartsWith({shown.data + at, shown.size - at}, " of ")) {
    return "a progress line without its place" + Shown(line);
  }
  at += 4;
  if (!ReadGrouped(shown, &at, &total) || !StartsWith({shown.data + at, shown.size - at}, "  ")) {
    return "a progress line without its total" + Shown(line);
  }
  at += 2;
  // The percentage in a field of three, and how far the run has come: further
  // than the definition before, of the same total.
  line_.assign(percent < 10 ? "& ECHO [  " : percent < 100 ? "& ECHO [ " : "& ECHO [");
  line_.append(Grouped(percent));
  if (!StartsWith(shown, line_.data(), line_.size())) {
    return "a progress line of a misaligned percentage" + Shown(line);
  }
  if (place < 1 || place > total || percent != place * 100 / total) {
    return "a progress line whose numbers disagree" + Shown(line);
  }
  if (place <= place_ || (total_ >= 0 && total != total_)) {
    return "a progress line that does not count up" + Shown(line);
  }
  place_ = place;
  total_ = total;
  const std::string why = Hand({shown.data + at, shown.size - at});
  if (!why.empty()) return why;
  shown_ = handed_;
  return "";
}

std::string Reader::StartLine(Text line) {
  size_t at = std::strlen(kStartPrefix);
  long named;
  if (!ReadGrouped(line, &at, &named) || named != number_ + 1) {
    return "a start line that does not name the line of its tavoadd" + Shown(line);
  }
  line_.assign("& SET DEFSHIFT_S=-& %DEFSHIFT_D% ");
  line_.append(kJournalStart);
  const Text rest = {line.data + at, line.size - at};
  const size_t digits = line_.size();
  line_.append(64, '0');
  line_.append("& %DEFSHIFT_E%");
  if (rest.size != line_.size() || !StartsWith(rest, line_.data(), digits) ||
      !Same(rest.data + digits + 64, rest.size - digits - 64, "& %DEFSHIFT_E%",
            std::strlen("& %DEFSHIFT_E%"))) {
    return "a start line not appended as the journal's lines are" + Shown(line);
  }
  start_.assign(rest.data + digits, 64);
  started_ = true;
  return "";
}

std::string Reader::TrailerLine(Text line) {
  // The trailer is the file's own: no command and no definition after it.
  if (StartsWith(line, "tavo") || StartsWith(line, "@tavo") || Same(line, kStanzaDashes)) {
    return "a definition after the trailer" + Shown(line);
  }
  if (StartsWith(line, kTrailerStart)) {
    if (counted_) return "a second count of the commands" + Shown(line);
    counted_ = true;
    line_.assign(kTrailerStart);
    line_.append(std::to_string(file_->commands.size()));
    line_.append(kTrailerCount);
    if (!Same(line, line_.c_str())) {
      return "a trailer that counts another number of commands" + Shown(line);
    }
  }
  return "";
}

std::string Reader::Command(Text line) {
  DefinitionRead& current = *Current();
  if (current.number != 0) return "a command after the failure line" + Shown(line);
  if (kind_.checked && !progress_) return "a command without its progress line" + Shown(line);
  Text command = line;
  Text check = {"", 0};
  if (kind_.checked) {
    bool block;
    bool open;
    const size_t end = FirstCommandEnd(line, &block, &open);
    if (end == line.size) return "a command without its check" + Shown(line);
    if (block || open) return "a command whose check the interpreter misreads" + Shown(line);
    // Every check is joined by " & ": the blank before it is not the command's.
    if (end == 0 || line.data[end - 1] != ' ') return "a check not joined by a blank" + Shown(line);
    command.size = end - 1;
    check = {line.data + end - 1, line.size - end + 1};
  }
  std::string why = Hand(command);
  if (!why.empty()) return why;
  size_t count;
  if (!SplitArguments(handed_, &args_, &count, &why)) return why + Shown(line);
  const std::vector<std::string>& w = args_;
  const bool add = count > 0 && Same(w[0], "tavoadd");
  if (count < 6 || (!add && !Same(w[0], "tavoupdate")) || !Same(w[1], "-c") || !Same(w[3], "-r") ||
      !Same(w[4], *region_) || !Same(w[5], "-P")) {
    return "command arguments out of place" + Shown(line);
  }
  const bool region = Same(w[2], "rd");
  // A tavoadd names its resource and nothing more; a tavoupdate names it
  // (but for the region definition) and carries at least one attribute.
  if (add ? count != 7 || w[6].empty() || region
          : count < (region ? 7u : 8u) || (!region && w[6].empty())) {
    return "command with a wrong number of arguments" + Shown(line);
  }
  const size_t named = region ? 6 : 7;
  CommandRead read;
  read.begin = file_->words.size();
  for (size_t i = 0; i < count; ++i) {
    if (i == named) read.attributes = file_->words.size();
    file_->words.append(w[i]);
    file_->words.push_back('\0');
  }
  read.end = file_->words.size();
  if (count == named) read.attributes = read.end;
  if (current.count > 0) {
    // Every command of a definition names it as the first one does.
    const CommandRead& first = file_->commands[current.first];
    const size_t from = WordAt(*file_, first, 1);
    const size_t to = WordAt(*file_, read, 1);
    if (add || !Same(file_->words.data() + from, first.attributes - from, file_->words.data() + to,
                     read.attributes - to)) {
      return "a command of another definition" + Shown(line);
    }
  } else if (kind_.checked) {
    // The progress line shows the definition as its commands name it.
    name_.assign(w[2]);
    name_.push_back(' ');
    name_.append(region ? w[4] : w[6]);
    if (!Same(name_, shown_)) return "a progress line that shows another definition" + Shown(line);
  }
  // Only a journaled file is compared by fingerprints.
  if (kind_.journaled) {
    Sha256 digest;
    digest.Update(file_->words.data() + read.begin, read.end - read.begin);
    read.print = digest.Final();
  } else {
    read.print = CommandPrint{};
  }
  if (kind_.journaled) {
    // Its start line just before a tavoadd, and before nothing else.
    if (add != started_) {
      return std::string(add ? "a tavoadd without its start line"
                             : "a start line before a tavoupdate") +
             Shown(line);
    }
    if (add) {
      name_.clear();
      AppendDigits(read.print, &name_);
      if (!Same(name_, start_)) return "a start line of another command" + Shown(line);
    }
    started_ = false;
  }
  if (kind_.checked) {
    why = CheckOf(check, add ? "tavoadd" : "tavoupdate", kind_.journaled ? &read.print : nullptr,
                  line);
    if (!why.empty()) return why;
  }
  file_->commands.push_back(read);
  ++current.count;
  return "";
}

std::string Reader::FailureLine(Text line) {
  DefinitionRead& current = *Current();
  if (current.count == 0) return "a failure line without commands" + Shown(line);
  if (current.number != 0) return "a second failure line" + Shown(line);
  line_.assign(kFailurePrefix);
  line_.append(std::to_string(numbered_ + 1));
  line_.append("\" >>\"%DEFSHIFT_L%\" ECHO ");
  if (!StartsWith(line, line_.data(), line_.size())) {
    return "a failure line that does not name its definition's number" + Shown(line);
  }
  const std::string why = Hand({line.data + line_.size(), line.size - line_.size()});
  if (!why.empty()) return why;
  // The list names the definition as its commands name it to the programs:
  // the class, then the name or, for the region definition, the region.
  const CommandRead& first = file_->commands[current.first];
  const char* words = file_->words.data();
  const char* code = words + WordAt(*file_, first, 2);
  name_.assign("Failed: ");
  name_.append(code);
  name_.push_back(' ');
  name_.append(words + WordAt(*file_, first, Same(Text{code, std::strlen(code)}, "rd") ? 4 : 6));
  if (!Same(handed_, name_)) return "a failure line that names another definition" + Shown(line);
  current.number = ++numbered_;
  current.failure = Hashed(kHashStart, handed_.data(), handed_.size());
  return "";
}

std::string Reader::End() {
  if (started_) return "a start line at the end";
  const std::string why = Unnamed(Current(), last_);
  if (!why.empty() && !file_->trailer)
    return "the last definition with commands has no failure line";
  if (kind_.checked != file_->trailer) {
    return kind_.checked ? "a checked file without its trailer" : "a trailer in a plain file";
  }
  if (kind_.checked && !counted_) return "a trailer that does not count the commands";
  // The trailer's last label is where the file ends, whatever its status.
  if (kind_.checked && !Same(last_, kTrailerEnd))
    return "a checked file that does not end at its end";
  return "";
}

std::string Difference(const char* What, size_t Definition) {
  return std::string(What) + " in definition " + std::to_string(Definition + 1);
}

bool SameWords(const CommandFileRead& A, const CommandRead& a, const CommandFileRead& B,
               const CommandRead& b) {
  return Same(A.words.data() + a.begin, a.end - a.begin, B.words.data() + b.begin, b.end - b.begin);
}

}  // namespace

void CommandFileRead::Clear() {
  words.clear();
  commands.clear();
  definitions.clear();
  header.clear();
  trailer = false;
}

void AppendDigits(const CommandPrint& Print, std::string* rOut) {
  static const char kDigits[] = "0123456789abcdef";
  for (const uint8_t byte : Print) {
    rOut->push_back(kDigits[byte >> 4]);
    rOut->push_back(kDigits[byte & 15]);
  }
}

std::string ReadCommandFile(const std::string& Text, const std::string& Region, FileKind Kind,
                            CommandFileRead* rFile) {
  rFile->Clear();
  if (!Text.empty() && Text.back() != '\n') return "last line without its newline";
  // One reader for the process: its storage serves every file.
  static Reader& reader = *new Reader;
  reader.Start(&Region, Kind, rFile);
  const char* p = Text.data();
  const char* const end = p + Text.size();
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const std::string why = reader.Line({p, static_cast<size_t>(nl - p)});
    if (!why.empty()) return why;
    p = nl + 1;
  }
  return reader.End();
}

std::string CompareWithPlain(const CommandFileRead& Plain, const CommandFileRead& Other,
                             bool Packed) {
  // The header, line by line, but for the second.
  const size_t second = Plain.header.find('\n') + 1;
  const size_t third = Plain.header.find('\n', second) + 1;
  const size_t other_third = Other.header.find('\n', Other.header.find('\n') + 1) + 1;
  if (!Same(Plain.header.data(), second, Other.header.data(),
            std::min(second, Other.header.size())) ||
      Other.header.size() < other_third + (Plain.header.size() - third) ||
      !Same(Plain.header.data() + third, Plain.header.size() - third,
            Other.header.data() + other_third, Plain.header.size() - third)) {
    return "a header that is not the plain file's";
  }
  if (Plain.definitions.size() != Other.definitions.size()) return "another number of definitions";
  std::string wanted;
  std::string given;
  for (size_t d = 0; d < Plain.definitions.size(); ++d) {
    const DefinitionRead& plain = Plain.definitions[d];
    const DefinitionRead& other = Other.definitions[d];
    if (plain.remarks != other.remarks) return Difference("other remarks", d);
    const CommandRead* p = Plain.commands.data() + plain.first;
    const CommandRead* const p_end = p + plain.count;
    const CommandRead* o = Other.commands.data() + other.first;
    const CommandRead* const o_end = o + other.count;
    if (!Packed) {
      if (plain.count != other.count) return Difference("another number of commands", d);
      for (; p < p_end; ++p, ++o) {
        if (!SameWords(Plain, *p, Other, *o)) return Difference("another command", d);
      }
      continue;
    }
    // Packed: the tavoadd as it was, then the same attributes in the same
    // order, each tavoupdate naming the definition as the plain file does.
    if (p < p_end && p->attributes == p->end) {
      if (o == o_end || !SameWords(Plain, *p, Other, *o)) return Difference("another tavoadd", d);
      ++p;
      ++o;
    }
    wanted.clear();
    given.clear();
    const CommandRead* head = p < p_end ? p : nullptr;
    for (; p < p_end; ++p) wanted.append(Plain.words, p->attributes, p->end - p->attributes);
    for (; o < o_end; ++o) {
      if (head == nullptr || o->attributes == o->end ||
          !Same(Plain.words.data() + head->begin, head->attributes - head->begin,
                Other.words.data() + o->begin, o->attributes - o->begin)) {
        return Difference("a tavoupdate of another head", d);
      }
      given.append(Other.words, o->attributes, o->end - o->attributes);
    }
    if (!Same(wanted, given)) return Difference("other attributes or another order", d);
  }
  return "";
}

std::string CompareJournaled(const CommandFileRead& Whole, const CommandFileRead& Journaled,
                             const std::function<bool(const CommandPrint&)>& Held) {
  size_t j = 0;
  for (size_t d = 0; d < Whole.definitions.size(); ++d) {
    const DefinitionRead& whole = Whole.definitions[d];
    size_t left = 0;
    for (size_t c = whole.first; c < whole.first + whole.count; ++c) {
      if (!Held(Whole.commands[c].print)) ++left;
    }
    // A definition whose every command the journal holds is not written at all.
    if (left == 0 && whole.count > 0) continue;
    if (j == Journaled.definitions.size()) return Difference("a definition lost", d);
    const DefinitionRead& journaled = Journaled.definitions[j++];
    if (journaled.remarks != whole.remarks) return Difference("another definition", d);
    if (journaled.count != left) {
      return Difference("not exactly the commands the journal does not hold", d);
    }
    size_t o = journaled.first;
    for (size_t c = whole.first; c < whole.first + whole.count; ++c) {
      const CommandRead& command = Whole.commands[c];
      if (Held(command.print)) continue;
      if (!SameWords(Whole, command, Journaled, Journaled.commands[o++])) {
        return Difference("another command than the journal leaves", d);
      }
    }
    if (journaled.failure != whole.failure) return Difference("another failure line", d);
  }
  if (j != Journaled.definitions.size()) return "definitions that the file without a journal lacks";
  return "";
}
