// ctfimage end to end: descriptions built into images, images dumped back, and
// the descriptions it refuses.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/capture.h"
#include "support/run_program.h"

namespace {

// Runs ctfimage in a folder of its own, where the descriptions and images are.
class CtfimageTest : public testing::Test {
 protected:
  ProgramRun Ctfimage(const std::vector<std::string>& args) const {
    return dir_.Run(CTFIMAGE_BIN, args);
  }
  // Writes text to the file name of the folder; returns the name.
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_.Path(name), std::ios::binary) << text;
    return name;
  }
  std::string Read(const std::string& name) const { return ReadFile(dir_.Path(name)); }
  bool Exists(const std::string& name) const { return std::ifstream(dir_.Path(name)).good(); }

  ScratchFolder dir_;
};

// Every kind of line: all nine layouts, numbers at their limits, quoting and
// escapes, short and long records, stray bytes, overlapping fields and raw records.
const char kDescription[] =
    "# control file of the test region\n"
    "\n"
    "D 1015=CSMT 700=E 701=\"Message \\\"queue\\\"\" 703=9999 711=65535 709=\"#not a comment\"\n"
    "F 1007=FILEA 300=\"C:\\\\DATA\\\\FILEA.DAT\" 308=32767 309=4088 306=Accounts 307=Y\r\n"
    "P 1003=TRN1 1002=GRPA 100=PROG1 106=\"Order entry\" 108=5 109=10  # trailing comment\n"
    "O 1017=PROG1 803=P 800=\" \" 804=\"Program \\x01\\xFF\"\n"
    "Z 1001=SIT1 1=4294967295 21=DDMMYY 42=\"*Region one\" 44=1\n"
    "Z 41=7\n"
    "S 1005=USER1 200=USER1 204=\"\\x01\\x00\\x80\" 205=\"\\xFF\"\n"
    "% 1011=CON1 500=T 509=NODE1 514=37 517=4000000000\n"
    "T 1009=T001 401=V 403=\"PRN\\x00\" 514=65534 510=REMOTE1 423=N\n"
    "Q 1013=QUEUE1 601=Y 604=\"temp storage\"\n"
    "P len=30 1003=TRN2\n"
    "P len=200 1003=TRN3 @150=DEADBEEF\n"
    "P 1003=TRN4 @5=00FF @61=7E\n"
    "P len=1\n"
    "raw 58 4B4244 \"setup #1\"\n"
    "raw \"E\"\n"
    "raw\n";

TEST_F(CtfimageTest, DumpAndBuildRoundTrip) {
  ASSERT_EQ(0, Ctfimage({"build", Write("rt.desc", kDescription), "rt.ctf"}).status);
  const ProgramRun dump = Ctfimage({"dump", "rt.ctf"});
  ASSERT_EQ(0, dump.status) << dump.err;
  EXPECT_EQ("", dump.err);

  ASSERT_EQ(0, Ctfimage({"build", Write("rt2.desc", dump.out), "rt2.ctf"}).status);
  EXPECT_EQ(Read("rt.ctf"), Read("rt2.ctf"));
  EXPECT_EQ(dump.out, Ctfimage({"dump", "rt2.ctf"}).out);

  // Fields the dump leaves out are those at their blank or zero start.
  EXPECT_NE(std::string::npos,
            dump.out.find("P 1003=TRN1 1002=GRPA 100=PROG1 106=\"Order entry\" 108=5 109=10\n"))
      << dump.out;
  EXPECT_NE(std::string::npos, dump.out.find("\nP len=1\n")) << dump.out;
  EXPECT_NE(std::string::npos, dump.out.find("\nraw\n")) << dump.out;
}

TEST_F(CtfimageTest, BuildsRecordsOfTheRawLengthOfTheirLayout) {
  ASSERT_EQ(0,
            Ctfimage({"build", Write("p.desc", "P 1003=TRN1 108=258\nraw 45\n"), "p.ctf"}).status);
  const std::string bytes = Read("p.ctf");
  ASSERT_EQ(8u + 2 + 80 + 2 + 1, bytes.size());
  EXPECT_EQ("CTFIMG01", bytes.substr(0, 8));
  EXPECT_EQ(std::string("\x50\x00", 2), bytes.substr(8, 2));  // 80, little-endian
  const std::string p = bytes.substr(10, 80);
  EXPECT_EQ("PTRN1", p.substr(0, 5));
  EXPECT_EQ(std::string(8, ' '), p.substr(5, 8)) << "bytes of no field are blank";
  EXPECT_EQ(std::string("\x02\x01", 2), p.substr(76, 2));  // 108 = 258
  EXPECT_EQ(std::string(2, '\0'), p.substr(78, 2)) << "a number not given is 0";
  EXPECT_EQ(std::string("\x01\x00\x45", 3), bytes.substr(90));
}

TEST_F(CtfimageTest, RefusesBadDescriptionsNamingTheLine) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case errors[] = {
      {"P 999=X", "'999' is not a field of the P record layout"},
      {"P 200=X", "'200' is not a field of the P record layout"},
      {"P 108=abc", "bad number 'abc' for field 108 (0 to 65535)"},
      {"P 108=65536", "bad number '65536' for field 108 (0 to 65535)"},
      {"P 108=-1", "bad number '-1'"},
      {"A 1003=X", "unknown record key 'A'"},
      {"p 1003=X", "unknown record key 'p'"},
      {"P 100=PROGRAM12", "value of field 100 is 9 bytes long; the field holds 8"},
      {"P 100=\"AB", "unterminated quoted text"},
      {"P 100=\"A\\qB\"", "unknown escape '\\q'"},
      {"P 100=\"A\"B", "text after the closing quote"},
      {"P 100=A\"B\"", "a quote may only open a value"},
      {"P 100=X 100=Y", "field 100 given twice"},
      {"P 100", "expected FIELD=VALUE, len=N or @OFFSET=HEX, not '100'"},
      {"P len=0", "bad record length '0'"},
      {"P len=1025", "bad record length '1025'"},
      {"P len=80 100=X len=80", "len given twice"},
      {"P =X", "expected FIELD=VALUE, len=N or @OFFSET=HEX, not '=X'"},
      {"P len=20 100=X", "field 100 (raw bytes 21 to 28) lies beyond the record length 20"},
      {"P @0=41", "bad offset in '@0=41'"},
      {"P @x=41", "bad offset in '@x=41'"},
      {"P @5=", "bad hex bytes in '@5='"},
      {"P @79=4142", "@79: 2 bytes run past the record length 80"},
      {"P @5=4", "bad hex bytes in '@5=4'"},
      {"raw 4", "bad hex bytes '4'"},
  };
  for (const Case& c : errors) {
    const std::string desc =
        Write("bad.desc", std::string("# one good line first\nQ\n") + c.line + "\n");
    const ProgramRun run = Ctfimage({"build", desc, "bad.ctf"});
    EXPECT_EQ(1, run.status) << c.line;
    EXPECT_EQ(0u, run.err.find(desc + ":3: ")) << c.line << ": " << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.line << ": " << run.err;
    EXPECT_FALSE(Exists("bad.ctf")) << c.line;
    EXPECT_FALSE(Exists("bad.ctf.tmp")) << c.line;
  }
  std::string huge = "raw";
  for (int i = 0; i < 1025; ++i) huge += " 00";
  const ProgramRun run = Ctfimage({"build", Write("huge.desc", huge), "h.ctf"});
  EXPECT_NE(std::string::npos, run.err.find(":1: record of 1025 bytes; at most 1024")) << run.err;
}

TEST_F(CtfimageTest, RefusesDamagedImagesAndBadUse) {
  const std::string image = Write("dmg.ctf", std::string("CTFIMG01\x05\x00PQ", 12));
  ProgramRun run = Ctfimage({"dump", image});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("", run.out) << "nothing of a damaged image is dumped";
  EXPECT_EQ("ctfimage: " + image + ": record 1 at byte 8: 5 bytes announced, 2 present\n", run.err);

  run = Ctfimage({"dump", "none.ctf"});
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.err.find("No such file or directory")) << run.err;

  run = Ctfimage({"frobnicate"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(0u, run.err.find("usage: ctfimage build DESC IMAGE"));
}

TEST_F(CtfimageTest, HelpAndFieldsGoToStandardOutput) {
  for (const char* help : {"-h", "--help"}) {
    const ProgramRun run = Ctfimage({help});
    EXPECT_EQ(0, run.status) << help;
    EXPECT_EQ(0u, run.out.find("usage: ctfimage build DESC IMAGE")) << help;
    EXPECT_NE(std::string::npos, run.out.find("ctfimage fields [KEY]")) << help;
    EXPECT_EQ("", run.err) << help;
  }

  ProgramRun run = Ctfimage({"fields", "T"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(0u, run.out.find("\nT  Terminal Contol Table\n")) << run.out;
  const size_t netname = run.out.find("wd NetName");
  ASSERT_NE(std::string::npos, netname) << run.out;
  const size_t line = run.out.rfind('\n', netname) + 1;
  EXPECT_EQ("     400      65       8  text", run.out.substr(line, 30));

  run = Ctfimage({"fields"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(0u, run.out.find("Classes: wd Terminal Definitions, ")) << run.out;
  for (const char key : std::string("DFPOZS%TQ")) {
    EXPECT_EQ(1, Occurrences(run.out, std::string("\n\n") + key + "  ")) << key;
  }

  for (const char* bad : {"X", "TT", ""}) {
    run = Ctfimage({"fields", bad});
    EXPECT_EQ(1, run.status) << bad;
    EXPECT_EQ("", run.out) << bad;
    EXPECT_EQ(std::string("ctfimage: unknown record key '") + bad + "' (keys DFPOZS%TQ)\n",
              run.err);
  }
}

// An image the stand-in would not serve is written all the same, with a warning.
TEST_F(CtfimageTest, ImagesThatAreNotServedAreWrittenWithAWarning) {
  const std::string desc = Write("p.desc", "P 1003=TRN1\n");
  const std::string warning = " is not served as a control file";
  struct Case {
    const char* image;
    bool served;
  };
  const Case cases[] = {
      {"PAYROLL.ctf", true}, {"payroll.CTF", true},   {"A.ctf", true},
      {"PAYROLL", false},    {"PAYROLL9.ctf", true},  {"PAYROLL10.ctf", false},
      {".ctf", false},       {"PAY ROLL.ctf", false}, {"PAYROLL.ctf.bak", false},
  };
  for (const Case& c : cases) {
    const ProgramRun run = Ctfimage({"build", desc, c.image});
    EXPECT_EQ(0, run.status) << c.image;
    EXPECT_TRUE(Exists(c.image)) << c.image;
    if (c.served) {
      EXPECT_EQ("", run.err) << c.image;
    } else {
      EXPECT_EQ(std::string("ctfimage: warning: ") + c.image + warning +
                    ": the File Manager serves only files NAME.ctf, NAME 1 to 8 characters "
                    "without blanks, read with -i NAME\n",
                run.err);
    }
  }
  // The folder does not count, only the file's own name.
  ProgramRun run = Ctfimage({"build", desc, dir_.Path("ORDERS.ctf")});
  EXPECT_EQ("", run.err);
  // A refused description writes nothing, so there is nothing to warn about.
  run = Ctfimage({"build", Write("bad.desc", "P 999=X\n"), "PAYROLL"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(std::string::npos, run.err.find("warning")) << run.err;
}

}  // namespace
