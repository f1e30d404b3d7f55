#include "admsa_journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "admsa_sha256.h"

const char kJournalTag[] = "DSJ1 ";
const char kJournalStart[] = "start ";
const char kJournalEnd[] = "end";
static_assert(sizeof kJournalTag == kJournalTagLength + 1, "the tag and its blank");

namespace {

const char kDigits[] = "0123456789abcdef";

constexpr size_t kLongestLine = 1 << 20;

// The value of a lowercase hexadecimal digit, or -1.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The kinds of line (admsa_journal.h).
enum Kind { kNone, kDone, kStart, kEnd };

// The length of a whole line of each kind, by Kind.
constexpr size_t kStartLength = kJournalTagLength + 6 + kFingerprintDigits;
constexpr size_t kEndLength = kJournalTagLength + 3;
constexpr size_t kKindLength[] = {0, kJournalLineLength, kStartLength, kEndLength};

// Whether the n bytes at t begin as a line of kind k does, as far as they go.
bool StartsLike(int k, const char* t, size_t n) {
  if (n > kKindLength[k]) return false;
  // What the kind holds after the tag before its digits; the end line holds no digits.
  const char* word = k == kStart ? kJournalStart : k == kEnd ? kJournalEnd : "";
  const size_t fixed = kJournalTagLength + std::strlen(word);
  for (size_t i = 0; i < n; ++i) {
    const char expected = i < kJournalTagLength ? kJournalTag[i]
                          : i < fixed           ? word[i - kJournalTagLength]
                                                : '\0';
    if (i < fixed ? t[i] != expected : DigitValue(t[i]) < 0) return false;
  }
  return true;
}

// The kind of the whole line of n bytes at t, or kNone.
int KindOf(const char* t, size_t n) {
  for (int k = kDone; k <= kEnd; ++k) {
    if (n == kKindLength[k] && StartsLike(k, t, n)) return k;
  }
  return kNone;
}

// What an interruption leaves of a line: its start, and possibly NUL bytes
// where the file grew before the data reached it.
bool IsCutLine(const char* t, size_t n) {
  while (n > 0 && t[n - 1] == '\0') --n;
  for (int k = kDone; k <= kEnd; ++k) {
    if (n < kKindLength[k] && StartsLike(k, t, n)) return true;
  }
  return false;
}

Fingerprint Decode(const char* Digits) {
  Fingerprint print;
  for (size_t i = 0; i < print.size(); ++i) {
    print[i] = static_cast<uint8_t>(DigitValue(Digits[2 * i]) << 4 | DigitValue(Digits[2 * i + 1]));
  }
  return print;
}

// The slot a fingerprint starts its search at: the digest is uniform already.
size_t SlotOf(const Fingerprint& Print, size_t Mask) {
  uint64_t h = 0;
  for (int i = 0; i < 8; ++i) h = h << 8 | Print[i];
  return static_cast<size_t>(h) & Mask;
}

}  // namespace

void AppendCommandWords(const char* Line, size_t Length, std::string* rBytes) {
  size_t i = 0;
  while (true) {
    while (i < Length && (Line[i] == ' ' || Line[i] == '\t')) ++i;
    if (i == Length) return;
    bool quoted = false;
    while (i < Length && (quoted || (Line[i] != ' ' && Line[i] != '\t'))) {
      size_t backslashes = 0;
      while (i < Length && Line[i] == '\\') ++backslashes, ++i;
      if (i < Length && Line[i] == '"') {
        if (backslashes > 1) rBytes->append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          rBytes->push_back('"');
        } else {
          quoted = !quoted;
        }
        ++i;
      } else if (backslashes > 0) {
        rBytes->append(backslashes, '\\');
      } else if (i < Length) {
        // Most bytes of a command: no backslash before them.
        rBytes->push_back(Line[i++]);
      }
    }
    rBytes->push_back('\0');
  }
}

void SplitCommandWords(const char* Line, size_t Length, std::vector<std::string>* rWords) {
  std::string bytes;
  AppendCommandWords(Line, Length, &bytes);
  rWords->clear();
  for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos;
       start = end + 1) {
    rWords->push_back(bytes.substr(start, end - start));
  }
}

namespace {

Fingerprint DigestOf(const std::string& Bytes) {
  Sha256 digest;
  digest.Update(Bytes.data(), Bytes.size());
  return digest.Final();
}

}  // namespace

Fingerprint FingerprintOf(const std::vector<std::string>& Words) {
  std::string bytes;
  for (const std::string& word : Words) {
    bytes.append(word);
    bytes.push_back('\0');
  }
  return DigestOf(bytes);
}

Fingerprint CommandFingerprint(const char* Line, size_t Length) {
  // The writer takes the fingerprints of a whole file one command after another.
  static std::string bytes;
  bytes.clear();
  AppendCommandWords(Line, Length, &bytes);
  return DigestOf(bytes);
}

void FingerprintDigits(const Fingerprint& Print, char* Digits) {
  for (const uint8_t byte : Print) {
    *Digits++ = kDigits[byte >> 4];
    *Digits++ = kDigits[byte & 15];
  }
}

void AppendFingerprint(const Fingerprint& Print, std::string* rOut) {
  char digits[kFingerprintDigits];
  FingerprintDigits(Print, digits);
  rOut->append(digits, kFingerprintDigits);
}

void Journal::Clear() {
  std::vector<Slot>().swap(slots_);
  exists_ = false;
  held_ = matched_ = lines_ = cut_ = foreign_ = number_ = 0;
  last_start_ = in_doubt_ = false;
}

int Journal::Read(const char* Name) {
  Clear();
  errno = 0;
  FILE* file = std::fopen(Name, "rb");
  if (file == nullptr) return errno == ENOENT ? 0 : errno != 0 ? errno : EIO;
  exists_ = true;
  const std::unique_ptr<FILE, int (*)(FILE*)> closer(file, std::fclose);
  std::string rest;
  constexpr size_t kBlock = 64 * 1024;
  const std::unique_ptr<char[]> block(new char[kBlock]);
  size_t n;
  while ((n = std::fread(block.get(), 1, kBlock, file)) > 0) {
    if (!Feed(block.get(), n, &rest)) return kForeignLine;
  }
  if (std::ferror(file)) {
    const int error = errno != 0 ? errno : EIO;
    Clear();
    return error;
  }
  return Finish(rest);
}

int Journal::ReadText(const std::string& Text) {
  Clear();
  exists_ = true;
  std::string rest;
  if (!Feed(Text.data(), Text.size(), &rest)) return kForeignLine;
  return Finish(rest);
}

bool Journal::Feed(const char* Text, size_t Length, std::string* rRest) {
  const char* p = Text;
  const char* const end = Text + Length;
  while (const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p))) {
    bool taken;
    if (rRest->empty()) {
      taken = Line(p, lf - p, false);
    } else {
      rRest->append(p, lf - p);
      taken = Line(rRest->data(), rRest->size(), false);
      rRest->clear();
    }
    if (!taken) return false;
    p = lf + 1;
  }
  // No command file writes such a line, and what a cut leaves of one (NUL
  // bytes where a cluster of the file was not written) is far shorter.
  if (rRest->size() + (end - p) > kLongestLine) {
    std::vector<Slot>().swap(slots_);
    held_ = matched_ = 0;
    foreign_ = number_ + 1;
    return false;
  }
  rRest->append(p, end - p);
  return true;
}

int Journal::Finish(const std::string& Rest) {
  if (!Rest.empty() && !Line(Rest.data(), Rest.size(), true)) return kForeignLine;
  // The last run ended while the tavoadd of its last start line ran, unless a
  // line of that tavoadd's success came before.
  if (last_start_ && (held_ == 0 || Find(last_print_)->state == kEmpty)) {
    in_doubt_ = true;
    doubt_ = last_print_;
  }
  return 0;
}

bool Journal::Line(const char* Text, size_t Length, bool Last) {
  ++number_;
  if (Length > 0 && Text[Length - 1] == '\r') --Length;
  if (const int kind = KindOf(Text, Length)) {
    Take(kind, Text);
    return true;
  }
  // A line cut short, then the next run's first line appended to it.
  for (int k = kDone; k <= kEnd; ++k) {
    const size_t front = Length > kKindLength[k] ? Length - kKindLength[k] : 0;
    if (front > 0 && KindOf(Text + front, kKindLength[k]) == k && IsCutLine(Text, front)) {
      Take(k, Text + front);
      ++cut_;
      return true;
    }
  }
  if (Last && IsCutLine(Text, Length)) {
    ++cut_;
    return true;
  }
  // A whole line with NUL bytes after it: the end of the line did not reach the disk.
  size_t kept = Length;
  while (kept > 0 && Text[kept - 1] == '\0') --kept;
  if (Last) {
    if (const int kind = KindOf(Text, kept)) {
      Take(kind, Text);
      return true;
    }
  }
  std::vector<Slot>().swap(slots_);
  held_ = matched_ = 0;
  last_start_ = false;
  foreign_ = number_;
  return false;
}

void Journal::Take(int Kind, const char* Text) {
  ++lines_;
  last_start_ = Kind == kStart;
  if (Kind == kDone) Insert(Decode(Text + kJournalTagLength));
  if (Kind == kStart) last_print_ = Decode(Text + kJournalTagLength + std::strlen(kJournalStart));
}

Journal::Slot* Journal::Find(const Fingerprint& Print) {
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(Print, mask);; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.state == kEmpty || slot.print == Print) return &slot;
  }
}

void Journal::Grow() {
  std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2, Slot{});
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.state != kEmpty) *Find(slot.print) = slot;
  }
}

void Journal::Insert(const Fingerprint& Print) {
  if ((held_ + 1) * 2 > slots_.size()) Grow();
  Slot* slot = Find(Print);
  if (slot->state != kEmpty) return;
  slot->print = Print;
  slot->state = kHeld;
  ++held_;
}

bool Journal::Holds(const Fingerprint& Print) {
  if (held_ == 0) return false;
  Slot* slot = Find(Print);
  if (slot->state == kEmpty) return false;
  if (slot->state == kHeld) {
    slot->state = kMatched;
    ++matched_;
  }
  return true;
}
