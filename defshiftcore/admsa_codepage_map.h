// The texts of a command file written for the console that runs it (defshift
// -c ConsoleCodePage[:ControlFileCodePage]). The command interpreter reads a
// command file in the console's code page (the OEM code page: 437, 850, 852,
// ...) and hands tavoadd and tavoupdate their arguments in the Windows code
// page (1252, 1250, ...), in which the control file's texts are. Each byte
// 128 to 255 of a text is therefore written as the console's byte for the
// same character, and the programs receive the control file's bytes. ASCII is
// written as it is. A character that the console's code page does not hold
// has no exact way through the interpreter: it is written as kNotCarried, and
// counted, so that the report and the account name it.
#ifndef DEFSHIFTCORE_ADMSA_CODEPAGE_MAP_H_
#define DEFSHIFTCORE_ADMSA_CODEPAGE_MAP_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "admsa_codepage_platform.h"

// What the texts of one definition lost on their way into the console's code
// page.
struct CodePageLoss {
  uint32_t count = 0;      // characters not carried
  unsigned char byte = 0;  // the first of them, as the control file holds it
  std::string where;       // where it stands: "name", "region" or the attribute's name
};

class CodePageMap {
 public:
  // What a character that the console's code page does not hold is written as.
  static constexpr char kNotCarried = '?';

  // Takes the code pages of Value: "Console" or "Console:Control" (decimal
  // numbers; the control file's code page is DefaultControlCodePage() when
  // not given), or "OEM" (any case), the machine's own (MachineCodePages).
  // Returns 0 with the map of the platform; or -1 after a line of the report
  // that names the value or the code page and why it cannot be used.
  int Open(const char* Value);

  unsigned console() const { return console_; }
  unsigned control() const { return control_; }

  // Writes each byte 128 to 255 of the Length bytes at Text, in place, as the
  // console's byte for its character, or as kNotCarried, which is counted in
  // *rLoss; Where names Text there when it is the first character lost. The
  // length stays.
  void Convert(char* Text, size_t Length, const char* Where, CodePageLoss* rLoss) const;
  // As Convert for an attribute text name=value: the attribute's name is Where.
  void ConvertAttribute(char* Text, size_t Length, CodePageLoss* rLoss) const;
  // Text converted, as a new text; *rLoss as Convert.
  std::string Converted(const char* Text, const char* Where, CodePageLoss* rLoss) const;

  // The character of byte Byte of the control file, for the report: "0xC0
  // (U+00C0)", or "0x81 (no character of code page 1252)".
  std::string CharacterName(unsigned char Byte) const;

 private:
  unsigned console_ = 0;
  unsigned control_ = 0;
  unsigned char to_[256] = {};  // the byte written for each byte
  bool lost_[256] = {};         // the bytes written as kNotCarried
  PlatformByte high_[kHighBytes];
};

#endif  // DEFSHIFTCORE_ADMSA_CODEPAGE_MAP_H_
