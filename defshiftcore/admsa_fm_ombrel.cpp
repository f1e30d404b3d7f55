#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "admsa_errs.h"
#include "admsa_fm.h"
#include "qvbutsfs.h"

namespace {

constexpr uint16_t kRecordArea = 1024;
constexpr int kNoPCB = 0x10000000;
constexpr size_t kNameLen = 8;
constexpr size_t kMostOffered = 20;

// Whether name could be a file description name: 1 to 8 characters, without a
// folder or an extension.
bool PlainName(const char* name) {
  const size_t n = strnlen(name, kNameLen + 1);
  return n >= 1 && n <= kNameLen && std::strpbrk(name, "./\\") == nullptr;
}

// The line that follows message 1: the control files the File Manager offered
// while the store searched, and what -i takes when name cannot be one of them.
// No search is made for an empty name or one longer than 8 characters, so then
// nothing was offered.
std::string NotFoundHint(const char* name, const std::set<std::string>& offered) {
  std::string hint;
  const size_t length = strnlen(name, kNameLen + 1);
  if (length >= 1 && length <= kNameLen) {
    if (offered.empty()) {
      hint = " .... The File Manager offers no control files";
    } else {
      hint = " .... Control files the File Manager offers:";
      size_t shown = 0;
      for (const std::string& dbd : offered) {
        if (shown == kMostOffered) break;
        hint += shown == 0 ? " " : ", ";
        hint += dbd;
        ++shown;
      }
      if (offered.size() > shown)
        hint += " and " + std::to_string(offered.size() - shown) + " more";
    }
  }
  if (!PlainName(name)) {
    hint += hint.empty() ? " .... " : "; ";
    hint +=
        "-i takes the control file's name of at most 8 characters, without folder or "
        "extension";
  }
  return hint;
}

}  // namespace

OmbrelFile::OmbrelFile(const char* name)
    : FMFile(name), first(0), dbuff(), PCBName{}, opened(false), ended(0) {}

OmbrelFile::~OmbrelFile() = default;

int OmbrelFile::openinfile() {
  // Nothing of an earlier open is reused, its record buffer included.
  dbuff = std::make_unique<Buffer>();
  first = 0;
  PCBName[0] = '\0';
  opened = false;
  ended = 0;

  const int16_t rc = static_cast<int16_t>(ConnectSFS(SfsName));
  if (rc != 0) {
    Error.Report(28, static_cast<int>(rc));
    return -1;
  }
  std::set<std::string> offered;
  const uint32_t found = PCBFromDBD(fname(), 1, PCBName, SfsName, &offered);
  if (found == 0) {
    const char* name = fname() != nullptr ? fname() : "";
    Error.Report(1, name, static_cast<int>(found));
    Error.Explain("%s", NotFoundHint(name, offered).c_str());
    return static_cast<int>(found | kNoPCB);
  }
  first = 1;
  opened = true;
  return 0;
}

InRec* OmbrelFile::readrec() {
  // Without an open file there is no PCB to read from.
  if (!opened) return nullptr;
  if (first) {
    MakeSFSReq("ID", 0, nullptr, nullptr, nullptr, PCBName, SfsName);
    first = 0;
  }
  unsigned char area[kRecordArea];
  uint16_t len = sizeof area;
  const int16_t status = MakeSFSReq("GN", 0, nullptr, &len, area, PCBName, SfsName);
  dbuff->setto(area, len <= sizeof area ? len : sizeof area);
  if (status != 0) {
    ended = static_cast<uint16_t>(status);
    return nullptr;
  }
  return new InRec(dbuff.get());
}

int OmbrelFile::closefile() {
  opened = false;
  DisConnectSFS(SfsName);
  return 0;
}
