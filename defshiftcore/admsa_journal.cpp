#include "admsa_journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "admsa_sha256.h"

const char kJournalTag[] = "DSJ1 ";
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

// Whether the n bytes at t begin as a journal line does, as far as they go.
bool StartsLikeLine(const char* t, size_t n) {
  if (n > kJournalLineLength) return false;
  for (size_t i = 0; i < n; ++i) {
    if (i < kJournalTagLength ? t[i] != kJournalTag[i] : DigitValue(t[i]) < 0) return false;
  }
  return true;
}

bool IsLine(const char* t, size_t n) { return n == kJournalLineLength && StartsLikeLine(t, n); }

// What an interruption leaves of a line: its start, and possibly NUL bytes
// where the file grew before the data reached it.
bool IsCutLine(const char* t, size_t n) {
  while (n > 0 && t[n - 1] == '\0') --n;
  return n < kJournalLineLength && StartsLikeLine(t, n);
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
        rBytes->append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          rBytes->push_back('"');
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        rBytes->append(backslashes, '\\');
        if (i < Length && backslashes == 0) rBytes->push_back(Line[i++]);
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

void AppendFingerprint(const Fingerprint& Print, std::string* rOut) {
  for (const uint8_t byte : Print) {
    rOut->push_back(kDigits[byte >> 4]);
    rOut->push_back(kDigits[byte & 15]);
  }
}

void Journal::Clear() {
  std::vector<Slot>().swap(slots_);
  exists_ = false;
  held_ = matched_ = lines_ = cut_ = foreign_ = number_ = 0;
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
  return Rest.empty() || Line(Rest.data(), Rest.size(), true) ? 0 : kForeignLine;
}

bool Journal::Line(const char* Text, size_t Length, bool Last) {
  ++number_;
  if (Length > 0 && Text[Length - 1] == '\r') --Length;
  if (IsLine(Text, Length)) {
    Insert(Decode(Text + kJournalTagLength));
    ++lines_;
    return true;
  }
  // A line cut short, then the next run's first line appended to it.
  const size_t front = Length > kJournalLineLength ? Length - kJournalLineLength : 0;
  if (front > 0 && IsLine(Text + front, kJournalLineLength) && IsCutLine(Text, front)) {
    Insert(Decode(Text + front + kJournalTagLength));
    ++lines_;
    ++cut_;
    return true;
  }
  if (Last && IsCutLine(Text, Length)) {
    ++cut_;
    return true;
  }
  // A whole line with NUL bytes after it: the end of the line did not reach the disk.
  size_t kept = Length;
  while (kept > 0 && Text[kept - 1] == '\0') --kept;
  if (Last && IsLine(Text, kept)) {
    Insert(Decode(Text + kJournalTagLength));
    ++lines_;
    return true;
  }
  std::vector<Slot>().swap(slots_);
  held_ = matched_ = 0;
  foreign_ = number_;
  return false;
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
