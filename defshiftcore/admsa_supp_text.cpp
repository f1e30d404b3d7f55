#include "admsa_supp_text.h"

#include <cstdio>
#include <cstring>

#include "admsa_errs.h"

OwnedText CopyText(const char* text) {
  OwnedText copy(strdup(text));
  if (copy == nullptr) OutOfMemory(static_cast<long>(std::strlen(text)) + 1);
  return copy;
}

Formatted::Formatted(const char* format, va_list args) {
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
