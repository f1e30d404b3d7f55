// The code pages of Windows, through MultiByteToWideChar and
// WideCharToMultiByte as every Windows NT has them. Windows NT 4.0 refuses the
// flags that later versions added (WC_NO_BEST_FIT_CHARS, WC_ERR_INVALID_CHARS),
// so none of those is given: a character that WideCharToMultiByte replaces,
// by the default character or by a look-alike of its best fit, is found by
// the flag that tells the default character was used and by converting the
// result back.
#if defined(_WIN32)

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "admsa_codepage_platform.h"

namespace {

// Whether Page is a single-byte code page of this Windows that holds the
// printable ASCII characters as ASCII; else *rWhy says why not.
bool Usable(unsigned Page, std::string* rWhy) {
  CPINFO info;
  if (!IsValidCodePage(Page) || !GetCPInfo(Page, &info)) {
    *rWhy = "Windows does not know code page " + std::to_string(Page);
    return false;
  }
  if (info.MaxCharSize != 1) {
    *rWhy = "it is not a single-byte code page";
    return false;
  }
  char ascii[0x7F - 0x20];
  WCHAR wide[sizeof ascii];
  const int count = static_cast<int>(sizeof ascii);
  for (int i = 0; i < count; ++i) ascii[i] = static_cast<char>(0x20 + i);
  bool same = MultiByteToWideChar(Page, 0, ascii, count, wide, count) == count;
  for (int i = 0; same && i < count; ++i) same = wide[i] == static_cast<WCHAR>(0x20 + i);
  if (!same) {
    *rWhy = "it does not hold the printable ASCII characters as ASCII";
    return false;
  }
  return true;
}

}  // namespace

int PlatformByteMap(unsigned Console, unsigned Control, PlatformByte (*rBytes)[kHighBytes],
                    unsigned* rPage, std::string* rWhy) {
  for (const unsigned page : {Control, Console}) {
    *rPage = page;
    if (!Usable(page, rWhy)) return -1;
  }
  for (int i = 0; i < kHighBytes; ++i) {
    PlatformByte& entry = (*rBytes)[i];
    entry = PlatformByte{};
    const char in = static_cast<char>(0x80 + i);
    WCHAR wide[2];
    // MB_ERR_INVALID_CHARS: a byte that stands for no character is not
    // given the default character.
    if (MultiByteToWideChar(Control, MB_ERR_INVALID_CHARS, &in, 1, wide, 2) != 1) continue;
    entry.code = wide[0];
    entry.kind = PlatformByte::kNotHeld;
    char out[4];
    BOOL defaulted = FALSE;
    if (WideCharToMultiByte(Console, 0, wide, 1, out, sizeof out, nullptr, &defaulted) != 1 ||
        defaulted) {
      continue;
    }
    WCHAR back[2];
    if (MultiByteToWideChar(Console, 0, out, 1, back, 2) != 1 || back[0] != wide[0]) continue;
    entry.kind = PlatformByte::kCarried;
    entry.byte = static_cast<unsigned char>(out[0]);
  }
  return 0;
}

int MachineCodePages(unsigned* rConsole, unsigned* rControl) {
  *rConsole = GetOEMCP();
  *rControl = GetACP();
  return 0;
}

unsigned DefaultControlCodePage() { return GetACP(); }

#endif  // _WIN32
