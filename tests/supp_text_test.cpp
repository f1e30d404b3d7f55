// The texts the library makes for itself: formatted texts of any length and
// owned copies.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "admsa_supp_copy.h"
#include "admsa_supp_text.h"

// The address space of a process can be limited, and a sanitizer does not hold
// its allocations to the limit.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#define LIMITED_ADDRESS_SPACE 1
#include <sys/resource.h>
#include <unistd.h>
#endif

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
    // Formats of text, %s and %% alone are put together without the C runtime.
    const std::string half(n / 2, 'p');
    const std::string rest(n - n / 2 - 1, 'q');
    EXPECT_EQ(std::to_string(n) + ":" + half + "%" + rest,
              Format("%s%%%s", half.c_str(), rest.c_str()))
        << n;
  }
  EXPECT_EQ("0:", Format("%s", ""));
}

// The numbers and characters of the report's lines, put together without the C
// runtime, read as the C runtime writes them; a format of any other conversion
// goes to the C runtime.
TEST(FormattedTest, NumbersAgreeWithTheRuntime) {
  char expected[128];
  for (int value : {0, 7, -7, 10, -10, 99999, INT_MAX, INT_MIN, INT_MIN + 1}) {
    const unsigned u = static_cast<unsigned>(value);
    std::snprintf(expected, sizeof expected, "%d records, %i, %u migrated%c", value, value, u, '.');
    EXPECT_EQ(std::to_string(std::strlen(expected)) + ":" + expected,
              Format("%d records, %i, %u migrated%c", value, value, u, '.'));
  }
  EXPECT_EQ("11:0x0A and  3", Format("0x%02X and %2d", 10u, 3));
  EXPECT_EQ("3:a%b", Format("%c%%%c", 'a', 'b'));
}

TEST(FormattedTest, TextEndsAtItsFirstNul) {
  EXPECT_EQ("2:ab", Format("ab%ccd", '\0'));
  const std::string longer(300, 'y');
  EXPECT_EQ("300:" + longer, Format("%s%c%s", longer.c_str(), '\0', "rest"));
}

TEST(CopyTextTest, CopiesTheWholeText) {
  const std::string text = "REGION" + std::string(300, 'x');
  const OwnedText copy = CopyText(text.c_str());
  ASSERT_NE(nullptr, copy);
  EXPECT_NE(text.c_str(), copy.get());
  EXPECT_EQ(text, copy.get());
  EXPECT_STREQ("", CopyText("").get());
}

#if defined(LIMITED_ADDRESS_SPACE)
namespace {

// The address space of the process, in bytes.
size_t AddressSpace() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  statm >> pages;
  return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

// A run that cannot hold a copy reports it and ends, rather than going on with
// a text that is not there.
TEST(CopyTextTest, RunWithoutStorageForACopyEnds) {
  const std::string big(64 << 20, 'x');
  EXPECT_EXIT(
      {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = AddressSpace() + (16 << 20);
        setrlimit(RLIMIT_AS, &limit);
        CopyText(big.c_str());
      },
      testing::ExitedWithCode(1), "Error 4: Couldn't obtain 67108865 bytes");
}
#endif
