// The stand-in File Manager serving control-file images from a folder: through
// the control-file store end to end, and request by request where the store
// never goes (order, areas, capacities).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "admsa_fm.h"
#include "qvbutsfs.h"
#include "support/capture.h"
#include "support/run_program.h"

namespace {

constexpr uint32_t kNoPCB = 0x10000000;

std::string ImageBytes(const std::vector<std::string>& records) {
  std::string image = "CTFIMG01";
  for (const std::string& r : records) {
    image.push_back(static_cast<char>(r.size() & 0xFF));
    image.push_back(static_cast<char>(r.size() >> 8));
    image += r;
  }
  return image;
}

uint16_t Code(const char* two) { return QrlCode(two[0], two[1]); }

class ImageServerTest : public testing::Test {
 protected:
  void SetUp() override { SetVariable("QRLNT_SFSDIR", dir_.path()); }

  std::string Path(const std::string& file) const { return dir_.Path(file); }
  void Put(const std::string& file, const std::string& bytes) const {
    std::ofstream(Path(file), std::ios::binary) << bytes;
  }

  struct Read {
    int rc = 0;
    std::vector<std::string> records;
    std::string err;
  };
  // Opens the store of name, reads it to the end and closes it.
  static Read ReadThrough(const char* name) {
    Read result;
    result.err = Capture([&] {
                   OmbrelFile store(name);
                   result.rc = store.openinfile();
                   if (result.rc != 0) return;
                   while (InRec* r = store.readrec()) {
                     result.records.emplace_back(reinterpret_cast<const char*>(r->data()),
                                                 static_cast<size_t>(r->len()));
                     delete r;
                   }
                   EXPECT_EQ(0, store.closefile());
                 }).err;
    return result;
  }

  ScratchFolder dir_;
};

TEST_F(ImageServerTest, ServesTheRecordsOfTheNamedImageInOrder) {
  const std::vector<std::string> records = {"P one", std::string(1024, 'Q'), "",
                                            std::string("D\0x", 3)};
  Put("OTHER.ctf", ImageBytes({"X other"}));
  Put("qvbctftb.CTF", ImageBytes(records));
  const Read read = ReadThrough("QvbCtfTb");
  EXPECT_EQ(0, read.rc);
  EXPECT_EQ(records, read.records);
  EXPECT_EQ("", read.err);
}

TEST_F(ImageServerTest, FilesThatAreNotImagesAreNotServed) {
  Put("LONGNAME9.ctf", ImageBytes({"P"}));
  Put("notes.txt", ImageBytes({"P"}));
  Put("A B.ctf", ImageBytes({"P"}));
  ASSERT_TRUE(std::filesystem::create_directory(Path("DIR.ctf")));
  for (const char* name : {"LONGNAME9", "LONGNAME", "NOTES", "A", "DIR"}) {
    const Read read = ReadThrough(name);
    EXPECT_EQ(kNoPCB, static_cast<uint32_t>(read.rc)) << name;
    // No image is served, and a name of nine characters is never looked for.
    const std::string hint = std::strlen(name) > 8
                                 ? " .... -i takes the control file's name of at most 8 "
                                   "characters, without folder or extension\n"
                                 : " .... The File Manager offers no control files\n";
    EXPECT_EQ(std::string("Error 1: Failed to open file ") + name + " (0)\n" + hint, read.err)
        << name;
  }
}

TEST_F(ImageServerTest, DamagedImageFailsTheOpenWithTheReason) {
  struct Case {
    const char* bytes_of;
    std::string bytes;
    std::string reason;
  };
  const std::string good = ImageBytes({"P one"});
  const Case cases[] = {
      {"bad magic", "CTFIMG02" + good.substr(8), "not a control-file image"},
      {"short magic", "CTF", "not a control-file image"},
      {"cut length", good + "\x05", "record 2 at byte 15: the length is cut off"},
      {"cut record", good + std::string("\x09\x00PQR", 5),
       "record 2 at byte 15: 9 bytes announced, 3 present"},
      {"over 1024", good + std::string("\x01\x04", 2) + std::string(1025, 'P'),
       "record 2 at byte 15: length 1025 is over 1024"},
  };
  for (const Case& c : cases) {
    Put("BROKEN.ctf", c.bytes);
    const Read read = ReadThrough("BROKEN");
    EXPECT_EQ(kNoPCB, static_cast<uint32_t>(read.rc)) << c.bytes_of;
    EXPECT_NE(std::string::npos, read.err.find("qrlnt: " + Path("BROKEN.ctf") + ": " + c.reason))
        << c.bytes_of << ": " << read.err;
    EXPECT_NE(std::string::npos, read.err.find("Error 1: Failed to open file BROKEN (0)"))
        << c.bytes_of;
  }
  Put("EMPTY.ctf", ImageBytes({}));
  EXPECT_EQ(0, ReadThrough("EMPTY").rc);
  EXPECT_TRUE(ReadThrough("EMPTY").records.empty());
}

TEST_F(ImageServerTest, UnreadableFolderFailsTheConnect) {
  SetVariable("QRLNT_SFSDIR", Path("missing"));
  const Read read = ReadThrough("CTL");
  EXPECT_EQ(-1, read.rc);
  EXPECT_NE(std::string::npos,
            read.err.find("Error 28: Failed to connect to Ombrel SFS server.  Status:17490"))
      << read.err;  // "DR"
}

TEST_F(ImageServerTest, LargeImageIsStreamedAndAnImageCutWhileReadingEndsTheReading) {
  std::vector<std::string> records;
  for (int i = 0; i < 200000; ++i)
    records.push_back("P" + std::to_string(i) + std::string(70, ' '));
  Put("BIG.ctf", ImageBytes(records));
  const Read read = ReadThrough("BIG");
  ASSERT_EQ(records.size(), read.records.size());
  EXPECT_EQ(records.back(), read.records.back());

  // Cut behind the reader's back, far beyond what it has buffered.
  OmbrelFile store("BIG");
  const Captured c = Capture([&] {
    ASSERT_EQ(0, store.openinfile());
    delete store.readrec();
    std::error_code cut;
    std::filesystem::resize_file(Path("BIG.ctf"), 1000001, cut);
    ASSERT_FALSE(cut) << cut.message();
    size_t more = 0;
    while (InRec* r = store.readrec()) {
      ++more;
      delete r;
    }
    EXPECT_LT(more, records.size() / 2);
    store.closefile();
  });
  EXPECT_NE(std::string::npos, c.err.find("qrlnt: " + Path("BIG.ctf") + ": record ")) << c.err;
}

// Request by request, as another client of the stand-in might send them.
class ImageProtocolTest : public ImageServerTest {
 protected:
  void SetUp() override {
    ImageServerTest::SetUp();
    Put("AAA.ctf", ImageBytes({"P first", std::string(20, 'R')}));
    Put("BBB.ctf", ImageBytes({}));
    Put("CCC.ctf", ImageBytes({}));
    ASSERT_EQ(0, ConnectSFS(SfsName));
  }
  void TearDown() override { DisConnectSFS(SfsName); }
  static uint16_t Send(const char* code, const char* pcb, uint16_t* len = nullptr,
                       void* area = nullptr, uint16_t qlen = 0, void* qdata = nullptr,
                       const char* server = SfsName) {
    return static_cast<uint16_t>(MakeSFSReq(code, qlen, qdata, len, area, pcb, server));
  }
};

TEST_F(ImageProtocolTest, NamesDescriptionsAndRecords) {
  char names[40];
  std::memset(names, '#', sizeof names);
  uint16_t len = 8;
  EXPECT_EQ(Code("MI"), Send("QP", "", &len, names));
  EXPECT_EQ(8, len);
  char after[8];
  std::memcpy(after, names, 8);
  len = 20;  // room for two names and a half
  EXPECT_EQ(0, Send("QP", "", &len, names, 8, after));
  EXPECT_EQ(16, len);
  EXPECT_EQ("PCB00002PCB00003####", std::string(names, 20));

  _RHBuffer desc;
  std::memset(&desc, 0, sizeof desc);
  len = sizeof desc;
  EXPECT_EQ(0, Send("RH", "PCB00001", &len, &desc));
  EXPECT_EQ(sizeof desc, len);
  EXPECT_EQ("AAA     ", std::string(desc.DBDName, 8));
  EXPECT_EQ(1, desc.PCBInfo[0].UsrData & 1);
  unsigned char part[50];
  std::memset(part, '#', sizeof part);
  len = 40;
  EXPECT_EQ(0, Send("RH", "PCB00001", &len, part));
  EXPECT_EQ(40, len);
  EXPECT_EQ('#', part[40]);

  unsigned char record[1024];
  std::memset(record, '#', sizeof record);
  len = sizeof record;
  EXPECT_EQ(Code("SQ"), Send("GN", "PCB00001", &len, record)) << "no \"ID\" yet";
  EXPECT_EQ(0, Send("ID", "PCB00001"));
  len = sizeof record;
  EXPECT_EQ(0, Send("GN", nullptr, &len, record));
  EXPECT_EQ("P first", std::string(reinterpret_cast<char*>(record), len));
  len = 10;
  EXPECT_EQ(Code("SH"), Send("GN", nullptr, &len, record)) << "record longer than the area";
  EXPECT_EQ(0, len);
  EXPECT_EQ('#', record[10]);
  len = sizeof record;
  EXPECT_EQ(0, Send("GN", nullptr, &len, record)) << "the record is not lost";
  EXPECT_EQ(std::string(20, 'R'), std::string(reinterpret_cast<char*>(record), len));
  len = sizeof record;
  EXPECT_EQ(Code("EF"), Send("GN", nullptr, &len, record));
  EXPECT_EQ(Code("NP"), Send("GN", "NOSUCH", &len, record));
}

TEST_F(ImageProtocolTest, RequestsOutOfOrderOrMisaddressedAreRefused) {
  EXPECT_EQ(Code("SQ"), Send("GF", ""));
  EXPECT_EQ(Code("FC"), Send("ZZ", ""));
  EXPECT_EQ(Code("SN"), Send("ET", nullptr, nullptr, nullptr, 0, nullptr, "OTHER"));
  uint16_t parm = 0;
  uint16_t data = 0;
  EXPECT_EQ(Code("BA"), static_cast<uint16_t>(MakeReq("ET", 0, nullptr, 0, nullptr, parm, nullptr,
                                                      data, nullptr, SfsName)))
      << "no parameter list";
  DisConnectSFS(SfsName);
  EXPECT_EQ(Code("SQ"), Send("QP", ""));
  EXPECT_EQ(Code("SQ"), Send("CO", ""));
  ASSERT_EQ(0, ConnectSFS(SfsName));
}

#if QRLNT_AREA_TOKENS
TEST_F(ImageProtocolTest, AreaTokensNameAreasOnlyUntilTheNextRequest) {
  unsigned char a[8];
  unsigned char b[8];
  EXPECT_EQ(0u, QRLAREA(nullptr));
  const uint32_t ta = QRLAREA(a);
  EXPECT_NE(0u, ta);
  EXPECT_EQ(ta, QRLAREA(a));
  EXPECT_NE(ta, QRLAREA(b));
  unsigned char many[20];
  for (unsigned char& m : many) QRLAREA(&m);  // more areas than any request needs

  QRL_CPRB block;
  std::memcpy(&block, &CPRB, sizeof block);
  block.qrlfunct = Code("ET");
  block.qrlqparml = sizeof PARMLIST;
  block.qrlqparmad = QRLAREA(&PARMLIST);  // may be 0: the table is full
  block.qrlrparml = 0;
  block.qrlrparmad = 0;
  block.qrlrdatal = sizeof a;
  block.qrlrdataad = ta;
  EXPECT_EQ(Code("BA"), QRSEND(&block, 0) & 0xFFFF);
  block.qrlqparmad = QRLAREA(&PARMLIST);
  block.qrlrdataad = ta;  // named an area before the last request only
  EXPECT_EQ(Code("BA"), QRSEND(&block, 0) & 0xFFFF);
  EXPECT_EQ(0, +block.qrlrdatal);
  block.qrlqparmad = QRLAREA(&PARMLIST);
  block.qrlrdataad = QRLAREA(a);
  EXPECT_EQ(0u, QRSEND(&block, 0) & 0xFFFF);
}
#else
// Where addresses are 32 bits the address fields hold the areas' addresses.
TEST_F(ImageProtocolTest, AddressFieldsHoldTheAreasThemselves) {
  unsigned char a[8];
  QRL_CPRB block;
  std::memcpy(&block, &CPRB, sizeof block);
  block.qrlfunct = Code("ET");
  block.qrlqparml = sizeof PARMLIST;
  block.qrlqparmad = 0;  // a parameter of 28 bytes without an area
  block.qrlrparml = 0;
  block.qrlrparmad = 0;
  block.qrlrdatal = sizeof a;
  block.qrlrdataad = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(a));
  EXPECT_EQ(Code("BA"), QRSEND(&block, 0) & 0xFFFF);
  EXPECT_EQ(0, +block.qrlrdatal);
  block.qrlqparmad = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&PARMLIST));
  block.qrlrdatal = sizeof a;
  EXPECT_EQ(0u, QRSEND(&block, 0) & 0xFFFF);
}
#endif

}  // namespace
