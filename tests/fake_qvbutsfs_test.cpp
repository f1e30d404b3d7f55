// Requests to the File Manager as the server sees them, the connect sequence and
// the PCB search, against the scripted fake File Manager.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qvbutsfs.h"
#include "support/fake_qrlnt.h"

namespace {

using fake_qrlnt::PCB;

std::vector<unsigned char> Raw(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return std::vector<unsigned char>(b, b + n);
}

std::string Server(const FakeRequest& r) { return r.server; }

class RequestTest : public testing::Test {
 protected:
  void SetUp() override { fake_qrlnt::Reset(); }

  static int16_t Send(const char* code, const char* pcb, uint16_t* len = nullptr,
                      void* area = nullptr) {
    return MakeSFSReq(code, 0, nullptr, len, area, pcb, SfsName);
  }
};

// Runs first in its process: nothing has touched the block yet.
TEST_F(RequestTest, BlockAndParameterListAreZeroUntilTheFirstRequest) {
  if (!fake_qrlnt::Requests().empty() || CPRB.qrlfunct != 0) GTEST_SKIP();
  EXPECT_EQ(std::vector<unsigned char>(sizeof CPRB, 0), Raw(&CPRB, sizeof CPRB));
  EXPECT_EQ(std::vector<unsigned char>(sizeof PARMLIST, 0), Raw(&PARMLIST, sizeof PARMLIST));
}

TEST_F(RequestTest, ConnectRequestCarriesNoParameterListAndASixByteReplyArea) {
  ASSERT_EQ(0, ConnectSFS(SfsName));
  const FakeRequest& in = fake_qrlnt::Requests().at(0);
  const QRL_CPRB& b = in.block;
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(&b);
  EXPECT_EQ("IN", in.code);
  EXPECT_EQ(0x494E, +b.qrlfunct);
  EXPECT_EQ(0x4E, raw[10]);  // little-endian: second character first
  EXPECT_EQ(0x49, raw[11]);
  EXPECT_EQ(0xFFFF, +b.qrltimeout);
  EXPECT_EQ(0, +b.qrlqparml);
  EXPECT_EQ(0u, +b.qrlqparmad);
  EXPECT_EQ(0, +b.qrlqdatal);
  EXPECT_EQ(0u, +b.qrlqdataad);
  EXPECT_EQ(6, +b.qrlrparml);
  EXPECT_NE(nullptr, in.reply_parm_area);
  EXPECT_EQ(0, +b.qrlrdatal);
  EXPECT_EQ(0u, +b.qrlrdataad);
  EXPECT_EQ(8, +b.qrlservnamlen);
  EXPECT_EQ("SPV     ", Server(in));
  EXPECT_TRUE(in.tokens_ok);
}

TEST_F(RequestTest, RecordRequestUsesTheParameterListBothWays) {
  unsigned char area[1024];
  uint16_t len = sizeof area;
  ASSERT_EQ(0, Send("GN", "PCB00001", &len, area));
  const FakeRequest& gn = fake_qrlnt::Requests().at(0);
  const QRL_CPRB& b = gn.block;
  EXPECT_EQ(28, +b.qrlqparml);
  EXPECT_EQ(28, +b.qrlrparml);
  EXPECT_EQ(static_cast<void*>(&PARMLIST), gn.parm_area);
  EXPECT_EQ(static_cast<void*>(&PARMLIST), gn.reply_parm_area);
  EXPECT_EQ(0, +b.qrlqdatal);
  EXPECT_EQ(0u, +b.qrlqdataad);
  EXPECT_EQ(1024, +b.qrlrdatal);
  EXPECT_EQ(static_cast<void*>(area), gn.reply_data_area);
  EXPECT_EQ("SHFILEQV", Server(gn));
  EXPECT_EQ("PCB00001", gn.pcb());
  EXPECT_TRUE(gn.tokens_ok);
}

TEST_F(RequestTest, NamesAreCutToEightAndFilledWithBlanks) {
  uint16_t parm = 0;
  uint16_t data = 0;
  MakeReq("XY", 0, nullptr, 0, nullptr, parm, nullptr, data, nullptr, "ABCDEFGHIJ");
  MakeReq("XY", 0, nullptr, 0, nullptr, parm, nullptr, data, nullptr, nullptr);
  Send("AA", "PCB1");
  Send("BB", nullptr);      // the name of the previous request goes again
  Send("CC", "");           // blanks
  Send("DD", "PCB123456");  // nine characters
  Send("EE", "pcb 1");      // case and blanks are the caller's
  const auto& r = fake_qrlnt::Requests();
  ASSERT_EQ(7u, r.size());
  EXPECT_EQ("ABCDEFGH", Server(r[0]));
  EXPECT_EQ("        ", Server(r[1]));
  EXPECT_EQ("PCB1    ", r[2].pcb());
  EXPECT_EQ("PCB1    ", r[3].pcb());
  EXPECT_EQ("        ", r[4].pcb());
  EXPECT_EQ("PCB12345", r[5].pcb());
  EXPECT_EQ("pcb 1   ", r[6].pcb());
}

TEST_F(RequestTest, StatusIsTheLowHalfOfTheResultAsASignedNumber) {
  FakeReply high_only;
  high_only.result = 0xABCD0000u;
  fake_qrlnt::Script("AA", high_only);
  FakeReply negative;
  negative.result = 0x1234C1C2u;
  fake_qrlnt::Script("BB", negative);
  fake_qrlnt::Script("CC", fake_qrlnt::Status("MI"));
  EXPECT_EQ(0, Send("AA", nullptr));
  EXPECT_EQ(static_cast<int16_t>(0xC1C2), Send("BB", nullptr));
  EXPECT_EQ(19785, Send("CC", nullptr));
}

TEST_F(RequestTest, ReplyLengthsComeBackWhateverTheStatus) {
  FakeReply reply = fake_qrlnt::Status("EF", {1, 2, 3});
  reply.parm = std::vector<unsigned char>(40, 0x11);  // more than the parameter list holds
  fake_qrlnt::Script("XY", reply);
  unsigned char parm[10];
  unsigned char data[8] = {};
  uint16_t parm_len = sizeof parm;
  uint16_t data_len = sizeof data;
  EXPECT_EQ(QrlCode('E', 'F'), static_cast<uint16_t>(MakeReq("XY", 0, nullptr, 0, nullptr, parm_len,
                                                             parm, data_len, data, "SPV")));
  EXPECT_EQ(10, parm_len);
  EXPECT_EQ(3, data_len);
  EXPECT_EQ(3, data[2]);
}

TEST_F(RequestTest, ReplyWithoutAnAreaLandsInTheScratchArea) {
  fake_qrlnt::Script("ID", fake_qrlnt::Data(std::vector<unsigned char>(64, 0x7F)));
  EXPECT_EQ(0, Send("ID", "PCB00001"));
  const FakeRequest& id = fake_qrlnt::Requests().at(0);
  EXPECT_EQ(20, +id.block.qrlrdatal);
  EXPECT_NE(nullptr, id.reply_data_area);
}

TEST_F(RequestTest, WhatTheServerLeavesGoesOutAgain) {
  FakeReply reply;
  SFS_PARMLIST_s back;
  std::memcpy(&back, &PARMLIST, sizeof back);
  std::memcpy(back.PCBName, "SERVERPC", 8);
  back.SessionId = 0x1234;
  reply.parm = Raw(&back, sizeof back);
  reply.touch = [](QRL_CPRB* b) {
    b->qrlservrc = 0xDEADBEEF;
    b->qrlretcode = 7;
    b->qrlorigin_lanid[0] = 'L';
  };
  fake_qrlnt::Script("OO", reply);
  Send("OO", "");
  Send("IL", nullptr);
  const FakeRequest& il = fake_qrlnt::Requests().at(1);
  EXPECT_EQ(0xDEADBEEF, +il.block.qrlservrc);
  EXPECT_EQ(7u, +il.block.qrlretcode);
  EXPECT_EQ('L', il.block.qrlorigin_lanid[0]);
  EXPECT_EQ("SERVERPC", il.pcb());
  SFS_PARMLIST_s sent;
  std::memcpy(&sent, il.parm.data(), sizeof sent);
  EXPECT_EQ(0x1234, +sent.SessionId);
}

class ConnectTest : public RequestTest {};

TEST_F(ConnectTest, SendsTheFiveRequestsInOrder) {
  // The server names its own PCB in the parameter list of "OO"; "IL" and "BT"
  // send it back unchanged.
  SFS_PARMLIST_s back{};
  std::memcpy(back.PCBName, "SESSION1", 8);
  FakeReply oo;
  oo.parm = Raw(&back, sizeof back);
  fake_qrlnt::Script("OO", oo);
  std::memcpy(PARMLIST.PCBName, "OLDNAME ", 8);

  EXPECT_EQ(0, ConnectSFS(SfsName));
  EXPECT_EQ((std::vector<std::string>{"IN", "GF", "OO", "IL", "BT"}), fake_qrlnt::Codes());
  const auto& r = fake_qrlnt::Requests();
  EXPECT_EQ(std::vector<unsigned char>{'O'}, r[1].data);
  EXPECT_EQ("        ", r[1].pcb());
  EXPECT_EQ("        ", r[2].pcb());
  EXPECT_EQ("SESSION1", r[3].pcb());
  EXPECT_EQ("SESSION1", r[4].pcb());
  for (size_t i = 1; i < r.size(); ++i) EXPECT_EQ("SHFILEQV", Server(r[i])) << r[i].code;
}

TEST_F(ConnectTest, FirstFailureEndsTheSequenceWithItsStatus) {
  struct Case {
    const char* code;
    const char* status;
    size_t sent;
  };
  const Case cases[] = {{"IN", "MI", 1}, {"GF", "NF", 2}, {"OO", "XX", 3}};
  for (const Case& c : cases) {
    fake_qrlnt::Reset();
    fake_qrlnt::Script(c.code, fake_qrlnt::Status(c.status));
    EXPECT_EQ(QrlCode(c.status[0], c.status[1]), ConnectSFS(SfsName)) << c.code;
    EXPECT_EQ(c.sent, fake_qrlnt::Requests().size()) << c.code;
  }
}

TEST_F(ConnectTest, AcceptedFileRequestAndLateFailuresStillConnect) {
  fake_qrlnt::Script("GF", fake_qrlnt::Status("YP"));
  fake_qrlnt::Script("IL", fake_qrlnt::Status("E1"));
  fake_qrlnt::Script("BT", fake_qrlnt::Status("E2"));
  EXPECT_EQ(0, ConnectSFS(SfsName));
  EXPECT_EQ(5u, fake_qrlnt::Requests().size());
}

TEST_F(ConnectTest, DisconnectSendsThreeRequestsAndIgnoresTheirStatus) {
  fake_qrlnt::Default("ET", fake_qrlnt::Status("E1"));
  fake_qrlnt::Default("HL", fake_qrlnt::Status("E2"));
  Send("GN", "PCB00002");
  DisConnectSFS(SfsName);
  EXPECT_EQ((std::vector<std::string>{"GN", "ET", "HL", "CO"}), fake_qrlnt::Codes());
  const auto& r = fake_qrlnt::Requests();
  EXPECT_EQ("PCB00002", r[1].pcb());
  EXPECT_EQ("PCB00002", r[2].pcb());
  EXPECT_EQ("        ", r[3].pcb());
}

class PCBSearchTest : public RequestTest {
 protected:
  // Searches for dbd; returns the PCB name found, or "-" when none was.
  static std::string Search(const char* dbd, uint8_t key = 1) {
    char name[9];
    std::memset(name, 'x', sizeof name);
    const uint32_t found = PCBFromDBD(dbd, key, name, SfsName);
    if (found == 0) {
      EXPECT_STREQ("", name);
      return "-";
    }
    EXPECT_EQ(1u, found);
    return name;
  }
  static std::vector<std::string> Described() {
    std::vector<std::string> names;
    for (const FakeRequest& r : fake_qrlnt::RequestsOf("RH")) names.push_back(r.pcb());
    return names;
  }
};

TEST_F(PCBSearchTest, FindsTheFirstReadingPCBOfTheFileWhateverTheCase) {
  fake_qrlnt::ServePCBs({{"PCB00001", "OTHER"},
                         {"PCB00002", "QVBCTFTB", 2},  // bit 0 clear: cannot read
                         {"PCB00003", "QVBCTFTB", 3},
                         {"PCB00004", "QVBCTFTB", 1}});
  EXPECT_EQ("PCB00003", Search("qvbctftb"));
  EXPECT_EQ((std::vector<std::string>{"PCB00001", "PCB00002", "PCB00003"}), Described());
  // One name with the first query, the rest after the last name seen.
  const auto qp = fake_qrlnt::RequestsOf("QP");
  ASSERT_EQ(2u, qp.size());
  EXPECT_EQ(8, +qp[0].block.qrlrdatal);
  EXPECT_TRUE(qp[0].data.empty());
  EXPECT_EQ("        ", qp[0].pcb());
  EXPECT_EQ(32768, +qp[1].block.qrlrdatal);
  EXPECT_EQ(std::string("PCB00001"), std::string(qp[1].data.begin(), qp[1].data.end()));
}

TEST_F(PCBSearchTest, NameAndKeyTests) {
  fake_qrlnt::ServePCBs({{"P1", "QVBCTFTB", 0x81}, {"P2", "QVB", 1}});
  EXPECT_EQ("P1", Search("QVB")) << "a shorter name matches the names it begins";
  EXPECT_EQ("P1", Search("QVBCTFTB", 0x81));
  EXPECT_EQ("P2", Search("QVB     ", 1)) << "blanks of the name are compared too";
  EXPECT_EQ("-", Search("QVBCTFTB", 2));
  EXPECT_EQ("-", Search("QVBX"));
  EXPECT_EQ("-", Search(""));
  EXPECT_EQ("-", Search(nullptr));
}

TEST_F(PCBSearchTest, NameLongerThanEightNeverMatches) {
  // The description's path begins with the ninth character of the name.
  fake_qrlnt::Responder([](const FakeRequest& r, FakeReply* reply) {
    if (r.code == "QP") {
      *reply = fake_qrlnt::Data({'P', '1', ' ', ' ', ' ', ' ', ' ', ' '});
      return true;
    }
    std::vector<unsigned char> desc(297, 0);
    std::memcpy(desc.data() + 22, "QVBCTFTBX", 9);  // DBDName, then PathName
    desc[104] = 1;
    *reply = fake_qrlnt::Data(desc);
    return true;
  });
  EXPECT_EQ("-", Search("QVBCTFTBX"));
  EXPECT_TRUE(fake_qrlnt::Requests().empty());
  EXPECT_EQ("P1", Search("QVBCTFTB"));
}

TEST_F(PCBSearchTest, EndsWhenTheServerHasNoName) {
  fake_qrlnt::Script("QP", FakeReply());
  EXPECT_EQ("-", Search("QVBCTFTB"));
  EXPECT_EQ((std::vector<std::string>{"QP"}), fake_qrlnt::Codes());

  // No name, but more to come: the next query continues after eight NULs.
  fake_qrlnt::Reset();
  fake_qrlnt::Script("QP", fake_qrlnt::Status("MI"));
  fake_qrlnt::Script("QP", fake_qrlnt::Data({'P', 'C', 'B', '9', ' ', ' ', ' ', ' '}));
  fake_qrlnt::Default("RH", fake_qrlnt::Status("NP"));  // a failed description matches nothing
  EXPECT_EQ("-", Search("QVBCTFTB"));
  EXPECT_EQ((std::vector<std::string>{"QP", "QP", "RH"}), fake_qrlnt::Codes());
  EXPECT_EQ(std::vector<unsigned char>(8, 0), fake_qrlnt::Requests()[1].data);
}

TEST_F(PCBSearchTest, EndsWhenTheServerRepeatsItself) {
  // Always "MI", always the same two names.
  fake_qrlnt::Responder([](const FakeRequest& r, FakeReply* reply) {
    if (r.code != "QP") return false;
    *reply = fake_qrlnt::Status("MI", {'A', 0, 0, 0, 0, 0, 0, 0, 'B', 0, 0, 0, 0, 0, 0, 0});
    return true;
  });
  EXPECT_EQ("-", Search("QVBCTFTB"));
  EXPECT_EQ((std::vector<std::string>{"A       ", "B       "}), Described());
  EXPECT_LE(fake_qrlnt::RequestsOf("QP").size(), 3u);
}

TEST_F(PCBSearchTest, EndsAfterABoundedNumberOfQueries) {
  // A new name with every answer, and always more to come.
  int next = 0;
  fake_qrlnt::Responder([&next](const FakeRequest& r, FakeReply* reply) {
    if (r.code != "QP") return false;
    char name[9];
    std::snprintf(name, sizeof name, "N%07d", next++);
    *reply = fake_qrlnt::Status("MI", std::vector<unsigned char>(name, name + 8));
    return true;
  });
  EXPECT_EQ("-", Search("QVBCTFTB"));
  EXPECT_EQ(static_cast<size_t>(kMaxPCBQueries), fake_qrlnt::RequestsOf("QP").size());
}

TEST_F(PCBSearchTest, ShorterReplyAfterALongerOneIsNotMistakenForNewNames) {
  // The second later answer is shorter than the first; a name the first left in
  // the work area must be neither described again nor sent to continue after.
  fake_qrlnt::Responder([](const FakeRequest& r, FakeReply* reply) {
    if (r.code != "QP") return false;
    const std::string after(r.data.begin(), r.data.end());
    if (after.empty()) {
      *reply = fake_qrlnt::Status("MI", {'A', ' ', ' ', ' ', ' ', ' ', ' ', ' '});
    } else if (after == "A       ") {
      const std::string names = "B       C       D       ";
      *reply = fake_qrlnt::Status("MI", std::vector<unsigned char>(names.begin(), names.end()));
    } else if (after == "D       ") {
      *reply = fake_qrlnt::Status("MI", {'E', ' ', ' ', ' ', ' ', ' ', ' ', ' '});
    } else if (after == "E       ") {
      *reply = FakeReply();
    } else {
      ADD_FAILURE() << "continued after '" << after << "'";
      *reply = FakeReply();
    }
    // Nor may it rely on a length that the server leaves at the capacity.
    if (!after.empty()) reply->data_len = r.block.qrlrdatal;
    return true;
  });
  EXPECT_EQ("-", Search("QVBCTFTB"));
  EXPECT_EQ((std::vector<std::string>{"A       ", "B       ", "C       ", "D       ", "E       "}),
            Described());
  std::vector<std::string> continued;
  for (const FakeRequest& r : fake_qrlnt::RequestsOf("QP")) {
    continued.emplace_back(r.data.begin(), r.data.end());
  }
  EXPECT_EQ((std::vector<std::string>{"", "A       ", "D       ", "E       "}), continued);
}

TEST_F(PCBSearchTest, ReplyLengthBeyondTheAreaIsNotTrusted) {
  FakeReply first = fake_qrlnt::Status("MI", {'A', ' ', ' ', ' ', ' ', ' ', ' ', ' '});
  first.data_len = 4000;  // claims more than the 8 bytes it could have sent
  fake_qrlnt::Script("QP", first);
  FakeReply later = fake_qrlnt::Data({});
  later.data_len = 65535;
  fake_qrlnt::Script("QP", later);
  EXPECT_EQ("-", Search("QVBCTFTB"));
  EXPECT_EQ((std::vector<std::string>{"A       "}), Described());
}

}  // namespace
