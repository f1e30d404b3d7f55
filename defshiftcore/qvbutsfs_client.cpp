#include "qvbutsfs_client.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "admsa_tran_escape.h"
#include "qrlnt/qrlnt.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The longest path a module can have on Windows, with its NUL.
constexpr size_t kLongestPath = 32768;

// The stand-in's image folder through its entry point folder_of.
std::string StandInFolder(QrlSfsDirEntry folder_of) {
  std::vector<char> folder(kLongestPath);
  const uint32_t n = folder_of(folder.data(), static_cast<uint32_t>(folder.size()));
  // A path longer than the area is shown as far as it came.
  return std::string(folder.data(), std::min<size_t>(n, folder.size() - 1));
}

#if defined(_WIN32)

// Where a call of entry lands. A call of an imported function goes to a thunk
// of the calling module, jmp through its slot of the import address table
// (FF 25 and a 32-bit operand: the slot's address on x86, its distance from the
// end of the jump on x64); any other entry is the function itself.
const void* CallTarget(const void* entry) {
  const unsigned char* code = static_cast<const unsigned char*>(entry);
  if (code[0] != 0xFF || code[1] != 0x25) return entry;
  int32_t operand;
  std::memcpy(&operand, code + 2, sizeof operand);
#if defined(_WIN64)
  const unsigned char* slot = code + 6 + operand;
#else
  const unsigned char* slot = reinterpret_cast<const unsigned char*>(
      static_cast<uintptr_t>(static_cast<uint32_t>(operand)));
#endif
  const void* target;
  std::memcpy(&target, slot, sizeof target);
  return target;
}

// GetModuleHandleEx, which names the module of an address, came with Windows
// XP; the allocation base of the address's region is the module's handle in
// every Windows NT.
ClientLibrary FindIn(const void* entry) {
  ClientLibrary client{"", false, ""};
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(CallTarget(entry), &region, sizeof region) == 0 ||
      region.AllocationBase == nullptr) {
    return client;
  }
  const HMODULE module = static_cast<HMODULE>(region.AllocationBase);
  std::vector<char> path(kLongestPath);
  const DWORD n = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
  // A full area may hold a path cut short, without its NUL on Windows NT 4.0.
  if (n == 0 || n >= path.size() - 1) return client;
  client.path.assign(path.data(), n);
  const FARPROC folder_of = GetProcAddress(module, kStandInFolderEntry);
  if (folder_of != nullptr) {
    client.standin = true;
    // Through the type that every function pointer may be cast to and back.
    client.folder =
        StandInFolder(reinterpret_cast<QrlSfsDirEntry>(reinterpret_cast<void (*)()>(folder_of)));
  }
  return client;
}

#else

ClientLibrary FindIn(const void* entry) {
  ClientLibrary client{"", false, ""};
  Dl_info info;
  if (dladdr(entry, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
    return client;
  }
  // The name as the dynamic linker found the object, relative ones included.
  char* full = realpath(info.dli_fname, nullptr);
  client.path = full != nullptr ? full : info.dli_fname;
  std::free(full);
  // Only the stand-in's entry point in that same object counts: another object
  // of the process may be a stand-in that does not answer.
  void* folder_of = dlsym(RTLD_DEFAULT, kStandInFolderEntry);
  Dl_info where;
  if (folder_of != nullptr && dladdr(folder_of, &where) != 0 && where.dli_fbase == info.dli_fbase) {
    client.standin = true;
    client.folder = StandInFolder(reinterpret_cast<QrlSfsDirEntry>(folder_of));
  }
  return client;
}

#endif

}  // namespace

ClientLibrary FindClientLibrary() { return FindIn(reinterpret_cast<const void*>(&QRSEND)); }

std::string ClientLibraryLine(const ClientLibrary& Client) {
  std::string line = "File Manager client: ";
  if (Client.path.empty()) return line + "the library that holds QRSEND cannot be named";
  line += Client.path;
  if (Client.standin) {
    line += " (the stand-in, serving control-file images from " + Client.folder + ")";
  }
  // A path may hold a line feed: the line stays one line.
  HideControlCharacters(&line);
  return line;
}
