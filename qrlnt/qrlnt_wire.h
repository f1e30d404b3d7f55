// The layout of the File Manager's exchanges as it crosses the wire: the request
// block QRL_CPRB, the file-server parameter list SFS_PARMLIST_s, the PCB
// description of "RH", and the two-character codes of functions and statuses.
//
// Every integer field is little-endian and every structure is laid out byte for
// byte without padding, so the structures can be handed to any implementation of
// the client library as they stand. The meaning of the four address fields of
// the request block is in qrlnt.h.
#ifndef QRLNT_QRLNT_WIRE_H_
#define QRLNT_QRLNT_WIRE_H_

#include <cstddef>
#include <cstdint>

// Whether the address fields of the request block carry area tokens (qrlnt.h).
#if UINTPTR_MAX > 0xFFFFFFFFu
#define QRLNT_AREA_TOKENS 1
#else
#define QRLNT_AREA_TOKENS 0
#endif

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the request block is laid out for a little-endian platform");

#pragma pack(push, 1)

// The request block of one exchange with a File Manager server, 132 bytes.
struct QRL_CPRB {
  uint8_t qrl_reserved1[4];
  uint32_t qrlretcode;
  uint8_t qrlverb_type;
  uint8_t qrl_reserved2;
  uint16_t qrlfunct;    // two ASCII characters, first one in the high byte
  uint16_t qrltimeout;  // 0xFFFF: wait for the answer
  uint16_t qrlqparml;   // request parameter length
  uint32_t qrlqparmad;  // request parameter area (address or token)
  uint16_t qrlqdatal;   // request data length
  uint32_t qrlqdataad;  // request data area (address or token)
  uint16_t qrlrparml;   // reply parameter area: capacity in, length received out
  uint32_t qrlrparmad;  // reply parameter area (address or token)
  uint16_t qrlrdatal;   // reply data area: capacity in, length received out
  uint32_t qrlrdataad;  // reply data area (address or token)
  uint8_t qrl_reserved4[2];
  uint32_t qrlservrc;
  uint16_t qrlrepldplen;
  uint16_t qrlreplddlen;
  uint8_t qrlpc_id[2];
  uint8_t qrlresource_origin[8];
  uint8_t qrldest_pc_id[2];
  uint8_t qrl_reserved5[6];
  uint8_t qrlfirst_pc_origin[2];
  uint8_t qrlfirst_res_origin[8];
  uint8_t qrlfields_meaningful;
  uint8_t qrl_reserved6;
  uint16_t qrlfirst_pid_origin;
  uint8_t qrl_reserved7[4];
  uint16_t qrlpid_origin;
  uint16_t qrlpid_dest;
  uint8_t qrl_reserved8[6];
  uint16_t qrlservnamlen;  // always 8
  char qrlserver[8];       // server name, filled with blanks
  uint8_t qrlreserved9[12];
  uint8_t qrlorigin_lanid[8];
  uint8_t qrldest_lanid[8];
};

// The file-server parameter list, 28 bytes: request parameter and reply
// parameter area of every request to the file server.
struct SFS_PARMLIST_s {
  uint16_t ComparisonOp;
  char PCBName[8];  // PCB name, filled with blanks
  uint16_t SessionId;
  uint8_t filler[6];
  uint8_t align[2];
  uint32_t RecNumber;
  uint32_t NoRevRecNumber;
};

#pragma pack(pop)

static_assert(sizeof(QRL_CPRB) == 132, "request block size");
static_assert(offsetof(QRL_CPRB, qrlretcode) == 4, "qrlretcode");
static_assert(offsetof(QRL_CPRB, qrlverb_type) == 8, "qrlverb_type");
static_assert(offsetof(QRL_CPRB, qrlfunct) == 10, "qrlfunct");
static_assert(offsetof(QRL_CPRB, qrltimeout) == 12, "qrltimeout");
static_assert(offsetof(QRL_CPRB, qrlqparml) == 14, "qrlqparml");
static_assert(offsetof(QRL_CPRB, qrlqparmad) == 16, "qrlqparmad");
static_assert(offsetof(QRL_CPRB, qrlqdatal) == 20, "qrlqdatal");
static_assert(offsetof(QRL_CPRB, qrlqdataad) == 22, "qrlqdataad");
static_assert(offsetof(QRL_CPRB, qrlrparml) == 26, "qrlrparml");
static_assert(offsetof(QRL_CPRB, qrlrparmad) == 28, "qrlrparmad");
static_assert(offsetof(QRL_CPRB, qrlrdatal) == 32, "qrlrdatal");
static_assert(offsetof(QRL_CPRB, qrlrdataad) == 34, "qrlrdataad");
static_assert(offsetof(QRL_CPRB, qrl_reserved4) == 38, "qrl_reserved4");
static_assert(offsetof(QRL_CPRB, qrlservrc) == 40, "qrlservrc");
static_assert(offsetof(QRL_CPRB, qrlrepldplen) == 44, "qrlrepldplen");
static_assert(offsetof(QRL_CPRB, qrlreplddlen) == 46, "qrlreplddlen");
static_assert(offsetof(QRL_CPRB, qrlpc_id) == 48, "qrlpc_id");
static_assert(offsetof(QRL_CPRB, qrlresource_origin) == 50, "qrlresource_origin");
static_assert(offsetof(QRL_CPRB, qrldest_pc_id) == 58, "qrldest_pc_id");
static_assert(offsetof(QRL_CPRB, qrl_reserved5) == 60, "qrl_reserved5");
static_assert(offsetof(QRL_CPRB, qrlfirst_pc_origin) == 66, "qrlfirst_pc_origin");
static_assert(offsetof(QRL_CPRB, qrlfirst_res_origin) == 68, "qrlfirst_res_origin");
static_assert(offsetof(QRL_CPRB, qrlfields_meaningful) == 76, "qrlfields_meaningful");
static_assert(offsetof(QRL_CPRB, qrl_reserved6) == 77, "qrl_reserved6");
static_assert(offsetof(QRL_CPRB, qrlfirst_pid_origin) == 78, "qrlfirst_pid_origin");
static_assert(offsetof(QRL_CPRB, qrl_reserved7) == 80, "qrl_reserved7");
static_assert(offsetof(QRL_CPRB, qrlpid_origin) == 84, "qrlpid_origin");
static_assert(offsetof(QRL_CPRB, qrlpid_dest) == 86, "qrlpid_dest");
static_assert(offsetof(QRL_CPRB, qrl_reserved8) == 88, "qrl_reserved8");
static_assert(offsetof(QRL_CPRB, qrlservnamlen) == 94, "qrlservnamlen");
static_assert(offsetof(QRL_CPRB, qrlserver) == 96, "qrlserver");
static_assert(offsetof(QRL_CPRB, qrlreserved9) == 104, "qrlreserved9");
static_assert(offsetof(QRL_CPRB, qrlorigin_lanid) == 116, "qrlorigin_lanid");
static_assert(offsetof(QRL_CPRB, qrldest_lanid) == 124, "qrldest_lanid");
static_assert(QRLNT_AREA_TOKENS || sizeof(void*) == sizeof(QRL_CPRB::qrlqparmad),
              "without tokens an address field holds an address");

static_assert(sizeof(SFS_PARMLIST_s) == 28, "parameter list size");
static_assert(offsetof(SFS_PARMLIST_s, PCBName) == 2, "PCBName");
static_assert(offsetof(SFS_PARMLIST_s, SessionId) == 10, "SessionId");
static_assert(offsetof(SFS_PARMLIST_s, filler) == 12, "filler");
static_assert(offsetof(SFS_PARMLIST_s, RecNumber) == 20, "RecNumber");
static_assert(offsetof(SFS_PARMLIST_s, NoRevRecNumber) == 24, "NoRevRecNumber");

#pragma pack(push, 1)

// One key segment of a PCB description, 8 bytes.
struct _PCBInfo {
  uint8_t SegType;
  uint16_t SegLength;
  uint16_t SegOffset;
  uint8_t ColVal;
  uint8_t NulVal;
  uint8_t UsrData;
};

// The description of a PCB, 297 bytes: the reply data of "RH".
struct _RHBuffer {
  uint8_t Filler1[18];
  uint16_t RecLen;
  uint16_t SplitSize;
  char DBDName[8];  // file description read by the PCB, filled with blanks
  char PathName[64];
  uint8_t NumIndices;
  uint8_t NumSegs;
  uint8_t KeyClass;
  _PCBInfo PCBInfo[25];
};

#pragma pack(pop)

static_assert(sizeof(_PCBInfo) == 8, "key segment size");
static_assert(offsetof(_PCBInfo, SegLength) == 1, "SegLength");
static_assert(offsetof(_PCBInfo, SegOffset) == 3, "SegOffset");
static_assert(offsetof(_PCBInfo, UsrData) == 7, "UsrData");
static_assert(sizeof(_RHBuffer) == 297, "PCB description size");
static_assert(offsetof(_RHBuffer, RecLen) == 18, "RecLen");
static_assert(offsetof(_RHBuffer, DBDName) == 22, "DBDName");
static_assert(offsetof(_RHBuffer, PathName) == 30, "PathName");
static_assert(offsetof(_RHBuffer, NumSegs) == 95, "NumSegs");
static_assert(offsetof(_RHBuffer, PCBInfo) == 97, "PCBInfo");
static_assert(offsetof(_RHBuffer, PCBInfo) + offsetof(_PCBInfo, UsrData) == 104,
              "UsrData of the first key segment");

// A two-character function code or status as a number: "IN" is 0x494E.
constexpr uint16_t QrlCode(char first, char second) {
  return static_cast<uint16_t>((static_cast<unsigned char>(first) << 8) |
                               static_cast<unsigned char>(second));
}

#endif  // QRLNT_QRLNT_WIRE_H_
