// Texts the library makes for itself: the whole text of a format, whatever its
// length, and the owner of a text the C library gave. Nothing here reports: the
// report itself is made of these (admsa_errs.h).
#ifndef DEFSHIFTCORE_ADMSA_SUPP_TEXT_H_
#define DEFSHIFTCORE_ADMSA_SUPP_TEXT_H_

#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

// Releases storage that the C library gave (malloc, strdup).
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A text owned through FreeDeleter; null for none.
using OwnedText = std::unique_ptr<char, FreeDeleter>;

// The whole text that format makes of args, up to its first NUL, never cut and
// never overrunning storage. Nearly every text fits an area of the object's own;
// only a longer one is formatted a second time, into storage of its exact size.
// A format that cannot be formatted gives the empty text. args is used up.
class Formatted {
 public:
  Formatted(const char* format, va_list args);
  Formatted(const Formatted&) = delete;
  Formatted& operator=(const Formatted&) = delete;

  const char* text() const { return long_.empty() ? area_ : long_.data(); }
  size_t size() const { return size_; }

 private:
  char area_[256];
  std::vector<char> long_;
  size_t size_ = 0;
};

#endif  // DEFSHIFTCORE_ADMSA_SUPP_TEXT_H_
