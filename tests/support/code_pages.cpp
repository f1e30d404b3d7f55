#include "support/code_pages.h"

#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <iconv.h>
#endif

int BackTo1252(unsigned Console, unsigned char Byte) {
#if defined(_WIN32)
  WCHAR wide;
  char out;
  BOOL defaulted = FALSE;
  const char in = static_cast<char>(Byte);
  if (MultiByteToWideChar(Console, 0, &in, 1, &wide, 1) != 1) return -1;
  if (WideCharToMultiByte(1252, 0, &wide, 1, &out, 1, nullptr, &defaulted) != 1 || defaulted) {
    return -1;
  }
  return static_cast<unsigned char>(out);
#else
  const std::string from = "CP" + std::to_string(Console);
  iconv_t cd = iconv_open("CP1252", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
  char in = static_cast<char>(Byte);
  char out[4];
  char* ip = &in;
  char* op = out;
  size_t il = 1;
  size_t ol = sizeof out;
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && op - out == 1;
  iconv_close(cd);
  return ok ? static_cast<unsigned char>(out[0]) : -1;
#endif
}
