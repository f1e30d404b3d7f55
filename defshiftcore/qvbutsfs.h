// Requests to the File Manager: the one request block and parameter list, the
// two request builders, and the connect, PCB search and disconnect sequences of
// the control-file store.
//
// Nothing here writes a message: every status goes back to the caller. Statuses
// are two ASCII characters packed like a function code ("MI" is 0x4D49), 0 for
// success. The request block and the parameter list are global and shared by
// every request, so none of these operations is reentrant.
#ifndef DEFSHIFTCORE_QVBUTSFS_H_
#define DEFSHIFTCORE_QVBUTSFS_H_

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "qrlnt/qrlnt.h"

// Statuses that mean something to the callers.
constexpr uint16_t kStatusMoreNames = QrlCode('M', 'I');  // more PCB names follow
constexpr uint16_t kStatusYP = QrlCode('Y', 'P');         // "GF" accepted

// The request block and the parameter list of every request: zero when the
// library is loaded and never cleared. A request rewrites only the fields it
// sets; the rest keep what the previous exchange left.
extern QRL_CPRB CPRB;
extern SFS_PARMLIST_s PARMLIST;

// The file server's name, "SHFILEQV".
extern const char SfsName[];

// The client library's QRSEND as the request layer calls it.
using QrsendEntry = uint32_t(QRLNT_CALL*)(QRL_CPRB* cprb, uint32_t zero);

// Calls send(cprb, zero) and returns its result: the one call of QRSEND. On
// 32-bit Windows a client library's QRSEND may remove its two arguments from the
// stack itself (__stdcall, the convention of the Windows API) or leave them to
// its caller (the C convention), and its import names neither; this call works
// with both, so that one package serves every client library. Elsewhere there is
// one convention and this is the plain call.
uint32_t CallQRSEND(QrsendEntry send, QRL_CPRB* cprb, uint32_t zero);

// Fills CPRB and sends it. FnCode: its first two characters name the request.
// On entry RepParmLen and RepDataLen are the capacities of RepParm and RepData;
// on return they hold the lengths that came back, whatever the status. An area
// may be null when its length or capacity is 0. ServerName: at most its first 8
// characters are sent, filled with blanks (null sends 8 blanks).
// Returns the status, the low 16 bits of QRSEND's result, as a signed number.
int16_t MakeReq(const char* FnCode, uint16_t ReqParmLen, void* ReqParm, uint16_t ReqDataLen,
                void* ReqData, uint16_t& RepParmLen, void* RepParm, uint16_t& RepDataLen,
                void* RepData, const char* ServerName);

// Sends a request to a file server with PARMLIST as request parameter and reply
// parameter area. PCBName null leaves the PCB name in PARMLIST as it is;
// otherwise at most its first 8 characters go there, filled with blanks. With
// RepDataLen null the reply data goes to a 20-byte scratch area and is dropped;
// otherwise *RepDataLen is the capacity of RepData and comes back holding the
// length received. Returns the status as MakeReq does.
int16_t MakeSFSReq(const char* FnCode, uint16_t ReqDataLen, void* ReqData, uint16_t* RepDataLen,
                   void* RepData, const char* PCBName, const char* ServerName);

// Connects to the file server ServerName: "IN" to "SPV", then "GF", "OO", "IL"
// and "BT". Returns 0 when connected, otherwise the status of the "IN", "GF" or
// "OO" that failed ("YP" counts as success of "GF"). The requests already sent
// are not undone.
uint16_t ConnectSFS(const char* ServerName);

// Searches the PCBs of ServerName for one that reads the file description
// DBDName and whose first key segment carries every bit of KeyNum in its UsrData.
// The name is compared without regard to case on as many characters as it has,
// so a shorter name also matches names that begin with it; an empty name or one
// longer than 8 characters matches nothing. PCBName: a 9-character area that
// receives the PCB's name (NUL-terminated, trailing blanks removed), or an empty
// text. Returns 1 when a PCB was found, 0 otherwise. The search always ends: it
// stops when the server has no more names, when a reply brings no name that was
// not already examined, or after kMaxPCBQueries name queries.
uint32_t PCBFromDBD(const char* DBDName, uint8_t KeyNum, char* PCBName, const char* ServerName);
// The same search, sending exactly the same requests, which also collects in
// *Offered (when not null) the file description names of every PCB described
// during the search: trailing blanks removed, bytes outside ' ' to '~' shown as
// '?', empty names left out.
uint32_t PCBFromDBD(const char* DBDName, uint8_t KeyNum, char* PCBName, const char* ServerName,
                    std::set<std::string>* Offered);

// Upper bound of "QP" name queries in one search.
constexpr int kMaxPCBQueries = 256;

// Disconnects from the file server: "ET", "HL" (PCB name left as it is), "CO"
// (PCB name blank). Every status is ignored.
void DisConnectSFS(const char* ServerName);

#endif  // DEFSHIFTCORE_QVBUTSFS_H_
