// The code pages of glibc's iconv, on every platform but Windows.
#if !defined(_WIN32)

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "admsa_codepage_platform.h"

namespace {

// iconv's name of the code page Page.
std::string IconvName(unsigned Page) { return "CP" + std::to_string(Page); }

// One conversion descriptor, closed when it goes.
class Converter {
 public:
  Converter(const char* To, const char* From) : cd_(iconv_open(To, From)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the Length bytes at In, from the initial state and to its end,
  // into *rOut (at most kRoom bytes): 0, or the errno of the failure (EILSEQ
  // for a character that has no way, EINVAL for an incomplete one).
  static constexpr size_t kRoom = 16;
  int Convert(const char* In, size_t Length, std::string* rOut) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char out[kRoom];
    char* in = const_cast<char*>(In);
    char* o = out;
    size_t left = Length;
    size_t room = sizeof out;
    if (iconv(cd_, &in, &left, &o, &room) == static_cast<size_t>(-1)) return errno;
    // A stateful code page may hold a character back until the end.
    if (iconv(cd_, nullptr, nullptr, &o, &room) == static_cast<size_t>(-1)) return errno;
    rOut->assign(out, static_cast<size_t>(o - out));
    return 0;
  }

 private:
  iconv_t cd_;
};

uint32_t CodeOf(const std::string& Ucs4) {
  const auto* b = reinterpret_cast<const unsigned char*>(Ucs4.data());
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

std::string Ucs4Of(uint32_t Code) {
  const char b[4] = {static_cast<char>(Code & 0xFF), static_cast<char>(Code >> 8 & 0xFF),
                     static_cast<char>(Code >> 16 & 0xFF), static_cast<char>(Code >> 24 & 0xFF)};
  return std::string(b, sizeof b);
}

// Whether Page, read by Decoder, is a single-byte code page that holds the
// printable ASCII characters as ASCII: every byte alone is one character or
// none, and never the start of a longer one. Else *rWhy says why not.
bool SingleByte(Converter* Decoder, std::string* rWhy) {
  std::string out;
  for (unsigned b = 0; b < 256; ++b) {
    const char in = static_cast<char>(b);
    const int error = Decoder->Convert(&in, 1, &out);
    if (error == EILSEQ && b >= 0x80) continue;  // a byte of no character
    if (error != 0 || out.size() != 4) {
      *rWhy = "it is not a single-byte code page";
      return false;
    }
    if (b >= 0x20 && b < 0x7F && CodeOf(out) != b) {
      *rWhy = "it does not hold the printable ASCII characters as ASCII";
      return false;
    }
  }
  return true;
}

}  // namespace

int PlatformByteMap(unsigned Console, unsigned Control, PlatformByte (*rBytes)[kHighBytes],
                    unsigned* rPage, std::string* rWhy) {
  const std::string console = IconvName(Console);
  const std::string control = IconvName(Control);
  Converter decode("UCS-4LE", control.c_str());
  Converter encode(console.c_str(), "UCS-4LE");
  Converter back("UCS-4LE", console.c_str());
  struct Side {
    unsigned page;
    const std::string& name;
    Converter* decoder;
    bool known;
  };
  for (const Side& side : {Side{Control, control, &decode, decode.ok()},
                           Side{Console, console, &back, back.ok() && encode.ok()}}) {
    *rPage = side.page;
    if (!side.known) {
      *rWhy = "iconv does not know " + side.name;
      return -1;
    }
    if (!SingleByte(side.decoder, rWhy)) return -1;
  }
  std::string wide;
  std::string out;
  for (int i = 0; i < kHighBytes; ++i) {
    PlatformByte& entry = (*rBytes)[i];
    entry = PlatformByte{};
    const char in = static_cast<char>(0x80 + i);
    if (decode.Convert(&in, 1, &wide) != 0) continue;
    entry.code = CodeOf(wide);
    entry.kind = PlatformByte::kNotHeld;
    // Without //TRANSLIT, iconv refuses a character that the code page lacks
    // rather than putting another in its place; the way back makes sure.
    const std::string ucs4 = Ucs4Of(entry.code);
    if (encode.Convert(ucs4.data(), ucs4.size(), &out) != 0) continue;
    if (out.size() != 1) {
      *rPage = Console;
      *rWhy = "it is not a single-byte code page";
      return -1;
    }
    if (back.Convert(out.data(), 1, &wide) != 0 || CodeOf(wide) != entry.code) continue;
    entry.kind = PlatformByte::kCarried;
    entry.byte = static_cast<unsigned char>(out[0]);
  }
  return 0;
}

int MachineCodePages(unsigned* rConsole, unsigned* rControl) {
  (void)rConsole;
  (void)rControl;
  return -1;
}

unsigned DefaultControlCodePage() { return 1252; }

#endif  // !_WIN32
