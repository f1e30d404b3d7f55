// A scripted File Manager client for unit tests, linked instead of libqrlnt into
// the tests named fake_*_test.cpp. Its QRSEND records every request as the server
// would see it and answers from a script; QRLAREA hands out tokens like the real
// client library does (valid until the next QRSEND returns).
#ifndef TESTS_SUPPORT_FAKE_QRLNT_H_
#define TESTS_SUPPORT_FAKE_QRLNT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qrlnt/qrlnt.h"

// One request as QRSEND received it, with its areas resolved.
struct FakeRequest {
  QRL_CPRB block;                   // copy of the block on entry
  std::string code;                 // the two characters of qrlfunct
  std::string server;               // the 8 characters of qrlserver
  std::vector<unsigned char> parm;  // the request parameter (qrlqparml bytes)
  std::vector<unsigned char> data;  // the request data (qrlqdatal bytes)
  void* parm_area = nullptr;        // resolved areas; null for token 0
  void* data_area = nullptr;
  void* reply_parm_area = nullptr;
  void* reply_data_area = nullptr;
  bool tokens_ok = true;  // every non-zero token named a registered area

  // The PCB name field of the parameter list that went out (8 characters), or
  // an empty text when no parameter list of 28 bytes was sent.
  std::string pcb() const;
};

// What the fake does with one request.
struct FakeReply {
  uint32_t result = 0;                   // QRSEND's result; the status is its low 16 bits
  std::vector<unsigned char> data;       // reply data, written up to the area's capacity
  int data_len = -1;                     // qrlrdatal on return; -1: the bytes written
  std::vector<unsigned char> parm;       // reply parameter, written up to the capacity
  std::function<void(QRL_CPRB*)> touch;  // last changes to the block before returning
};

namespace fake_qrlnt {

// Forgets all requests, scripts, defaults and the responder.
void Reset();
// Queues reply for the next request of code (two characters); queued replies are
// used in order.
void Script(const std::string& code, const FakeReply& reply);
// The reply for requests of code when nothing is queued (otherwise status 0 and
// no reply data).
void Default(const std::string& code, const FakeReply& reply);
// When set, is asked first; it answers a request by filling *reply and
// returning true, or leaves it to the script by returning false.
void Responder(std::function<bool(const FakeRequest&, FakeReply*)> responder);

// A PCB that ServePCBs offers: its name, the file description it reads and the
// UsrData byte of its first key segment.
struct PCB {
  std::string name;
  std::string dbd;
  uint8_t usr_data = 1;
};
// Sets a responder that answers "QP" and "RH" like a file server with these PCBs
// in this order: a query without data starts at the first PCB, one with a name
// continues after that PCB (at the first when no PCB has the name); as many names
// as fit the reply area, status "MI" when more follow. "RH" of an unknown PCB
// fails with "NP" and no data. Every other request goes to the script.
void ServePCBs(std::vector<PCB> pcbs);

// Every request since the last Reset, in order.
const std::vector<FakeRequest>& Requests();
// The codes of those requests, in order.
std::vector<std::string> Codes();
// The requests of one code.
std::vector<FakeRequest> RequestsOf(const std::string& code);

// A reply of status code (two characters) with optional reply data.
FakeReply Status(const char* code, std::vector<unsigned char> data = {});
// A reply of status 0 with the given data.
FakeReply Data(std::vector<unsigned char> data);

// After this many requests the fake stops answering with success ("ZZ") and
// records a test failure, so that a caller that never ends cannot hang a test.
constexpr size_t kRequestLimit = 100000;

}  // namespace fake_qrlnt

#endif  // TESTS_SUPPORT_FAKE_QRLNT_H_
