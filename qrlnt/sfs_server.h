// The file server of the stand-in File Manager: serves each control-file image of
// one folder as a file description read through one PCB.
#ifndef QRLNT_SFS_SERVER_H_
#define QRLNT_SFS_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qrlnt/qrlnt_wire.h"

namespace qrlnt {

// Statuses of the stand-in besides 0 (keep in step with qrlnt/README.md).
constexpr uint16_t kMoreNames = QrlCode('M', 'I');       // "QP": more names follow
constexpr uint16_t kBadArea = QrlCode('B', 'A');         // area, length or parameter list unusable
constexpr uint16_t kUnknownRequest = QrlCode('F', 'C');  // function code not served
constexpr uint16_t kOutOfSequence = QrlCode('S', 'Q');   // request not allowed at this point
constexpr uint16_t kWrongServer = QrlCode('S', 'N');     // request sent to the wrong server
constexpr uint16_t kNoFolder = QrlCode('D', 'R');        // the image folder cannot be read
constexpr uint16_t kNoSuchPCB = QrlCode('N', 'P');       // no PCB of that name
constexpr uint16_t kDamagedImage = QrlCode('D', 'I');    // image damaged or unreadable
constexpr uint16_t kEndOfFile = QrlCode('E', 'F');       // "GN": no more records
constexpr uint16_t kShortArea = QrlCode('S', 'H');       // "GN": record longer than the area

// The environment variable that names the image folder (the current folder when
// it is unset or empty).
constexpr char kFolderVariable[] = "QRLNT_SFSDIR";

// The full path of the folder the images are served from as the next "OO" reads
// it: QRLNT_SFSDIR, or the current folder, made absolute against the current
// folder when it is relative (not otherwise changed).
std::string ImageFolder();

// For the tests of a reading that fails: "N:XY" makes the N-th "GN" after an
// "ID" (from 1) fail with the status of the two characters XY, without data.
constexpr char kFaultVariable[] = "QRLNT_FAIL_READ";

// One request with its areas resolved. The server sets rparm_len and rdata_len
// and never writes past rparm_cap or rdata_cap.
struct Exchange {
  uint16_t code = 0;
  char server[8] = {};
  uint16_t qparm_len = 0;
  unsigned char* qparm = nullptr;
  uint16_t qdata_len = 0;
  unsigned char* qdata = nullptr;
  uint16_t rparm_cap = 0;
  unsigned char* rparm = nullptr;
  uint16_t rparm_len = 0;
  uint16_t rdata_cap = 0;
  unsigned char* rdata = nullptr;
  uint16_t rdata_len = 0;
};

class SfsServer {
 public:
  SfsServer();
  ~SfsServer();
  SfsServer(const SfsServer&) = delete;
  SfsServer& operator=(const SfsServer&) = delete;

  // Answers one request; returns its status.
  uint16_t Handle(Exchange* ex);

 private:
  struct Pcb;
  // How far the connect sequence has come.
  enum class Phase { kIdle, kStarted, kFileGiven, kOpen };

  uint16_t Admit(Exchange* ex, Phase needed);
  // Admits a request of the open file, then serves it with serve: 0, or the code
  // of the refusal or of the failure.
  uint16_t ServeOpen(Exchange* ex, uint16_t (SfsServer::*serve)(Exchange*));
  uint16_t OpenFolder();
  uint16_t QueryNames(Exchange* ex);
  uint16_t Describe(Exchange* ex);
  uint16_t StartReading(Exchange* ex);
  uint16_t NextRecord(Exchange* ex);
  Pcb* Find(const Exchange& ex);
  bool Sound(Pcb* pcb);
  void Reset();

  Phase phase_ = Phase::kIdle;
  std::vector<std::unique_ptr<Pcb>> pcbs_;  // in PCB name order
};

}  // namespace qrlnt

#endif  // QRLNT_SFS_SERVER_H_
