#include "admsa_tran_check_files.h"

#include <cstring>

namespace {

bool IsControl(unsigned char c) { return c < 32 || c == 127; }

// c in lower case, for letters A to Z.
char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether Windows takes the file names a and b for one name (letters of
// either case are one letter).
bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string LastPart(const char* Path) {
  const char* last = Path;
  for (const char* p = Path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\' || *p == ':') last = p + 1;
  }
  return last;
}

std::string FailureListName(const char* CommandFile, const char* JournalFile) {
  std::string name = LastPart(CommandFile);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  for (char& c : name) {
    if (IsControl(static_cast<unsigned char>(c)) || std::strchr("\"<>|*?", c) != nullptr) c = '_';
  }
  name += ".failed";
  const std::string journal = JournalFile != nullptr ? LastPart(JournalFile) : "";
  while (SameFileName(name, LastPart(CommandFile)) || SameFileName(name, journal)) {
    name += ".failed";
  }
  return name;
}

bool JournalNameWritable(const char* JournalFile, const char* CommandFile) {
  const std::string name = LastPart(JournalFile);
  if (name.empty() || SameFileName(name, LastPart(CommandFile))) return false;
  for (const char c : name) {
    if (c == '"' || IsControl(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string LockName(const char* JournalFile, const char* CommandFile) {
  std::string name = LastPart(JournalFile) + ".lock";
  while (SameFileName(name, LastPart(CommandFile))) name += ".lock";
  return name;
}
