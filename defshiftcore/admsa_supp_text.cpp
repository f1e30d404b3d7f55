#include "admsa_supp_text.h"

#include <cstdio>
#include <cstring>

#include "admsa_errs.h"

OwnedText CopyText(const char* text) {
  OwnedText copy(strdup(text));
  if (copy == nullptr) OutOfMemory(static_cast<long>(std::strlen(text)) + 1);
  return copy;
}

namespace {

// Puts together in area, of size bytes, the text of a format made of text, %s and
// %% alone: the report has a line of that kind for every record, and the C
// runtime's formatting would be most of its cost. The length of the text, or -1
// when the format holds another conversion, an argument is null or the text does
// not fit (area then holds anything). args is not used up.
int PlainFormat(char* area, size_t size, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  size_t at = 0;
  const auto append = [&](const char* text, size_t n) {
    if (n >= size - at) return false;
    std::memcpy(area + at, text, n);
    at += n;
    return true;
  };
  int result = -1;
  for (const char* p = format;;) {
    const char* percent = std::strchr(p, '%');
    if (!append(p, percent != nullptr ? static_cast<size_t>(percent - p) : std::strlen(p))) break;
    if (percent == nullptr) {
      area[at] = '\0';
      result = static_cast<int>(at);
      break;
    }
    if (percent[1] == '%') {
      if (!append("%", 1)) break;
    } else if (percent[1] == 's') {
      const char* text = va_arg(copy, const char*);
      if (text == nullptr || !append(text, std::strlen(text))) break;
    } else {
      break;
    }
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
