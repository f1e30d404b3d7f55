// The File Manager client library that answers the requests of a run: the module
// that holds the QRSEND this library calls, named by its full path for the
// report, and whether it is the stand-in that serves control-file images.
#ifndef DEFSHIFTCORE_QVBUTSFS_CLIENT_H_
#define DEFSHIFTCORE_QVBUTSFS_CLIENT_H_

#include <string>

struct ClientLibrary {
  std::string path;    // full path of the module; empty when it cannot be named
  bool standin;        // the module exports kStandInFolderEntry (qrlnt/qrlnt.h)
  std::string folder;  // the stand-in's image folder; empty for any other client
};

// The module that holds the QRSEND called by MakeReq: on Windows the module
// where the call lands (through the import thunk of this library, when QRSEND
// is imported), found from its allocation base; elsewhere the shared object
// that the dynamic linker bound QRSEND to, a preloaded one included. The
// stand-in is known by its own entry point in that same module.
ClientLibrary FindClientLibrary();

// The report's line on it, one of
//   File Manager client: PATH
//   File Manager client: PATH (the stand-in, serving control-file images from FOLDER)
//   File Manager client: the library that holds QRSEND cannot be named
std::string ClientLibraryLine(const ClientLibrary& Client);

#endif  // DEFSHIFTCORE_QVBUTSFS_CLIENT_H_
