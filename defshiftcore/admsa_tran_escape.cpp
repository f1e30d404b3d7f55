#include "admsa_tran_escape.h"

#include <cstring>

namespace {

bool IsControl(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return (b >= 1 && b <= 31) || b == 127;
}

// The characters that make a line need escaping.
constexpr char kSpecial[] = "%^&|<>";

// The TextKinds bits of each byte.
struct KindTable {
  unsigned char kind[256] = {};
  constexpr KindTable() {
    for (int b = 1; b <= 31; ++b) kind[b] = kHoldsControl;
    kind[127] = kHoldsControl;
    for (int b = 128; b <= 255; ++b) kind[b] = kHoldsHigh;
    kind[static_cast<unsigned char>('\\')] = kHoldsBackslash;
    kind[static_cast<unsigned char>('"')] = kHoldsQuote;
    kind[static_cast<unsigned char>(' ')] = kHoldsBlank;
    kind[static_cast<unsigned char>('\t')] = kHoldsBlank | kHoldsControl;
    for (const char* c = kSpecial; *c != '\0'; ++c)
      kind[static_cast<unsigned char>(*c)] = kHoldsSpecial;
  }
};
constexpr KindTable kKinds;

// What escaping does with each byte, and what it tells of the line.
enum EscapeBit : unsigned char {
  kDoubled = 1u << 0,      // written twice: only %% stands for %
  kCaret = 1u << 1,        // written after a caret
  kSpecialByte = 1u << 2,  // makes the line need escaping
  kQuoteByte = 1u << 3,    // switches the interpreter into or out of its quoted state
  kParenByte = 1u << 4,    // opens or closes a block outside quotes
};
struct EscapeTable {
  unsigned char escape[256] = {};
  constexpr EscapeTable() {
    for (const char* c = kSpecial; *c != '\0'; ++c)
      escape[static_cast<unsigned char>(*c)] = kSpecialByte | kCaret;
    escape[static_cast<unsigned char>('%')] = kSpecialByte | kDoubled;
    // An unescaped " would switch the interpreter into its quoted state, where
    // a caret is an ordinary character and could no longer be removed.
    escape[static_cast<unsigned char>('"')] = kQuoteByte | kCaret;
    escape[static_cast<unsigned char>('(')] = kParenByte | kCaret;
    escape[static_cast<unsigned char>(')')] = kParenByte | kCaret;
  }
};
constexpr EscapeTable kEscapes;

unsigned char EscapeOf(char c) { return kEscapes.escape[static_cast<unsigned char>(c)]; }

}  // namespace

bool NeedsEscape(const char* Line) { return Line[std::strcspn(Line, kSpecial)] != '\0'; }

bool NeedsEscape(const std::string& Line) {
  // strcspn compares many characters at a time; a NUL inside the line only ends
  // one of its stretches early.
  const char* const text = Line.c_str();
  for (size_t at = 0; at < Line.size(); ++at) {
    at += std::strcspn(text + at, kSpecial);
    if (at < Line.size() && text[at] != '\0') return true;
  }
  return false;
}

std::string ScriptEscape(const std::string& Line) {
  std::string out;
  AppendScriptEscaped(Line.data(), Line.size(), &out);
  return out;
}

void AppendScriptEscaped(const char* Line, size_t Length, std::string* rOut, bool Always) {
  const char* const end = Line + Length;
  // Lines the interpreter reads as written stay byte for byte as composed, so
  // that the command file of an ordinary control file does not change.
  if (!Always && (TextKinds(Line, Length) & kHoldsSpecial) == 0) {
    rOut->append(Line, Length);
    return;
  }
  rOut->reserve(rOut->size() + 2 * Length);
  for (const char* p = Line; p != end; ++p) {
    const char c = *p;
    const unsigned char escape = EscapeOf(c);
    if (escape & kDoubled) {
      rOut->append("%%", 2);
    } else {
      if (escape & kCaret) rOut->push_back('^');
      rOut->push_back(c);
    }
  }
}

void AppendCareted(const char* Text, size_t Length, std::string* rOut) {
  for (const char* p = Text; p != Text + Length; ++p) {
    if (EscapeOf(*p) & kCaret) rOut->push_back('^');
    rOut->push_back(*p);
  }
}

bool NeedsEscapeBeforeJoin(const char* Line, size_t Length) {
  LineScan line;
  line.Append(Line, Length);
  return line.joinescaped();
}

void AppendJoinEscaped(const char* Line, size_t Length, std::string* rOut) {
  AppendScriptEscaped(Line, Length, rOut, NeedsEscapeBeforeJoin(Line, Length));
}

void LineScan::Append(const char* Text, size_t Length) {
  length_ += Length;
  for (size_t i = 0; i < Length; ++i) {
    const unsigned char escape = EscapeOf(Text[i]);
    if (escape == 0) continue;
    if (escape & (kDoubled | kCaret)) ++escapes_;
    if (escape & kSpecialByte) special_ = true;
    if (escape & kQuoteByte) quoted_ = !quoted_;
    if ((escape & kParenByte) && !quoted_) parenthesis_ = true;
  }
}

size_t LineScan::Written(bool Joined) const {
  const bool escaped = special_ || (Joined && joinescaped());
  return escaped ? length_ + escapes_ : length_;
}

void AppendArgument(const char* Arg, size_t Length, std::string* rLine) {
  const bool quoted = Length == 0 || std::memchr(Arg, ' ', Length) != nullptr ||
                      std::memchr(Arg, '\t', Length) != nullptr;
  if (quoted) rLine->push_back('"');
  size_t i = 0;
  while (i < Length) {
    // Up to the next backslash or quote the characters stand for themselves.
    const size_t plain = i;
    while (i < Length && Arg[i] != '\\' && Arg[i] != '"') ++i;
    rLine->append(Arg + plain, i - plain);
    if (i == Length) break;
    size_t backslashes = 0;
    for (; i < Length && Arg[i] == '\\'; ++i) ++backslashes;
    if (i == Length) {
      // The closing quote would turn trailing backslashes into an escape.
      rLine->append(quoted ? 2 * backslashes : backslashes, '\\');
    } else if (Arg[i] == '"') {
      // Each backslash before a quote is read as half of a pair, and the quote
      // itself needs one more to stand for itself.
      rLine->append(2 * backslashes + 1, '\\');
      rLine->push_back('"');
      ++i;
    } else {
      rLine->append(backslashes, '\\');
    }
  }
  if (quoted) rLine->push_back('"');
}

void AppendArgument(const char* Arg, std::string* rLine) {
  AppendArgument(Arg, std::strlen(Arg), rLine);
}

unsigned TextKinds(const char* Text, size_t Length) {
  unsigned kinds = 0;
  for (size_t i = 0; i < Length; ++i) kinds |= kKinds.kind[static_cast<unsigned char>(Text[i])];
  return kinds;
}

bool HoldsControlCharacter(const char* Text) {
  if (Text == nullptr) return false;
  for (const char* p = Text; *p != '\0'; ++p) {
    if (IsControl(*p)) return true;
  }
  return false;
}

std::string ShowControlCharacters(const char* Text) {
  if (Text == nullptr) return std::string();
  std::string shown(Text);
  HideControlCharacters(&shown);
  return shown;
}

void HideControlCharacters(std::string* Text) {
  for (char& c : *Text) {
    if (IsControl(c)) c = '?';
  }
}
