#include <cstring>

#include "admsa_errs.h"
#include "admsa_fm.h"
#include "qvbutsfs.h"

namespace {

constexpr uint16_t kRecordArea = 1024;
constexpr int kNoPCB = 0x10000000;

}  // namespace

OmbrelFile::OmbrelFile(const char* name)
    : FMFile(name), first(0), dbuff(nullptr), PCBName{}, opened(false) {}

OmbrelFile::~OmbrelFile() { delete dbuff; }

int OmbrelFile::openinfile() {
  // Nothing of an earlier open is reused, its record buffer included.
  delete dbuff;
  dbuff = new Buffer;
  first = 0;
  PCBName[0] = '\0';
  opened = false;

  const int16_t rc = static_cast<int16_t>(ConnectSFS(SfsName));
  if (rc != 0) {
    Error.Report(28, static_cast<int>(rc));
    return -1;
  }
  const uint32_t found = PCBFromDBD(fname(), 1, PCBName, SfsName);
  if (found == 0) {
    Error.Report(1, fname() != nullptr ? fname() : "", static_cast<int>(found));
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
  if (status != 0) return nullptr;
  return new InRec(dbuff);
}

int OmbrelFile::closefile() {
  opened = false;
  DisConnectSFS(SfsName);
  return 0;
}
