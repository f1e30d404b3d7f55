// What the platform knows of code pages: whether it converts a code page, and
// what becomes of each byte 128 to 255 of one single-byte code page carried
// into another. glibc's iconv answers on Linux (code pages named CP437,
// CP850, CP1252, ...), MultiByteToWideChar and WideCharToMultiByte on Windows.
// The answers are the platform's own: no table of characters is kept here.
#ifndef DEFSHIFTCORE_ADMSA_CODEPAGE_PLATFORM_H_
#define DEFSHIFTCORE_ADMSA_CODEPAGE_PLATFORM_H_

#include <cstdint>
#include <string>

// One byte of the control file's code page on its way into the console's.
struct PlatformByte {
  enum Kind : uint8_t {
    kCarried,    // the console's code page holds the character: byte is its byte there
    kNotHeld,    // a character that the console's code page does not hold
    kUndefined,  // the byte stands for no character of the control file's code page
  };
  Kind kind = kUndefined;
  unsigned char byte = 0;  // the console's byte, for kCarried
  uint32_t code = 0;       // the character's Unicode code point, but for kUndefined
};

// The bytes 128 to 255 of a code page, by byte - 128.
constexpr int kHighBytes = 128;

// Asks the platform for the way of each byte from 128 to 255 of code page
// Control into code page Console, and stores it in (*rBytes)[byte - 128]. A
// character is carried only when it comes back unchanged from the console's
// code page, so that no character is replaced by a look-alike (À by A).
// Returns 0; or -1, with *rBytes unspecified, when either code page cannot be
// used: *rPage is then that code page and *rWhy says why (the platform does
// not know it, it is not a single-byte code page, or it does not hold the
// printable ASCII characters as ASCII).
int PlatformByteMap(unsigned Console, unsigned Control, PlatformByte (*rBytes)[kHighBytes],
                    unsigned* rPage, std::string* rWhy);

// The code pages of this machine: *rConsole that of its consoles (the OEM code
// page), *rControl its Windows (ANSI) code page. 0; -1 on a platform that has
// none (all but Windows).
int MachineCodePages(unsigned* rConsole, unsigned* rControl);

// The code page that the control file's texts are taken to be in when only
// the console's is given: the machine's Windows code page, or 1252 where the
// platform has none.
unsigned DefaultControlCodePage();

#endif  // DEFSHIFTCORE_ADMSA_CODEPAGE_PLATFORM_H_
