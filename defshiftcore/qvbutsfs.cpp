#include "qvbutsfs.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "admsa_errs.h"

QRL_CPRB CPRB;
SFS_PARMLIST_s PARMLIST;
const char SfsName[] = "SHFILEQV";

namespace {

constexpr int kNameLen = 8;
constexpr uint16_t kFirstQueryCapacity = kNameLen;
constexpr uint16_t kWorkAreaSize = 32768;
constexpr uint16_t kScratchSize = 20;

void SetBlankFilled(char (&field)[kNameLen], const char* name) {
  std::memset(field, ' ', sizeof field);
  if (name != nullptr) std::memcpy(field, name, strnlen(name, sizeof field));
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Only a text of 1 to 8 characters names a file description; a longer one would
// be compared past the name field into the path that follows it.
bool IsFileDescriptionName(const char* name) {
  if (name == nullptr) return false;
  const size_t n = strnlen(name, kNameLen + 1);
  return n >= 1 && n <= kNameLen;
}

bool NameMatches(const _RHBuffer& desc, const char* DBDName) {
  const size_t n = std::strlen(DBDName);
  for (size_t i = 0; i < n; ++i) {
    if (AsciiUpper(desc.DBDName[i]) != AsciiUpper(DBDName[i])) return false;
  }
  return true;
}

bool KeyMatches(const _RHBuffer& desc, uint8_t KeyNum) {
  return (desc.PCBInfo[0].UsrData & KeyNum) == KeyNum;
}

// One PCB search. Each name is described at most once: a server that keeps
// answering "MI" without a name it has not given before cannot hold the search.
class PCBSearch {
 public:
  PCBSearch(const char* dbd, uint8_t key, const char* server, std::set<std::string>* offered)
      : dbd_(dbd), key_(key), server_(server), offered_(offered) {
    std::memset(last_, 0, sizeof last_);
    std::memset(found_name_, 0, sizeof found_name_);
  }

  // Walks the names of one reply of len bytes (at most capacity). Returns the
  // number of names it had not examined before.
  int Walk(const unsigned char* area, uint16_t len, uint16_t capacity) {
    if (len > capacity) len = capacity;
    int fresh = 0;
    for (int off = 0; off < len && !found_; off += kNameLen) {
      const unsigned char* slot = area + off;
      if (slot[0] == '\0') continue;
      std::memcpy(last_, slot, kNameLen);
      uint64_t key = 0;
      std::memcpy(&key, slot, sizeof key);
      if (!seen_.insert(key).second) continue;
      ++fresh;
      Examine();
    }
    return fresh;
  }

  bool found() const { return found_; }
  const char* found_name() const { return found_name_; }
  // The 8 bytes of the last name examined, sent to continue after it.
  unsigned char* last() { return last_; }

 private:
  void Examine() {
    char name[kNameLen + 1];
    std::memcpy(name, last_, kNameLen);
    name[kNameLen] = '\0';
    _RHBuffer desc;
    std::memset(&desc, 0, sizeof desc);
    uint16_t len = sizeof desc;
    // A failed description stays all zeros and matches nothing.
    MakeSFSReq("RH", 0, nullptr, &len, &desc, name, server_);
    if (offered_ != nullptr) Offer(desc);
    if (!NameMatches(desc, dbd_) || !KeyMatches(desc, key_)) return;
    found_ = true;
    // The name is sent blank-filled again, so only trailing blanks can go.
    size_t n = std::strlen(name);
    while (n > 0 && name[n - 1] == ' ') --n;
    std::memcpy(found_name_, name, n);
    found_name_[n] = '\0';
  }

  // Keeps the file description name of a description, as it can be shown.
  void Offer(const _RHBuffer& desc) {
    size_t n = sizeof desc.DBDName;
    while (n > 0 && (desc.DBDName[n - 1] == ' ' || desc.DBDName[n - 1] == '\0')) --n;
    if (n == 0) return;
    std::string shown(desc.DBDName, n);
    for (char& c : shown) {
      if (c < ' ' || c > '~') c = '?';
    }
    offered_->insert(shown);
  }

  const char* dbd_;
  uint8_t key_;
  const char* server_;
  std::set<std::string>* offered_;
  unsigned char last_[kNameLen];
  char found_name_[kNameLen + 1];
  bool found_ = false;
  std::set<uint64_t> seen_;
};

// What an address field of the request block carries for area: the address
// itself where addresses are 32 bits, the area's token where they are wider.
uint32_t AreaField(void* area) {
#if QRLNT_AREA_TOKENS
  return QRLAREA(area);
#else
  static_assert(sizeof area == sizeof CPRB.qrlqparmad, "an address fills an address field");
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(area));
#endif
}

}  // namespace

uint32_t CallQRSEND(QrsendEntry send, QRL_CPRB* cprb, uint32_t zero) {
#if defined(_WIN32) && defined(__i386__)
  // The stack pointer waits in esi, which both conventions preserve, while the
  // arguments are pushed and QRSEND runs; putting it back drops the arguments
  // whether or not QRSEND has removed them. The arguments start on a 16-byte
  // boundary, which GCC-built libraries expect. Operands are registers or
  // constants only: an operand addressed through esp would move with the pushes.
  uint32_t result;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "andl $-16, %%esp\n\t"
      "subl $8, %%esp\n\t"
      "pushl %[zero]\n\t"
      "pushl %[cprb]\n\t"
      "call *%[send]\n\t"
      "movl %%esi, %%esp"
      : "=a"(result)
      : [send] "r"(send), [cprb] "ri"(cprb), [zero] "ri"(zero)
      : "ecx", "edx", "esi", "memory", "cc");
  return result;
#else
  return send(cprb, zero);
#endif
}

int16_t MakeReq(const char* FnCode, uint16_t ReqParmLen, void* ReqParm, uint16_t ReqDataLen,
                void* ReqData, uint16_t& RepParmLen, void* RepParm, uint16_t& RepDataLen,
                void* RepData, const char* ServerName) {
  uint16_t funct = 0;
  if (FnCode != nullptr && FnCode[0] != '\0') funct = QrlCode(FnCode[0], FnCode[1]);
  CPRB.qrlfunct = funct;
  CPRB.qrlqparml = ReqParmLen;
  CPRB.qrlqparmad = AreaField(ReqParm);
  CPRB.qrlqdatal = ReqDataLen;
  CPRB.qrlqdataad = AreaField(ReqData);
  CPRB.qrlrparml = RepParmLen;
  CPRB.qrlrparmad = AreaField(RepParm);
  CPRB.qrlrdatal = RepDataLen;
  CPRB.qrlrdataad = AreaField(RepData);
  CPRB.qrltimeout = 0xFFFF;
  CPRB.qrlservnamlen = kNameLen;
  SetBlankFilled(CPRB.qrlserver, ServerName);
  const uint32_t result = CallQRSEND(QRSEND, &CPRB, 0);
  RepParmLen = CPRB.qrlrparml;
  RepDataLen = CPRB.qrlrdatal;
  return static_cast<int16_t>(static_cast<uint16_t>(result & 0xFFFFu));
}

int16_t MakeSFSReq(const char* FnCode, uint16_t ReqDataLen, void* ReqData, uint16_t* RepDataLen,
                   void* RepData, const char* PCBName, const char* ServerName) {
  if (PCBName != nullptr) SetBlankFilled(PARMLIST.PCBName, PCBName);
  unsigned char scratch[kScratchSize];
  uint16_t scratch_len = sizeof scratch;
  uint16_t& data_len = RepDataLen != nullptr ? *RepDataLen : scratch_len;
  void* data = RepDataLen != nullptr ? RepData : scratch;
  uint16_t parm_len = sizeof PARMLIST;
  return MakeReq(FnCode, sizeof PARMLIST, &PARMLIST, ReqDataLen, ReqData, parm_len, &PARMLIST,
                 data_len, data, ServerName);
}

uint16_t ConnectSFS(const char* ServerName) {
  unsigned char in_reply[6];
  uint16_t parm_len = sizeof in_reply;
  uint16_t data_len = 0;
  int16_t rc = MakeReq("IN", 0, nullptr, 0, nullptr, parm_len, in_reply, data_len, nullptr, "SPV");
  if (rc != 0) return static_cast<uint16_t>(rc);
  char open_mode[] = "O";
  rc = MakeSFSReq("GF", 1, open_mode, nullptr, nullptr, "", ServerName);
  if (rc != 0 && static_cast<uint16_t>(rc) != kStatusYP) return static_cast<uint16_t>(rc);
  rc = MakeSFSReq("OO", 0, nullptr, nullptr, nullptr, "", ServerName);
  if (rc != 0) return static_cast<uint16_t>(rc);
  MakeSFSReq("IL", 0, nullptr, nullptr, nullptr, nullptr, ServerName);
  MakeSFSReq("BT", 0, nullptr, nullptr, nullptr, nullptr, ServerName);
  return 0;
}

uint32_t PCBFromDBD(const char* DBDName, uint8_t KeyNum, char* PCBName, const char* ServerName) {
  return PCBFromDBD(DBDName, KeyNum, PCBName, ServerName, nullptr);
}

uint32_t PCBFromDBD(const char* DBDName, uint8_t KeyNum, char* PCBName, const char* ServerName,
                    std::set<std::string>* Offered) {
  PCBName[0] = '\0';
  if (!IsFileDescriptionName(DBDName)) return 0;

  std::unique_ptr<unsigned char, FreeDeleter> area(
      static_cast<unsigned char*>(std::calloc(kWorkAreaSize, 1)));
  if (area == nullptr) OutOfMemory(kWorkAreaSize);

  PCBSearch search(DBDName, KeyNum, ServerName, Offered);
  uint16_t len = kFirstQueryCapacity;
  uint16_t status =
      static_cast<uint16_t>(MakeSFSReq("QP", 0, nullptr, &len, area.get(), "", ServerName));
  search.Walk(area.get(), len, kFirstQueryCapacity);

  // An empty first reply with "MI" goes on after 8 NUL bytes; every later reply
  // has to bring a name not seen before, or the server is going round in circles.
  for (int queries = 1; !search.found() && status == kStatusMoreNames && queries < kMaxPCBQueries;
       ++queries) {
    // Cleared, so that no name of an earlier, longer reply is taken for a new one.
    std::memset(area.get(), 0, kWorkAreaSize);
    len = kWorkAreaSize;
    status = static_cast<uint16_t>(
        MakeSFSReq("QP", kNameLen, search.last(), &len, area.get(), "", ServerName));
    if (search.Walk(area.get(), len, kWorkAreaSize) == 0) break;
  }

  if (!search.found()) return 0;
  std::memcpy(PCBName, search.found_name(), kNameLen + 1);
  return 1;
}

void DisConnectSFS(const char* ServerName) {
  MakeSFSReq("ET", 0, nullptr, nullptr, nullptr, nullptr, ServerName);
  MakeSFSReq("HL", 0, nullptr, nullptr, nullptr, nullptr, ServerName);
  MakeSFSReq("CO", 0, nullptr, nullptr, nullptr, "", ServerName);
}
