// The control-file store against the scripted fake File Manager: opening,
// reading, closing and the messages of a failed open.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "admsa_fm.h"
#include "qvbutsfs.h"
#include "support/capture.h"
#include "support/fake_qrlnt.h"

namespace {

std::vector<unsigned char> Bytes(const std::string& s) {
  return std::vector<unsigned char>(s.begin(), s.end());
}

std::string Text(const InRec& r) {
  return std::string(reinterpret_cast<const char*>(r.data()), static_cast<size_t>(r.len()));
}

class OmbrelFileTest : public testing::Test {
 protected:
  void SetUp() override {
    fake_qrlnt::Reset();
    fake_qrlnt::ServePCBs({{"PCB00001", "OTHER"}, {"PCB00002", "QVBCTFTB"}});
  }

  // Opens store, returning its result and the messages written.
  static int Open(OmbrelFile* store, std::string* err = nullptr) {
    int rc = 0;
    const Captured c = Capture([&] { rc = store->openinfile(); });
    if (err != nullptr) *err = c.err;
    return rc;
  }

  // Reads until the store has no more, returning the records as text.
  static std::vector<std::string> ReadAll(OmbrelFile* store) {
    std::vector<std::string> records;
    while (InRec* r = store->readrec()) {
      records.push_back(Text(*r));
      delete r;
      if (records.size() > 100) break;
    }
    return records;
  }
};

TEST_F(OmbrelFileTest, ReadsEveryRecordOfTheFoundPCBAndDisconnects) {
  fake_qrlnt::Script("GN", fake_qrlnt::Data(Bytes("P first")));
  fake_qrlnt::Script("GN", fake_qrlnt::Data(Bytes("")));  // an empty record is still one
  fake_qrlnt::Script("GN", fake_qrlnt::Data(Bytes("D third")));
  fake_qrlnt::Script("GN", fake_qrlnt::Status("EF", Bytes("junk")));

  OmbrelFile store("qvbctftb");
  std::string err;
  ASSERT_EQ(0, Open(&store, &err));
  EXPECT_EQ("", err);
  EXPECT_EQ((std::vector<std::string>{"IN", "GF", "OO", "IL", "BT", "QP", "RH", "QP", "RH"}),
            fake_qrlnt::Codes());

  EXPECT_EQ((std::vector<std::string>{"P first", "", "D third"}), ReadAll(&store));
  EXPECT_EQ(0, store.closefile());

  const auto codes = fake_qrlnt::Codes();
  const std::vector<std::string> tail(codes.begin() + 9, codes.end());
  EXPECT_EQ((std::vector<std::string>{"ID", "GN", "GN", "GN", "GN", "ET", "HL", "CO"}), tail);
  for (const FakeRequest& r : fake_qrlnt::Requests()) {
    if (r.code == "ID" || r.code == "GN") {
      EXPECT_EQ("PCB00002", r.pcb()) << r.code;
    }
    if (r.code == "GN") {
      EXPECT_EQ(1024, +r.block.qrlrdatal);
    }
  }
}

TEST_F(OmbrelFileTest, RecordsAreCopiesAndNeverLongerThanTheArea) {
  FakeReply big = fake_qrlnt::Data(std::vector<unsigned char>(1500, 'Z'));
  big.data_len = 5000;  // a server claiming more than the area holds
  fake_qrlnt::Script("GN", fake_qrlnt::Data(Bytes("P one")));
  fake_qrlnt::Script("GN", big);
  fake_qrlnt::Script("GN", fake_qrlnt::Status("EF"));
  OmbrelFile store("QVBCTFTB");
  ASSERT_EQ(0, Open(&store));
  std::unique_ptr<InRec> one(store.readrec());
  std::unique_ptr<InRec> two(store.readrec());
  ASSERT_TRUE(one && two);
  EXPECT_EQ("P one", Text(*one)) << "the next read must not change a record handed out";
  EXPECT_EQ(std::string(1024, 'Z'), Text(*two));
  EXPECT_EQ(nullptr, store.readrec());
}

TEST_F(OmbrelFileTest, FailingFirstReadGivesAnEmptySource) {
  fake_qrlnt::Default("GN", fake_qrlnt::Status("XX"));
  OmbrelFile store("QVBCTFTB");
  ASSERT_EQ(0, Open(&store));
  EXPECT_EQ(nullptr, store.readrec());
  EXPECT_EQ(nullptr, store.readrec());
  EXPECT_EQ(1u, fake_qrlnt::RequestsOf("ID").size());
  EXPECT_EQ(2u, fake_qrlnt::RequestsOf("GN").size());
}

TEST_F(OmbrelFileTest, FailedConnectReportsTheSignedStatus) {
  struct Case {
    const char* code;
    uint32_t result;
    const char* message;
  };
  const Case cases[] = {
      {"IN", QrlCode('M', 'I'),
       "Error 28: Failed to connect to Ombrel SFS server.  Status:19785\n"},
      {"GF", 0x0000C1C2u, "Error 28: Failed to connect to Ombrel SFS server.  Status:-15934\n"},
      {"OO", 0xFFFF0001u, "Error 28: Failed to connect to Ombrel SFS server.  Status:1\n"},
  };
  for (const Case& c : cases) {
    fake_qrlnt::Reset();
    FakeReply fail;
    fail.result = c.result;
    fake_qrlnt::Script(c.code, fail);
    OmbrelFile store("QVBCTFTB");
    std::string err;
    EXPECT_EQ(-1, Open(&store, &err)) << c.code;
    EXPECT_EQ(c.message, err) << c.code;
    EXPECT_EQ(c.code, fake_qrlnt::Codes().back()) << "nothing is sent after the failure";
    EXPECT_EQ(nullptr, store.readrec()) << c.code;
  }
}

TEST_F(OmbrelFileTest, NoPCBOfTheFileReportsMessageOne) {
  OmbrelFile store("PAYROLL");
  std::string err;
  EXPECT_EQ(0x10000000, Open(&store, &err));
  EXPECT_EQ(
      "Error 1: Failed to open file PAYROLL (0)\n"
      " .... Control files the File Manager offers: OTHER, QVBCTFTB\n",
      err);
  EXPECT_EQ("RH", fake_qrlnt::Codes().back()) << "no disconnect after a failed open";
  EXPECT_EQ(nullptr, store.readrec());
  EXPECT_EQ("RH", fake_qrlnt::Codes().back()) << "nothing to read after a failed open";

  OmbrelFile unnamed(nullptr);
  EXPECT_EQ(0x10000000, Open(&unnamed, &err));
  EXPECT_EQ(
      "Error 1: Failed to open file  (0)\n"
      " .... -i takes the control file's name of at most 8 characters, without folder or "
      "extension\n",
      err);
}

TEST_F(OmbrelFileTest, ReopeningConnectsAgainAndReadsFromTheStart) {
  fake_qrlnt::Script("GN", fake_qrlnt::Data(Bytes("P one")));
  fake_qrlnt::Default("GN", fake_qrlnt::Status("EF"));
  OmbrelFile store("QVBCTFTB");
  ASSERT_EQ(0, Open(&store));
  EXPECT_EQ(1u, ReadAll(&store).size());
  store.closefile();
  fake_qrlnt::Script("GN", fake_qrlnt::Data(Bytes("P two")));
  ASSERT_EQ(0, Open(&store));
  EXPECT_EQ((std::vector<std::string>{"P two"}), ReadAll(&store));
  EXPECT_EQ(2u, fake_qrlnt::RequestsOf("IN").size());
  EXPECT_EQ(2u, fake_qrlnt::RequestsOf("ID").size());
}

TEST_F(OmbrelFileTest, UnopenedOrClosedStoreReadsNothingAndSendsNothing) {
  OmbrelFile store("QVBCTFTB");
  EXPECT_EQ(nullptr, store.readrec());
  EXPECT_TRUE(fake_qrlnt::Requests().empty());
  ASSERT_EQ(0, Open(&store));
  EXPECT_EQ(0, store.closefile());
  const size_t sent = fake_qrlnt::Requests().size();
  EXPECT_EQ(nullptr, store.readrec());
  EXPECT_EQ(sent, fake_qrlnt::Requests().size());
  EXPECT_EQ(-1, store.openoutfile());
  EXPECT_STREQ("QVBCTFTB", store.fname());
}

// The line after message 1 names what the File Manager offered during the
// search and says what -i takes when the name given cannot be a control file's.
TEST_F(OmbrelFileTest, NotFoundHintNamesTheOfferedControlFiles) {
  const std::string kTakes =
      "-i takes the control file's name of at most 8 characters, without folder or extension";
  std::vector<fake_qrlnt::PCB> many;
  for (int i = 25; i >= 1; --i) {
    char name[16];
    std::snprintf(name, sizeof name, "PCB%05d", i);
    char dbd[16];
    std::snprintf(dbd, sizeof dbd, "FILE%02d", i);
    many.push_back({name, dbd});
  }
  struct Case {
    const char* name;
    std::vector<fake_qrlnt::PCB> pcbs;
    std::string hint;
  };
  const Case cases[] = {
      // Sorted, each once, however often and in whatever order the PCBs name it.
      {"PAYROLL",
       {{"PCB00001", "ORDERS"}, {"PCB00002", "CUSTMAST"}, {"PCB00003", "ORDERS"}},
       " .... Control files the File Manager offers: CUSTMAST, ORDERS"},
      {"PAYROLL", many,
       " .... Control files the File Manager offers: FILE01, FILE02, FILE03, FILE04, FILE05, "
       "FILE06, FILE07, FILE08, FILE09, FILE10, FILE11, FILE12, FILE13, FILE14, FILE15, FILE16, "
       "FILE17, FILE18, FILE19, FILE20 and 5 more"},
      {"PAYROLL", {}, " .... The File Manager offers no control files"},
      // Blank names are no control file; control bytes cannot reach the console.
      {"PAYROLL",
       {{"PCB00001", "        "}, {"PCB00002", std::string("AB\x07\xff", 4)}},
       " .... Control files the File Manager offers: AB??"},
      // Folders and extensions within 8 characters are still searched for.
      {"ord.ctf",
       {{"PCB00001", "ORDENTRY"}},
       " .... Control files the File Manager offers: ORDENTRY; " + kTakes},
      {"C:\\ORD",
       {{"PCB00001", "ORDENTRY"}},
       " .... Control files the File Manager offers: ORDENTRY; " + kTakes},
      {"a/b",
       {{"PCB00001", "ORDENTRY"}},
       " .... Control files the File Manager offers: ORDENTRY; " + kTakes},
      // Longer names are never searched for, so nothing was offered.
      {"ORDENTRY9", {{"PCB00001", "ORDENTRY"}}, " .... " + kTakes},
      {"ORDENTRY.ctf", {{"PCB00001", "ORDENTRY"}}, " .... " + kTakes},
  };
  for (const Case& c : cases) {
    fake_qrlnt::Reset();
    fake_qrlnt::ServePCBs(c.pcbs);
    OmbrelFile store(c.name);
    std::string err;
    EXPECT_EQ(0x10000000, Open(&store, &err)) << c.name;
    EXPECT_EQ(std::string("Error 1: Failed to open file ") + c.name + " (0)\n" + c.hint + "\n", err)
        << c.name;
  }
}

// Collecting the offered names sends exactly what the search sends without it.
TEST_F(OmbrelFileTest, CollectingOfferedNamesSendsTheSameRequests) {
  const std::vector<fake_qrlnt::PCB> pcbs = {
      {"PCB00001", "ORDERS"}, {"PCB00002", "CUSTMAST", 0}, {"PCB00003", "PAYROLL"}};
  for (const char* name : {"PAYROLL", "NOSUCH", "ORDENTRY9"}) {
    std::vector<FakeRequest> plain;
    std::vector<FakeRequest> collecting;
    char pcb_plain[9];
    char pcb_collecting[9];
    fake_qrlnt::Reset();
    fake_qrlnt::ServePCBs(pcbs);
    const uint32_t found_plain = PCBFromDBD(name, 1, pcb_plain, SfsName);
    plain = fake_qrlnt::Requests();
    fake_qrlnt::Reset();
    fake_qrlnt::ServePCBs(pcbs);
    std::set<std::string> offered;
    const uint32_t found_collecting = PCBFromDBD(name, 1, pcb_collecting, SfsName, &offered);
    collecting = fake_qrlnt::Requests();

    EXPECT_EQ(found_plain, found_collecting) << name;
    EXPECT_STREQ(pcb_plain, pcb_collecting) << name;
    ASSERT_EQ(plain.size(), collecting.size()) << name;
    for (size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(plain[i].code, collecting[i].code) << name << " " << i;
      EXPECT_EQ(plain[i].server, collecting[i].server) << name << " " << i;
      EXPECT_EQ(plain[i].parm, collecting[i].parm) << name << " " << i;
      EXPECT_EQ(plain[i].data, collecting[i].data) << name << " " << i;
      EXPECT_EQ(plain[i].block.qrlrdatal, collecting[i].block.qrlrdatal) << name << " " << i;
    }
  }
  // Found on the third PCB: the two described before it were seen.
  std::set<std::string> offered;
  char pcb[9];
  fake_qrlnt::Reset();
  fake_qrlnt::ServePCBs(pcbs);
  EXPECT_EQ(1u, PCBFromDBD("PAYROLL", 1, pcb, SfsName, &offered));
  EXPECT_EQ((std::set<std::string>{"CUSTMAST", "ORDERS", "PAYROLL"}), offered);
}

}  // namespace
