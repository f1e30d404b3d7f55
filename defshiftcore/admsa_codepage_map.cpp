#include "admsa_codepage_map.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "admsa_errs.h"

namespace {

const char kOptionForm[] = "ConsoleCodePage[:ControlFileCodePage]";
#if defined(_WIN32)
const char kOrMachine[] = ", or OEM";
#else
const char kOrMachine[] = "";
#endif

// The code page of the decimal number at Text up to End: 0 for anything else
// (a code page is from 1 to 65535).
unsigned PageOf(const char* Text, const char* End) {
  if (Text == End || End - Text > 5) return 0;
  unsigned page = 0;
  for (const char* p = Text; p != End; ++p) {
    if (*p < '0' || *p > '9') return 0;
    page = page * 10 + static_cast<unsigned>(*p - '0');
  }
  return page <= 65535 ? page : 0;
}

}  // namespace

int CodePageMap::Open(const char* Value) {
  const char* value = Value != nullptr ? Value : "";
  if (strcasecmp(value, "OEM") == 0) {
    if (MachineCodePages(&console_, &control_) != 0) {
      Error.Report(
          "Code pages 'OEM' (-c) are the machine's own only on Windows: give the numbers, such "
          "as 850:1252");
      return -1;
    }
  } else {
    const char* colon = std::strchr(value, ':');
    const char* end = value + std::strlen(value);
    console_ = PageOf(value, colon != nullptr ? colon : end);
    control_ = colon != nullptr ? PageOf(colon + 1, end) : DefaultControlCodePage();
    if (console_ == 0 || control_ == 0) {
      Error.Report("Code pages '%s' (-c) are not %s: give numbers, such as 850 or 850:1252%s",
                   value, kOptionForm, kOrMachine);
      return -1;
    }
  }
  unsigned page = 0;
  std::string why;
  if (PlatformByteMap(console_, control_, &high_, &page, &why) != 0) {
    Error.Report("Code page %u (-c) cannot be used: %s", page, why.c_str());
    return -1;
  }
  for (unsigned b = 0; b < 256; ++b) {
    to_[b] = static_cast<unsigned char>(b);
    lost_[b] = false;
  }
  for (int i = 0; i < kHighBytes; ++i) {
    const PlatformByte& high = high_[i];
    // A character of the control file's code page arrives as ASCII only by
    // a replacement, whatever the platform says.
    const bool carried = high.kind == PlatformByte::kCarried && high.byte >= 0x80;
    to_[0x80 + i] = carried ? high.byte : static_cast<unsigned char>(kNotCarried);
    lost_[0x80 + i] = !carried;
  }
  return 0;
}

void CodePageMap::Convert(char* Text, size_t Length, const char* Where, CodePageLoss* rLoss) const {
  for (size_t i = 0; i < Length; ++i) {
    const auto b = static_cast<unsigned char>(Text[i]);
    if (b < 0x80) continue;
    if (lost_[b] && rLoss->count++ == 0) {
      rLoss->byte = b;
      rLoss->where = Where;
    }
    Text[i] = static_cast<char>(to_[b]);
  }
}

void CodePageMap::ConvertAttribute(char* Text, size_t Length, CodePageLoss* rLoss) const {
  const uint32_t before = rLoss->count;
  Convert(Text, Length, "", rLoss);
  if (before == 0 && rLoss->count != 0) {
    const char* equals = static_cast<const char*>(std::memchr(Text, '=', Length));
    rLoss->where.assign(Text, equals != nullptr ? static_cast<size_t>(equals - Text) : Length);
  }
}

std::string CodePageMap::Converted(const char* Text, const char* Where, CodePageLoss* rLoss) const {
  std::string text = Text != nullptr ? Text : "";
  Convert(&text[0], text.size(), Where, rLoss);
  return text;
}

std::string CodePageMap::CharacterName(unsigned char Byte) const {
  char name[64];
  if (Byte < 0x80) {
    std::snprintf(name, sizeof name, "0x%02X (U+%04X)", Byte, Byte);
  } else if (high_[Byte - 0x80].kind == PlatformByte::kUndefined) {
    std::snprintf(name, sizeof name, "0x%02X (no character of code page %u)", Byte, control_);
  } else {
    std::snprintf(name, sizeof name, "0x%02X (U+%04X)", Byte,
                  static_cast<unsigned>(high_[Byte - 0x80].code));
  }
  return name;
}
