#include "support/fake_qrlnt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

namespace {

constexpr int kAreaSlots = 16;

struct State {
  void* areas[kAreaSlots] = {};
  int used = 0;
  uint32_t exchange = 1;
  std::vector<FakeRequest> requests;
  std::map<std::string, std::deque<FakeReply>> scripts;
  std::map<std::string, FakeReply> defaults;
  std::function<bool(const FakeRequest&, FakeReply*)> responder;
};

State& state() {
  static State s;
  return s;
}

#if QRLNT_AREA_TOKENS
uint32_t Token(int slot) { return (state().exchange << 5) | static_cast<uint32_t>(slot + 1); }

// False for a token that names no area of this exchange.
bool Resolve(uint32_t token, void** area) {
  *area = nullptr;
  if (token == 0) return true;
  const uint32_t slot = token & 0x1F;
  if (slot == 0 || slot > static_cast<uint32_t>(state().used) || Token(slot - 1) != token) {
    return false;
  }
  *area = state().areas[slot - 1];
  return true;
}
#else
// The field holds the area's address.
bool Resolve(uint32_t address, void** area) {
  *area = reinterpret_cast<void*>(static_cast<uintptr_t>(address));
  return true;
}
#endif

std::vector<unsigned char> Bytes(const void* area, uint16_t len) {
  if (area == nullptr) return {};
  const unsigned char* p = static_cast<const unsigned char*>(area);
  return std::vector<unsigned char>(p, p + len);
}

FakeReply Answer(const FakeRequest& request) {
  State& s = state();
  FakeReply answered;
  if (s.responder && s.responder(request, &answered)) return answered;
  auto queued = s.scripts.find(request.code);
  if (queued != s.scripts.end() && !queued->second.empty()) {
    FakeReply reply = queued->second.front();
    queued->second.pop_front();
    return reply;
  }
  auto fallback = s.defaults.find(request.code);
  if (fallback != s.defaults.end()) return fallback->second;
  return FakeReply();
}

uint32_t Serve(QRL_CPRB* cprb) {
  FakeRequest request;
  std::memcpy(&request.block, cprb, sizeof request.block);
  const uint16_t funct = cprb->qrlfunct;
  request.code = std::string(1, static_cast<char>(funct >> 8)) +
                 std::string(1, static_cast<char>(funct & 0xFF));
  request.server.assign(cprb->qrlserver, sizeof cprb->qrlserver);
  request.tokens_ok = Resolve(cprb->qrlqparmad, &request.parm_area) &&
                      Resolve(cprb->qrlqdataad, &request.data_area) &&
                      Resolve(cprb->qrlrparmad, &request.reply_parm_area) &&
                      Resolve(cprb->qrlrdataad, &request.reply_data_area);
  request.parm = Bytes(request.parm_area, cprb->qrlqparml);
  request.data = Bytes(request.data_area, cprb->qrlqdatal);

  State& s = state();
  if (s.requests.size() >= fake_qrlnt::kRequestLimit) {
    ADD_FAILURE() << "the caller keeps sending requests";
    return QrlCode('Z', 'Z');
  }
  s.requests.push_back(request);
  const FakeReply reply = Answer(request);

  const uint16_t parm_cap = cprb->qrlrparml;
  const uint16_t data_cap = cprb->qrlrdatal;
  size_t parm_n = 0;
  if (request.reply_parm_area != nullptr) {
    parm_n = std::min<size_t>(reply.parm.size(), parm_cap);
    if (parm_n > 0) std::memcpy(request.reply_parm_area, reply.parm.data(), parm_n);
  }
  size_t data_n = 0;
  if (request.reply_data_area != nullptr) {
    data_n = std::min<size_t>(reply.data.size(), data_cap);
    if (data_n > 0) std::memcpy(request.reply_data_area, reply.data.data(), data_n);
  }
  cprb->qrlrparml = static_cast<uint16_t>(parm_n);
  cprb->qrlrdatal = static_cast<uint16_t>(reply.data_len >= 0 ? reply.data_len : data_n);
  if (reply.touch) reply.touch(cprb);
  return reply.result;
}

}  // namespace

std::string FakeRequest::pcb() const {
  if (parm.size() != sizeof(SFS_PARMLIST_s)) return "";
  return std::string(reinterpret_cast<const char*>(parm.data()) + offsetof(SFS_PARMLIST_s, PCBName),
                     8);
}

#if QRLNT_AREA_TOKENS
extern "C" uint32_t QRLAREA(void* area) {
  State& s = state();
  if (area == nullptr) return 0;
  for (int i = 0; i < s.used; ++i) {
    if (s.areas[i] == area) return Token(i);
  }
  if (s.used == kAreaSlots) return 0;
  s.areas[s.used] = area;
  return Token(s.used++);
}
#endif

extern "C" uint32_t QRLNT_CALL QRSEND(QRL_CPRB* cprb, uint32_t zero) {
  EXPECT_EQ(0u, zero);
  const uint32_t result = cprb != nullptr ? Serve(cprb) : QrlCode('B', 'A');
  State& s = state();
  s.used = 0;
  ++s.exchange;
  return result;
}

namespace fake_qrlnt {

void Reset() {
  State& s = state();
  s.requests.clear();
  s.scripts.clear();
  s.defaults.clear();
  s.responder = nullptr;
}

void Script(const std::string& code, const FakeReply& reply) {
  state().scripts[code].push_back(reply);
}

void Default(const std::string& code, const FakeReply& reply) { state().defaults[code] = reply; }

void Responder(std::function<bool(const FakeRequest&, FakeReply*)> responder) {
  state().responder = std::move(responder);
}

void ServePCBs(std::vector<PCB> pcbs) {
  Responder([pcbs](const FakeRequest& request, FakeReply* reply) {
    if (request.code == "QP") {
      size_t next = 0;
      if (request.data.size() == 8) {
        for (size_t i = 0; i < pcbs.size(); ++i) {
          if (std::string(pcbs[i].name + std::string(8, ' '), 0, 8) ==
              std::string(request.data.begin(), request.data.end())) {
            next = i + 1;
          }
        }
      }
      const size_t room = request.reply_data_area ? request.block.qrlrdatal / 8 : 0;
      for (size_t given = 0; next < pcbs.size() && given < room; ++next, ++given) {
        std::string name = pcbs[next].name + std::string(8, ' ');
        reply->data.insert(reply->data.end(), name.begin(), name.begin() + 8);
      }
      reply->result = next < pcbs.size() ? QrlCode('M', 'I') : 0;
      return true;
    }
    if (request.code == "RH") {
      for (const PCB& pcb : pcbs) {
        if ((pcb.name + std::string(8, ' ')).substr(0, 8) != request.pcb()) continue;
        std::vector<unsigned char> desc(297, 0);
        const std::string dbd = (pcb.dbd + std::string(8, ' ')).substr(0, 8);
        std::copy(dbd.begin(), dbd.end(), desc.begin() + 22);  // DBDName
        desc[95] = 1;                                          // NumSegs
        desc[104] = pcb.usr_data;                              // UsrData of key segment 1
        reply->data = desc;
        return true;
      }
      *reply = Status("NP");
      return true;
    }
    return false;
  });
}

const std::vector<FakeRequest>& Requests() { return state().requests; }

std::vector<std::string> Codes() {
  std::vector<std::string> codes;
  for (const FakeRequest& r : state().requests) codes.push_back(r.code);
  return codes;
}

std::vector<FakeRequest> RequestsOf(const std::string& code) {
  std::vector<FakeRequest> found;
  for (const FakeRequest& r : state().requests) {
    if (r.code == code) found.push_back(r);
  }
  return found;
}

FakeReply Status(const char* code, std::vector<unsigned char> data) {
  FakeReply reply;
  reply.result = QrlCode(code[0], code[1]);
  reply.data = std::move(data);
  return reply;
}

FakeReply Data(std::vector<unsigned char> data) {
  FakeReply reply;
  reply.data = std::move(data);
  return reply;
}

}  // namespace fake_qrlnt
