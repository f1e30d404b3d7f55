// The value conversions of the translation, one row per case: file names, code
// lists, numbers of fields, range maps and arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "admsa_tran_values.h"

namespace {

// The field of a record holding bytes (at most kMaxFieldLen of them).
FieldBytes Field(const std::string& bytes) {
  FieldBytes f;
  f.len = static_cast<int>(bytes.size());
  bytes.copy(reinterpret_cast<char*>(f.data), bytes.size());
  f.data[bytes.size()] = '\0';
  return f;
}

// A character field of four bytes whose third code holds a NUL inside it, so that
// a comparison of all four bytes and one that stops at the first NUL differ.
constexpr char kCodes[] =
    "LPT1"
    "AB\0X"
    "PRN\0";
constexpr Entry kCoded = {403, 108, 4, kCharField, 0, 0, kCodes};
constexpr Entry kUncoded = {100, 1, 4, kCharField, 0, 0, ""};

}  // namespace

TEST(BaseNameTest, Names) {
  static const struct {
    const char* field;
    const char* value;
  } cases[] = {
      {"DATA\\ACCOUNTS.DAT", "ACCOUNTS"},
      {"data\\x.y", "x"},
      {"E:\\DIR\\F.DAT", "E:\\DIR\\F"},
      {"ACCOUNTS", "ACCOUNTS"},
      {"A.B.C", "A.B"},
      {"x.", "x"},
      // An extension belongs to the file, never to its directory.
      {"E:\\DIR.OLD\\F", "E:\\DIR.OLD\\F"},
      {"E:\\DIR.OLD\\F.DAT", "E:\\DIR.OLD\\F"},
      // A '.' that opens the name, or stands behind blanks only, is no extension.
      {".PROFILE", ".PROFILE"},
      {"   .DAT", "   .DAT"},
      {"E:\\.PROFILE", "E:\\.PROFILE"},
      {"DATA\\.PROFILE", ".PROFILE"},
      // "DATA\" goes only where a name follows it.
      {"DATA\\", "DATA\\"},
      {"DATA\\   ", "DATA\\   "},
      {"DATA\\F ", "F "},
      {"DATAFILE.DAT", "DATAFILE"},
  };
  for (const auto& c : cases) {
    std::string value = "unchanged";
    ASSERT_TRUE(convert::BaseName(c.field, &value)) << c.field;
    EXPECT_EQ(c.value, value) << c.field;
  }
}

TEST(BaseNameTest, Errors) {
  static const char* const errors[] = {"", " ", "        "};
  for (const char* field : errors) {
    std::string value = "unchanged";
    EXPECT_FALSE(convert::BaseName(field, &value)) << "'" << field << "'";
    EXPECT_EQ("unchanged", value) << "'" << field << "'";
  }
}

TEST(FileNameTest, Names) {
  static const struct {
    const char* field;
    const char* value;
  } cases[] = {
      {"E:\\Q\\OUT.TXT", "OUT.TXT"}, {"OUT.TXT", "OUT.TXT"}, {"E:\\Q\\", ""}, {"\\OUT", "OUT"},
      {"E:\\Q\\OUT  ", "OUT  "},
  };
  for (const auto& c : cases) {
    std::string value = "unchanged";
    ASSERT_TRUE(convert::FileName(c.field, &value)) << c.field;
    EXPECT_EQ(c.value, value) << c.field;
  }
}

TEST(FileNameTest, Errors) {
  static const char* const errors[] = {"", " ", " E:\\Q\\OUT.TXT"};
  for (const char* field : errors) {
    std::string value = "unchanged";
    EXPECT_FALSE(convert::FileName(field, &value)) << "'" << field << "'";
    EXPECT_EQ("unchanged", value) << "'" << field << "'";
  }
}

// Codes compare like strncmp: up to the first NUL of either, never past len.
TEST(CodeIndexTest, CodesCompareUpToTheirFirstNul) {
  static const struct {
    std::string bytes;
    int index;
  } cases[] = {
      {"LPT1", 0},
      {std::string("AB\0X", 4), 1},
      {std::string("AB\0Y", 4), 1},  // bytes behind the NUL do not count
      {std::string("AB\0\0", 4), 1},
      {"AB", 1},  // a short field reads as NUL-filled
      {std::string("PRN\0", 4), 2},
      {"PRN", 2},
      {"PRN ", 3},
      {"ABC", 3},
      {"LPT", 3},
      {"LPT2", 3},
      {std::string("\0\0\0\0", 4), 3},
      {"", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.index, convert::CodeIndex(kCoded, Field(c.bytes))) << "'" << c.bytes << "'";
  }
  EXPECT_EQ(0, convert::CodeIndex(kUncoded, Field("LPT1")));
}

TEST(FieldNumberTest, LeastSignificantByteFirst) {
  static const struct {
    int len;            // of the layout entry
    std::string bytes;  // of the field
    int32_t number;
  } cases[] = {
      {2, std::string("\x05\x00", 2), 5},
      {2, "\xff\xff", 65535},
      {2, std::string("\x00\x01", 2), 256},
      {4, "\xff\xff\xff\xff", -1},
      {4, std::string("\x00\x00\x00\x80", 4), INT32_MIN},
      {4, std::string("\x01\x02\x03\x04", 4), 0x04030201},
      // Only the first four bytes of a longer field, only the bytes a field holds.
      {6, std::string("\x01\x00\x00\x00\x09\x09", 6), 1},
      {4, "\x07", 7},
      {1, "\xff", 255},
  };
  for (const auto& c : cases) {
    const Entry e = {1, 1, c.len, kNumberField, 0, 0, ""};
    EXPECT_EQ(c.number, convert::FieldNumber(e, Field(c.bytes))) << c.len << " " << c.number;
  }
}

TEST(CutAppendTest, CutAtTheFirstBlankWithinTheWorkArea) {
  const std::string k31(31, 'K');
  static const struct {
    std::string text;
    const char* suffix;
    std::string value;
  } cases[] = {
      {"LINK", "TCP", "LINKTCP"},
      {"ABC DEF", "TCP", "ABCTCP"},
      {" LINK", "SNA", "SNA"},
      {"", "TCP", "TCP"},
      {"LINK", "", "LINK"},
      {k31 + "KKK", "TCP", k31},
      {k31.substr(0, 29), "TCP", k31.substr(0, 29) + "TC"},
      {k31.substr(0, 29) + " X", "TCP", k31.substr(0, 29) + "TC"},
  };
  for (const auto& c : cases) {
    std::string value = "old";
    convert::CutAppend(c.text.c_str(), c.suffix, &value);
    EXPECT_EQ(c.value, value) << "'" << c.text << "' + '" << c.suffix << "'";
  }
}

TEST(RangeStrTest, FirstRangeHoldingTheNumberOrTheEndEntry) {
  static const RangeMap map = {{
      {1, 5, Txt("low")},
      {5, 10, Txt("high")},
      {-3, -1, Txt("negative")},
      RangeEnd(Txt("other")),
      {0, 0, Txt("after the end")},
  }};
  static const struct {
    int32_t number;
    const char* str;
  } cases[] = {
      {1, "low"},   {5, "low"},    {6, "high"},          {10, "high"},         {-2, "negative"},
      {0, "other"}, {11, "other"}, {INT32_MIN, "other"}, {INT32_MAX, "other"},
  };
  for (const auto& c : cases) {
    const MapEntry* str = convert::RangeStr(map, c.number);
    ASSERT_NE(nullptr, str) << c.number;
    EXPECT_STREQ(c.str, str->text) << c.number;
  }
  // A map whose every entry is a range applies to nothing else.
  static const RangeMap full = {{{1, 1, Txt("1")},
                                 {2, 2, Txt("2")},
                                 {3, 3, Txt("3")},
                                 {4, 4, Txt("4")},
                                 {5, 5, Txt("5")},
                                 {6, 6, Txt("6")},
                                 {7, 7, Txt("7")},
                                 {8, 8, Txt("8")},
                                 {9, 9, Txt("9")},
                                 {10, 10, Txt("10")}}};
  EXPECT_EQ(nullptr, convert::RangeStr(full, 11));
  EXPECT_STREQ("10", convert::RangeStr(full, 10)->text);
}

TEST(DecimalTest, AsPrintfWritesIt) {
  static const struct {
    long long n;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-1, "-1"},
      {2147483647000000LL, "2147483647000000"},
      {INT64_MAX, "9223372036854775807"},
      {INT64_MIN, "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    std::string text = "old";
    convert::Decimal(c.n, &text);
    EXPECT_EQ(c.text, text) << c.text;
  }
}

TEST(ArithmeticTest, OperatorsAndOperands) {
  static const struct {
    const char* instruction;
    int32_t number;
    long long result;
  } cases[] = {
      {":*100", 200, 20000},
      {":+ 5", 2, 7},
      {":-10", 3, -7},
      {":/2", 7, 3},
      {":/2", -7, -3},  // toward zero
      {":*-2", 10, -20},
      {":+\t+4x", 1, 5},
      {":*", 9, 0},  // no digits: the operand is 0
      // What would lose the value leaves it as it is.
      {":/0", 8, 8},
      {":/x", 8, 8},
      {":%4", 9, 9},
      {":", 11, 11},
      // Operands are held within 32 bits, so products stay within 64.
      {":*1000000", INT32_MAX, 2147483647000000LL},
      {":*99999999999", INT32_MIN, -2147483648LL * 2147483647LL},
      {":+99999999999", INT32_MAX, 2LL * 2147483647LL},
      {":--99999999999", 0, 2147483647LL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result, convert::Arithmetic(c.instruction, c.number))
        << c.instruction << " on " << c.number;
  }
}
