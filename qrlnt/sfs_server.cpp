#include "qrlnt/sfs_server.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qrlnt/ctf_image.h"

namespace qrlnt {

namespace {

constexpr int kNameLen = 8;
constexpr int kParmListLen = sizeof(SFS_PARMLIST_s);
constexpr int kParmPCBName = offsetof(SFS_PARMLIST_s, PCBName);
constexpr int kMaxImages = 99999;

constexpr unsigned char kReadKey = 1;  // bit 0: the PCB reads the file record by record

const char kSpvServer[kNameLen] = {'S', 'P', 'V', ' ', ' ', ' ', ' ', ' '};
const char kFileServer[kNameLen] = {'S', 'H', 'F', 'I', 'L', 'E', 'Q', 'V'};

}  // namespace

struct SfsServer::Pcb {
  enum class State { kUnchecked, kSound, kDamaged };

  char name[kNameLen];
  char dbd[kNameLen];
  std::string path;
  State state = State::kUnchecked;
  ctf::ImageReader reader;
  bool reading = false;  // "ID" has positioned the PCB at the first record
  bool pending = false;  // record holds a record that did not fit the last area
  long served = 0;       // "GN" requests answered since "ID"
  long fail_at = 0;      // the "GN" that fails with fault, from 1; 0 for none
  uint16_t fault = 0;
  int record_len = 0;
  unsigned char record[ctf::kMaxRecordLen];
};

SfsServer::SfsServer() = default;

SfsServer::~SfsServer() = default;

void SfsServer::Reset() {
  pcbs_.clear();
  phase_ = Phase::kIdle;
}

uint16_t SfsServer::Handle(Exchange* ex) {
  switch (ex->code) {
    case QrlCode('I', 'N'):
      if (std::memcmp(ex->server, kSpvServer, kNameLen) != 0) return kWrongServer;
      // A new connection starts from nothing, whatever the old one left open.
      Reset();
      phase_ = Phase::kStarted;
      return 0;
    case QrlCode('G', 'F'): {
      const uint16_t rc = Admit(ex, Phase::kStarted);
      if (rc == 0) phase_ = Phase::kFileGiven;
      return rc;
    }
    case QrlCode('O', 'O'): {
      const uint16_t rc = Admit(ex, Phase::kFileGiven);
      return rc != 0 ? rc : OpenFolder();
    }
    case QrlCode('I', 'L'):
    case QrlCode('B', 'T'):
    case QrlCode('E', 'T'):
    case QrlCode('H', 'L'):
      return Admit(ex, Phase::kOpen);
    case QrlCode('Q', 'P'):
      return ServeOpen(ex, &SfsServer::QueryNames);
    case QrlCode('R', 'H'):
      return ServeOpen(ex, &SfsServer::Describe);
    case QrlCode('I', 'D'):
      return ServeOpen(ex, &SfsServer::StartReading);
    case QrlCode('G', 'N'):
      return ServeOpen(ex, &SfsServer::NextRecord);
    case QrlCode('C', 'O'): {
      // Disconnecting is allowed at any point of the connect sequence.
      if (phase_ == Phase::kIdle) return kOutOfSequence;
      const uint16_t rc = Admit(ex, phase_);
      if (rc == 0) Reset();
      return rc;
    }
    default:
      return kUnknownRequest;
  }
}

uint16_t SfsServer::ServeOpen(Exchange* ex, uint16_t (SfsServer::*serve)(Exchange*)) {
  const uint16_t rc = Admit(ex, Phase::kOpen);
  return rc != 0 ? rc : (this->*serve)(ex);
}

// Every file-server request carries the parameter list, which goes back into the
// reply parameter area as it came.
uint16_t SfsServer::Admit(Exchange* ex, Phase needed) {
  if (std::memcmp(ex->server, kFileServer, kNameLen) != 0) return kWrongServer;
  if (ex->qparm == nullptr || ex->qparm_len < kParmListLen) return kBadArea;
  if (phase_ != needed) return kOutOfSequence;
  const uint16_t n = std::min<uint16_t>(ex->rparm_cap, kParmListLen);
  if (ex->rparm != nullptr && n > 0) std::memmove(ex->rparm, ex->qparm, n);
  ex->rparm_len = ex->rparm != nullptr ? n : 0;
  return 0;
}

std::string ImageFolder() {
  const char* folder = std::getenv(kFolderVariable);
  if (folder == nullptr || folder[0] == '\0') folder = ".";
#if defined(_WIN32)
  // The run time's own: GetFullPathName, which every Windows has.
  char* full = _fullpath(nullptr, folder, 0);
  if (full == nullptr) return folder;
  std::string path(full);
  std::free(full);
  return path;
#else
  if (folder[0] == '/') return folder;
  char* cwd = getcwd(nullptr, 0);
  if (cwd == nullptr) return folder;
  std::string path(cwd);
  std::free(cwd);
  if (std::strcmp(folder, ".") != 0) {
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(folder);
  }
  return path;
#endif
}

uint16_t SfsServer::OpenFolder() {
  const char* folder = std::getenv(kFolderVariable);
  if (folder == nullptr || folder[0] == '\0') folder = ".";
  DIR* dir = opendir(folder);
  if (dir == nullptr) {
    std::fprintf(stderr, "qrlnt: cannot read the image folder %s\n", folder);
    return kNoFolder;
  }
  struct Found {
    std::string dbd;
    std::string file;
  };
  std::vector<Found> images;
  while (const dirent* entry = readdir(dir)) {
    std::string dbd = ctf::ServedName(entry->d_name);
    if (dbd.empty()) continue;
    const std::string path = std::string(folder) + "/" + entry->d_name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    images.push_back({dbd, entry->d_name});
  }
  closedir(dir);

  // Directory order differs from system to system; PCB names must not.
  std::sort(images.begin(), images.end(), [](const Found& a, const Found& b) {
    return a.dbd != b.dbd ? a.dbd < b.dbd : a.file < b.file;
  });
  if (images.size() > static_cast<size_t>(kMaxImages)) images.resize(kMaxImages);

  pcbs_.clear();
  for (size_t i = 0; i < images.size(); ++i) {
    std::unique_ptr<Pcb> pcb(new Pcb);
    // "PCB00001", "PCB00002", ...: sorted like the images.
    std::memcpy(pcb->name, "PCB", 3);
    size_t number = i + 1;
    for (int d = kNameLen - 1; d >= 3; --d, number /= 10) {
      pcb->name[d] = static_cast<char>('0' + number % 10);
    }
    std::memset(pcb->dbd, ' ', kNameLen);
    std::memcpy(pcb->dbd, images[i].dbd.data(), images[i].dbd.size());
    pcb->path = std::string(folder) + "/" + images[i].file;
    pcbs_.push_back(std::move(pcb));
  }
  phase_ = Phase::kOpen;
  return 0;
}

// Request data: none to start with the first PCB, or the 8-byte name of the PCB
// to continue after. As many names as fit the reply area follow, 8 bytes each.
uint16_t SfsServer::QueryNames(Exchange* ex) {
  char after[kNameLen] = {};
  if (ex->qdata_len == kNameLen) {
    std::memcpy(after, ex->qdata, kNameLen);
  } else if (ex->qdata_len != 0) {
    return kBadArea;
  }
  auto next = std::upper_bound(pcbs_.begin(), pcbs_.end(), after,
                               [](const char* name, const std::unique_ptr<Pcb>& pcb) {
                                 return std::memcmp(name, pcb->name, kNameLen) < 0;
                               });
  const int room = ex->rdata != nullptr ? ex->rdata_cap / kNameLen : 0;
  int given = 0;
  for (; next != pcbs_.end() && given < room; ++next, ++given) {
    std::memcpy(ex->rdata + given * kNameLen, (*next)->name, kNameLen);
  }
  ex->rdata_len = static_cast<uint16_t>(given * kNameLen);
  return next != pcbs_.end() ? kMoreNames : 0;
}

SfsServer::Pcb* SfsServer::Find(const Exchange& ex) {
  const unsigned char* name = ex.qparm + kParmPCBName;
  for (const auto& pcb : pcbs_) {
    if (std::memcmp(pcb->name, name, kNameLen) == 0) return pcb.get();
  }
  return nullptr;
}

// An image is read through once before the first description or the first read
// that needs it, so that a damaged image fails before any of its records is used.
bool SfsServer::Sound(Pcb* pcb) {
  if (pcb->state == Pcb::State::kUnchecked) {
    const bool ok = pcb->reader.Open(pcb->path.c_str()) == 0 && pcb->reader.Validate() == 0;
    pcb->state = ok ? Pcb::State::kSound : Pcb::State::kDamaged;
    if (!ok) std::fprintf(stderr, "qrlnt: %s\n", pcb->reader.error());
  }
  return pcb->state == Pcb::State::kSound;
}

uint16_t SfsServer::Describe(Exchange* ex) {
  Pcb* pcb = Find(*ex);
  if (pcb == nullptr) return kNoSuchPCB;
  if (!Sound(pcb)) return kDamagedImage;
  _RHBuffer desc{};
  desc.RecLen = ctf::kMaxRecordLen;
  std::memcpy(desc.DBDName, pcb->dbd, kNameLen);
  std::memcpy(desc.PathName, pcb->path.data(), std::min(pcb->path.size(), sizeof desc.PathName));
  desc.NumIndices = 1;
  desc.NumSegs = 1;
  desc.PCBInfo[0].SegLength = 1;  // the key is the record's first byte
  desc.PCBInfo[0].UsrData = kReadKey;
  const uint16_t n = ex->rdata != nullptr
                         ? static_cast<uint16_t>(std::min(size_t{ex->rdata_cap}, sizeof desc))
                         : 0;
  if (n > 0) std::memcpy(ex->rdata, &desc, n);
  ex->rdata_len = n;
  return 0;
}

namespace {

// The fault that kFaultVariable asks for: the number of the "GN" (from 1) that
// fails and its status, or 0 when none is asked for.
uint16_t ReadFault(long* at) {
  const char* fault = std::getenv(kFaultVariable);
  *at = 0;
  if (fault == nullptr) return 0;
  char* end = nullptr;
  const long n = std::strtol(fault, &end, 10);
  if (n < 1 || end[0] != ':' || end[1] == '\0' || end[2] == '\0' || end[3] != '\0') return 0;
  *at = n;
  return QrlCode(end[1], end[2]);
}

}  // namespace

uint16_t SfsServer::StartReading(Exchange* ex) {
  Pcb* pcb = Find(*ex);
  if (pcb == nullptr) return kNoSuchPCB;
  if (!Sound(pcb)) return kDamagedImage;
  if (pcb->reader.Rewind() != 0) {
    std::fprintf(stderr, "qrlnt: %s\n", pcb->reader.error());
    pcb->state = Pcb::State::kDamaged;
    return kDamagedImage;
  }
  pcb->reading = true;
  pcb->pending = false;
  pcb->served = 0;
  pcb->fault = ReadFault(&pcb->fail_at);
  return 0;
}

uint16_t SfsServer::NextRecord(Exchange* ex) {
  Pcb* pcb = Find(*ex);
  if (pcb == nullptr) return kNoSuchPCB;
  if (pcb->state == Pcb::State::kDamaged) return kDamagedImage;
  if (!pcb->reading) return kOutOfSequence;
  if (pcb->fault != 0 && ++pcb->served == pcb->fail_at) return pcb->fault;
  if (!pcb->pending) {
    const int rc = pcb->reader.Next(pcb->record, &pcb->record_len);
    if (rc == 0) return kEndOfFile;
    if (rc < 0) {
      // The image changed on disk since it was checked.
      std::fprintf(stderr, "qrlnt: %s\n", pcb->reader.error());
      pcb->state = Pcb::State::kDamaged;
      return kDamagedImage;
    }
    pcb->pending = true;
  }
  const int room = ex->rdata != nullptr ? ex->rdata_cap : 0;
  if (pcb->record_len > room) return kShortArea;
  if (pcb->record_len > 0) std::memcpy(ex->rdata, pcb->record, pcb->record_len);
  ex->rdata_len = static_cast<uint16_t>(pcb->record_len);
  pcb->pending = false;
  return 0;
}

}  // namespace qrlnt
