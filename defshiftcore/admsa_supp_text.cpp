#include "admsa_supp_text.h"

#include <cstdio>
#include <cstring>

namespace {

// The decimal digits of value, with a minus sign when negative is set, ending at
// end (written backwards); returns where they start.
char* Decimal(unsigned long value, bool negative, char* end) {
  char* p = end;
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (negative) *--p = '-';
  return p;
}

// A text put together in a fixed area, as long as it fits.
struct Area {
  char* area;
  size_t size;
  size_t at;

  bool Append(const char* text, size_t n) {
    if (n >= size - at) return false;
    std::memcpy(area + at, text, n);
    at += n;
    return true;
  }
  bool AppendDecimal(unsigned long magnitude, bool negative) {
    char digits[24];
    char* const end = digits + sizeof digits;
    const char* start = Decimal(magnitude, negative, end);
    return Append(start, static_cast<size_t>(end - start));
  }
  // Appends the text of conversion Kind, taking its argument from *args;
  // false when it cannot (see PlainFormat).
  bool AppendConversion(char Kind, va_list* args) {
    switch (Kind) {
      case '%':
        return Append("%", 1);
      case 's': {
        const char* text = va_arg(*args, const char*);
        return text != nullptr && Append(text, std::strlen(text));
      }
      case 'd':
      case 'i': {
        const int value = va_arg(*args, int);
        // The magnitude taken as unsigned, so that the most negative int has one.
        const unsigned long magnitude =
            value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        return AppendDecimal(magnitude, value < 0);
      }
      case 'u':
        return AppendDecimal(va_arg(*args, unsigned), false);
      case 'c': {
        // A NUL character ends the text: left to the C runtime, as a null text is.
        const char c = static_cast<char>(va_arg(*args, int));
        return c != '\0' && Append(&c, 1);
      }
      default:
        return false;
    }
  }
};

// Puts together in area, of size bytes, the text of a format made of text and
// the conversions %s, %d, %i, %u, %c and %% without flags, width or precision:
// the report has such a line for every record (and the reading one for every
// damaged one), and the C runtime's formatting would be most of its cost. The
// length of the text, or -1 when the format holds another conversion, an
// argument is null or a NUL character, or the text does not fit (area then
// holds anything). args is not used up.
int PlainFormat(char* area, size_t size, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  Area text{area, size, 0};
  int result = -1;
  for (const char* p = format;;) {
    const char* percent = std::strchr(p, '%');
    if (!text.Append(p, percent != nullptr ? static_cast<size_t>(percent - p) : std::strlen(p))) {
      break;
    }
    if (percent == nullptr) {
      area[text.at] = '\0';
      result = static_cast<int>(text.at);
      break;
    }
    if (!text.AppendConversion(percent[1], &copy)) break;
    p = percent + 2;
  }
  va_end(copy);
  return result;
}

}  // namespace

Formatted::Formatted(const char* format, va_list args) {
  const int plain = PlainFormat(area_, sizeof area_, format, args);
  if (plain >= 0) {
    size_ = static_cast<size_t>(plain);
    return;
  }
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(area_, sizeof area_, format, args);
  if (n >= static_cast<int>(sizeof area_)) {
    long_.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(long_.data(), long_.size(), format, again);
    size_ = std::strlen(long_.data());
  } else if (n < 0) {
    area_[0] = '\0';
  } else {
    size_ = std::strlen(area_);
  }
  va_end(again);
}
