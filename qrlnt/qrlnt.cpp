// The stand-in File Manager client: QRSEND answers the requests of the
// control-file store from control-file images in one folder, and QRLAREA hands
// out the area tokens that the request block carries in its address fields where
// addresses are wider than those fields. QRLSFSDIR names the image folder, so that
// a caller can tell the stand-in from a File Manager's client library.
#include "qrlnt/qrlnt.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "qrlnt/sfs_server.h"

namespace {

#if QRLNT_AREA_TOKENS

// Tokens: the slot number (1 to kAreaSlots) in the low bits and the number of
// the exchange in the others, so that a token kept past its QRSEND names nothing.
constexpr int kAreaSlots = 16;
constexpr int kSlotBits = 5;
constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
static_assert(kAreaSlots <= static_cast<int>(kSlotMask), "slot numbers fit their bits");

struct AreaTable {
  void* area[kAreaSlots];
  int used;
  uint32_t exchange;
};

AreaTable g_areas = {{}, 0, 1};

uint32_t Token(int slot) {
  return ((g_areas.exchange << kSlotBits) | static_cast<uint32_t>(slot + 1)) & 0xFFFFFFFFu;
}

// Resolves token for an area of size bytes: *area becomes the area, or null for
// an absent one. False when the pair cannot be served.
bool Resolve(uint32_t token, uint16_t size, unsigned char** area) {
  *area = nullptr;
  if (token == 0) return size == 0;
  const uint32_t slot = token & kSlotMask;
  if (slot == 0 || slot > static_cast<uint32_t>(g_areas.used) || token != Token(slot - 1)) {
    return false;
  }
  *area = static_cast<unsigned char*>(g_areas.area[slot - 1]);
  return true;
}

void EndExchange() {
  g_areas.used = 0;
  ++g_areas.exchange;
  // Keep the exchange number inside the bits that the token gives it.
  if ((g_areas.exchange << kSlotBits) >> kSlotBits != g_areas.exchange) g_areas.exchange = 1;
}

#else

static_assert(sizeof(uintptr_t) == sizeof(uint32_t), "an address fits an address field");

// The field holds the address of an area of size bytes; 0 is no area, which
// only an empty area may be.
bool Resolve(uint32_t address, uint16_t size, unsigned char** area) {
  *area = reinterpret_cast<unsigned char*>(static_cast<uintptr_t>(address));
  return address != 0 || size == 0;
}

void EndExchange() {}

#endif  // QRLNT_AREA_TOKENS

qrlnt::SfsServer& Server() {
  static qrlnt::SfsServer server;
  return server;
}

uint16_t Serve(QRL_CPRB* cprb) {
  qrlnt::Exchange ex;
  ex.code = cprb->qrlfunct;
  std::memcpy(ex.server, cprb->qrlserver, sizeof ex.server);
  ex.qparm_len = cprb->qrlqparml;
  ex.qdata_len = cprb->qrlqdatal;
  ex.rparm_cap = cprb->qrlrparml;
  ex.rdata_cap = cprb->qrlrdatal;
  const bool areas_ok = Resolve(cprb->qrlqparmad, ex.qparm_len, &ex.qparm) &&
                        Resolve(cprb->qrlqdataad, ex.qdata_len, &ex.qdata) &&
                        Resolve(cprb->qrlrparmad, ex.rparm_cap, &ex.rparm) &&
                        Resolve(cprb->qrlrdataad, ex.rdata_cap, &ex.rdata);
  cprb->qrlrparml = 0;
  cprb->qrlrdatal = 0;
  if (!areas_ok) return qrlnt::kBadArea;
  const uint16_t status = Server().Handle(&ex);
  cprb->qrlrparml = ex.rparm_len;
  cprb->qrlrdatal = ex.rdata_len;
  return status;
}

}  // namespace

#if QRLNT_AREA_TOKENS
extern "C" QRLNT_EXPORT uint32_t QRLAREA(void* area) {
  if (area == nullptr) return 0;
  for (int i = 0; i < g_areas.used; ++i) {
    if (g_areas.area[i] == area) return Token(i);
  }
  if (g_areas.used == kAreaSlots) return 0;
  g_areas.area[g_areas.used] = area;
  return Token(g_areas.used++);
}
#endif

extern "C" QRLNT_EXPORT uint32_t QRLNT_CALL QRSEND(QRL_CPRB* cprb, uint32_t /*zero*/) {
  const uint16_t status = cprb != nullptr ? Serve(cprb) : qrlnt::kBadArea;
  EndExchange();
  return status;
}

extern "C" QRLNT_EXPORT uint32_t QRLSFSDIR(char* Folder, uint32_t Size) {
  const std::string folder = qrlnt::ImageFolder();
  if (Folder != nullptr && Size > 0) {
    const size_t n = std::min<size_t>(folder.size(), Size - 1);
    std::memcpy(Folder, folder.data(), n);
    Folder[n] = '\0';
  }
  return static_cast<uint32_t>(folder.size());
}
