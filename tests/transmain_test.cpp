// transmain, the library's entry point: what it refuses before a run begins.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "admsa_tran_escape.h"
#include "defshiftcore.h"
#include "support/capture.h"

TEST(TransmainTest, RefusesUnwritableRegionBeforeReadingAnything) {
  const std::string too_long(kMaxRegionLength + 1, 'R');
  const std::pair<std::string, std::string> regions[] = {
      {"REG\nION", "Region 'REG?ION' holds characters that cannot be written to a command file\n"},
      {"REG\r", "Region 'REG?' holds characters that cannot be written to a command file\n"},
      {"\tREG\x7f", "Region '?REG?' holds characters that cannot be written to a command file\n"},
      {too_long, "Region name of 201 characters is too long for a command file (at most 200)\n"},
  };
  for (const auto& r : regions) {
    char inf[] = "NOSUCH";
    const std::string out_path = TempPath("refused.cmd");
    std::vector<char> outf(out_path.begin(), out_path.end());
    outf.push_back('\0');
    std::vector<char> region(r.first.begin(), r.first.end());
    region.push_back('\0');
    AdmSAMigrationData md{inf,       outf.data(), nullptr, region.data(),
                          1 | 2 | 8, nullptr,     nullptr, nullptr};
    int rc = 0;
    const Captured captured = Capture([&] { rc = transmain(&md); });
    EXPECT_EQ(-1, rc) << r.second;
    EXPECT_EQ(r.second, captured.out);
    EXPECT_EQ("Error 29: No conversion performed.\n", captured.err);
    EXPECT_EQ("", ReadText(out_path)) << r.second;
  }
}

// The journal's name stands in every journaled command file: one that no
// command file can carry, or that would name the file itself where it runs, is
// refused before anything is read.
TEST(TransmainTest, RefusesUnwritableJournalNameBeforeReadingAnything) {
  const std::string out_path = TempPath("refused.cmd");
  std::string own = "elsewhere/" + out_path.substr(out_path.find_last_of("/\\") + 1);
  for (char& c : own) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& name :
       {std::string("dir/"), std::string("a\\\"q\".jnl"), std::string("x/j\tl"), own}) {
    char inf[] = "NOSUCH";
    char region[] = "REG";
    std::vector<char> outf(out_path.begin(), out_path.end());
    outf.push_back('\0');
    std::vector<char> jnlf(name.c_str(), name.c_str() + name.size() + 1);
    AdmSAMigrationData md{inf,     outf.data(), nullptr, region, 1 | 2 | 8 | 64,
                          nullptr, jnlf.data(), nullptr};
    int rc = 0;
    const Captured captured = Capture([&] { rc = transmain(&md); });
    EXPECT_EQ(-1, rc) << name;
    EXPECT_TRUE(Has(captured.out, "cannot be written to the command file")) << captured.out;
    EXPECT_EQ("Error 29: No conversion performed.\n", captured.err);
    EXPECT_EQ("", ReadText(out_path)) << name;
  }
}
