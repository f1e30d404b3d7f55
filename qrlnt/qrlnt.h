// The File Manager client interface: the two entry points of the client library
// and the layout of what they exchange (qrlnt_wire.h: the request block QRL_CPRB,
// the file-server parameter list SFS_PARMLIST_s).
//
// Every integer field is little-endian and every structure is laid out byte for
// byte without padding, so the structures can be handed to any implementation of
// the client library as they stand.
//
// Area addresses. The four address fields of the request block are 32 bits wide.
// On a platform whose addresses are 32 bits (QRLNT_AREA_TOKENS 0) a field holds
// the address of its area itself, as every File Manager client expects, and the
// library has no QRLAREA. On a platform whose addresses are wider
// (QRLNT_AREA_TOKENS 1), a field carries an area token instead. The contract
// between a caller and any implementation of the client library there:
//  - QRLAREA(area) returns a non-zero token for a non-null area and 0 for null.
//    Asking twice for the same area before the next QRSEND gives the same token.
//  - A token stays valid until the next QRSEND returns; after that it names
//    nothing, and a caller registers its areas again for the next request.
//  - QRSEND resolves the tokens of the block it is given. The length or capacity
//    field beside an address field gives the size of the area; a token of 0 means
//    no area, and then the library neither reads nor writes there.
//  - A non-zero length or capacity with a token of 0, or with a token that names
//    nothing, makes QRSEND refuse the request with a non-zero status without
//    touching any area.
//  - An implementation resolves at least 16 distinct areas between two QRSEND
//    calls (a request uses at most four); beyond its limit QRLAREA returns 0.
#ifndef QRLNT_QRLNT_H_
#define QRLNT_QRLNT_H_

#include <cstdint>

#include "qrlnt/qrlnt_wire.h"

#if defined(QRLNT_BUILDING) && defined(_WIN32)
#define QRLNT_EXPORT __declspec(dllexport)
#elif defined(QRLNT_BUILDING)
#define QRLNT_EXPORT __attribute__((visibility("default")))
#else
#define QRLNT_EXPORT
#endif

// The calling convention of QRSEND, the one place that names it. Empty, it is
// the platform's C convention (cdecl on 32-bit Windows). defshiftcore calls
// QRSEND so that on 32-bit Windows a library of either convention serves it as
// long as it exports QRSEND by that name (CallQRSEND): only a site whose client
// library is imported by a decorated name writes its convention here, for
// instance
//   #define QRLNT_CALL __stdcall
// and builds against its own library (whose import entry is then QRSEND@8 on
// 32-bit Windows). The stand-in's __stdcall build (QRLNT_STDCALL in
// qrlnt/CMakeLists.txt) sets it on the compiler's command line. On 64-bit
// Windows there is only one convention.
#ifndef QRLNT_CALL
#define QRLNT_CALL
#endif

extern "C" {

// Sends the request described by *cprb to the server it names and waits for the
// answer. Reply parameter and reply data are placed in their areas, never beyond
// the capacities given in qrlrparml and qrlrdatal, which come back holding the
// lengths received. The low 16 bits of the result are the status: 0 for success,
// otherwise two ASCII characters (see QrlCode). zero must be 0. The tokens of the
// block become invalid when QRSEND returns.
QRLNT_EXPORT uint32_t QRLNT_CALL QRSEND(QRL_CPRB* cprb, uint32_t zero);

#if QRLNT_AREA_TOKENS
// The token of area for the address fields of the next request: non-zero for a
// non-null area, 0 for null. See the contract above.
QRLNT_EXPORT uint32_t QRLAREA(void* area);
#endif

}  // extern "C"

// The stand-in's own entry point, which no site's client library has:
//   uint32_t QRLSFSDIR(char* Folder, uint32_t Size);
// writes the full path of the folder the stand-in serves control-file images
// from into Folder (at most Size bytes with the closing NUL; nothing when Size
// is 0) and returns the path's length without the NUL. A caller looks it up by
// this name in the library that holds QRSEND and never binds it, so that any
// other client library serves it as well.
constexpr char kStandInFolderEntry[] = "QRLSFSDIR";
using QrlSfsDirEntry = uint32_t (*)(char* Folder, uint32_t Size);

#endif  // QRLNT_QRLNT_H_
