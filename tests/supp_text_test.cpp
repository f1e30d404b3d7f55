// The texts the library makes for itself: formatted texts of any length.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "admsa_supp_text.h"

namespace {

// The text and size that Formatted gives, as "<size>:<text>".
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const Formatted formatted(format, args);
  va_end(args);
  return std::to_string(formatted.size()) + ":" + formatted.text();
}

}  // namespace

// Lengths around the object's own area, which holds 255 characters and a NUL.
TEST(FormattedTest, TextsOfEveryLengthArriveWhole) {
  for (size_t n : {8, 9, 254, 255, 256, 257, 511, 5000}) {
    const std::string inner(n - 2, 'x');
    EXPECT_EQ(std::to_string(n) + ":<" + inner + ">", Format("%c%s%c", '<', inner.c_str(), '>'))
        << n;
    const std::string head(n - 8, 'x');
    EXPECT_EQ(std::to_string(n) + ":" + head + " and 42.", Format("%s and %d.", head.c_str(), 42))
        << n;
  }
  EXPECT_EQ("0:", Format("%s", ""));
}

TEST(FormattedTest, TextEndsAtItsFirstNul) {
  EXPECT_EQ("2:ab", Format("ab%ccd", '\0'));
  const std::string longer(300, 'y');
  EXPECT_EQ("300:" + longer, Format("%s%c%s", longer.c_str(), '\0', "rest"));
}
