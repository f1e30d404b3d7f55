// Texts written for the console's code page: every byte 128 to 255 of code page
// 1252 on its way into 437 and 850, ASCII, and the code pages that cannot be
// used. What each byte becomes is the platform's to say; the tests check that
// a byte written comes back as the same character, that every other byte is
// named, and a few characters whose place every table agrees on.
#include <gtest/gtest.h>

#include <string>

#include "admsa_codepage_map.h"
#include "support/capture.h"
#include "support/code_pages.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// Opens map with Value; the run must succeed without a word.
void Open(CodePageMap* map, const char* Value) {
  int rc = -1;
  const Captured said = Capture([&] { rc = map->Open(Value); });
  ASSERT_EQ(0, rc) << Value << ": " << said.out << said.err;
  EXPECT_EQ("", said.out + said.err) << Value;
}

// Every byte 0x80 to 0xFF of code page 1252, carried into 437 and 850: a byte
// written stands for the same character there, every other one is written as
// '?' and named, counted once each.
TEST(CodePageMapTest, EveryHighByteOf1252ArrivesOrIsNamed) {
  struct Known {
    unsigned char from;
    int to437;  // -1: not held
    int to850;
  };
  // clang-format off
  const Known known[] = {
    {0xE9, 0x82, 0x82},  // e acute
    {0xFC, 0x81, 0x81},  // u diaeresis
    {0xC0,   -1, 0xB7},  // A grave
    {0x80,   -1,   -1},  // euro sign
    {0x83, 0x9F, 0x9F},  // f hook
    {0xA3, 0x9C, 0x9C},  // pound sign
  };
  // clang-format on
  for (const unsigned console : {437u, 850u}) {
    CodePageMap map;
    const std::string value = std::to_string(console) + ":1252";
    ASSERT_NO_FATAL_FAILURE(Open(&map, value.c_str()));
    EXPECT_EQ(console, map.console());
    EXPECT_EQ(1252u, map.control());
    int carried[2] = {};  // 0x80-0x9F, 0xA0-0xFF
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      char text[] = {'x', static_cast<char>(b), 'y'};
      CodePageLoss loss;
      map.Convert(text, sizeof text, "name", &loss);
      EXPECT_EQ('x', text[0]);
      EXPECT_EQ('y', text[2]);
      const auto to = static_cast<unsigned char>(text[1]);
      if (loss.count == 0) {
        EXPECT_LE(0x80, to) << console << " " << b;
        EXPECT_EQ(static_cast<int>(b), BackTo1252(console, to)) << console << " " << b;
        ++carried[b >= 0xA0];
      } else {
        EXPECT_EQ(1u, loss.count) << b;
        EXPECT_EQ('?', to) << b;
        EXPECT_EQ(b, loss.byte);
        EXPECT_EQ("name", loss.where);
        const std::string name = map.CharacterName(static_cast<unsigned char>(b));
        EXPECT_EQ(0u, name.find("0x")) << name;
      }
    }
    for (const Known& k : known) {
      char text[] = {static_cast<char>(k.from)};
      CodePageLoss loss;
      map.Convert(text, 1, "name", &loss);
      const int expected = console == 437 ? k.to437 : k.to850;
      EXPECT_EQ(expected < 0 ? '?' : expected, static_cast<unsigned char>(text[0]))
          << console << " " << int{k.from};
      EXPECT_EQ(expected < 0 ? 1u : 0u, loss.count);
    }
    // Code page 850 holds every character of ISO 8859-1.
    if (console == 850) {
      EXPECT_EQ(96, carried[1]);
    }
    EXPECT_EQ(1, carried[0]) << console << ": of 0x80-0x9F, only the f hook is held";
    std::printf("1252 to %u: %d of 96 of 0xA0-0xFF, %d of 0x80-0x9F carried\n", console, carried[1],
                carried[0]);
  }
  CodePageMap map;
  ASSERT_NO_FATAL_FAILURE(Open(&map, "437:1252"));
  EXPECT_EQ("0xC0 (U+00C0)", map.CharacterName(0xC0));
  EXPECT_EQ("0x80 (U+20AC)", map.CharacterName(0x80));
}

// ASCII, control characters included, is written as it is; the first character
// lost is named with where it stands, an attribute by its name.
TEST(CodePageMapTest, AsciiStaysAndTheFirstLossIsNamed) {
  CodePageMap map;
  ASSERT_NO_FATAL_FAILURE(Open(&map, "850:1252"));
  std::string ascii;
  for (int c = 1; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
  std::string text = ascii;
  CodePageLoss loss;
  map.Convert(&text[0], text.size(), "name", &loss);
  EXPECT_EQ(ascii, text);
  EXPECT_EQ(0u, loss.count);

  std::string attribute = "ResourceDescription=\\\"\x80 and \x80, Caf\xE9\\\"";
  map.ConvertAttribute(&attribute[0], attribute.size(), &loss);
  EXPECT_EQ("ResourceDescription=\\\"? and ?, Caf\x82\\\"", attribute);
  EXPECT_EQ(2u, loss.count);
  EXPECT_EQ(0x80, loss.byte);
  EXPECT_EQ("ResourceDescription", loss.where);
  // A later loss counts, and the first stays named.
  EXPECT_EQ("R?", map.Converted("R\x80", "region", &loss));
  EXPECT_EQ(3u, loss.count);
  EXPECT_EQ("ResourceDescription", loss.where);
}

// Code pages that cannot be used are refused, each with a line that names it,
// before anything is converted.
TEST(CodePageMapTest, CodePagesThatCannotBeUsedAreRefusedByName) {
  struct Refused {
    const char* value;
    const char* message;
  };
  // clang-format off
  const Refused errors[] = {
#if defined(_WIN32)
    {"9999",       "Code page 9999 (-c) cannot be used: Windows does not know code page 9999\n"},
    {"437:9999",   "Code page 9999 (-c) cannot be used: Windows does not know code page 9999\n"},
#else
    {"9999",       "Code page 9999 (-c) cannot be used: iconv does not know CP9999\n"},
    {"437:9999",   "Code page 9999 (-c) cannot be used: iconv does not know CP9999\n"},
    {"OEM",        "Code pages 'OEM' (-c) are the machine's own only on Windows: give the "
                   "numbers, such as 850:1252\n"},
#endif
    {"932:1252",   "Code page 932 (-c) cannot be used: it is not a single-byte code page\n"},
    {"437:936",    "Code page 936 (-c) cannot be used: it is not a single-byte code page\n"},
  };
  const char* const malformed[] = {"", "abc", "437:", ":1252", "0", "65536", "437:1252:1",
                                   "-437", "437 ", "0x1B5"};
  // clang-format on
  for (const Refused& e : errors) {
    CodePageMap map;
    int rc = 0;
    const Captured said = Capture([&] { rc = map.Open(e.value); });
    EXPECT_EQ(-1, rc) << e.value;
    EXPECT_EQ(e.message, said.out) << e.value;
  }
#if defined(_WIN32)
  const char kOrMachine[] = ", or OEM";
#else
  const char kOrMachine[] = "";
#endif
  for (const char* value : malformed) {
    CodePageMap map;
    int rc = 0;
    const Captured said = Capture([&] { rc = map.Open(value); });
    EXPECT_EQ(-1, rc) << value;
    EXPECT_EQ(std::string("Code pages '") + value +
                  "' (-c) are not ConsoleCodePage[:ControlFileCodePage]: give numbers, such as "
                  "850 or 850:1252" +
                  kOrMachine + "\n",
              said.out)
        << value;
  }
}

// The console's code page alone: the control file's is the machine's Windows
// code page, or 1252; OEM takes the machine's own two on Windows.
TEST(CodePageMapTest, MissingControlFileCodePageAndTheMachinesOwn) {
  CodePageMap map;
  ASSERT_NO_FATAL_FAILURE(Open(&map, "852"));
  EXPECT_EQ(852u, map.console());
#if defined(_WIN32)
  EXPECT_EQ(GetACP(), map.control());
  ASSERT_NO_FATAL_FAILURE(Open(&map, "oem"));
  EXPECT_EQ(GetOEMCP(), map.console());
  EXPECT_EQ(GetACP(), map.control());
#else
  EXPECT_EQ(1252u, map.control());
#endif
}

}  // namespace
