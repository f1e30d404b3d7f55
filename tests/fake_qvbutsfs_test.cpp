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

// A connect, a record request and a disconnect, a line each: code, server, the
// PCB name of the parameter list ("-" without one), then the request parameter,
// request data, reply parameter and reply data areas, each as its length or
// capacity and P for the parameter list, A for another area, - for none.
TEST_F(RequestTest, ConnectReadAndDisconnectAsTheServerSeesThem) {
  // The server names its own PCB in the parameter list of "OO"; "IL" and "BT"
  // send it back unchanged.
  SFS_PARMLIST_s back{};
  std::memcpy(back.PCBName, "SESSION1", 8);
  FakeReply oo;
  oo.parm = Raw(&back, sizeof back);
  fake_qrlnt::Script("OO", oo);
  std::memcpy(PARMLIST.PCBName, "OLDNAME ", 8);

  ASSERT_EQ(0, ConnectSFS(SfsName));
  unsigned char area[1024];
  uint16_t len = sizeof area;
  ASSERT_EQ(0, Send("GN", "PCB00001", &len, area));
  fake_qrlnt::Default("ET", fake_qrlnt::Status("E1"));  // the disconnect goes on regardless
  fake_qrlnt::Default("HL", fake_qrlnt::Status("E2"));
  DisConnectSFS(SfsName);

  std::vector<std::string> shapes;
  for (const FakeRequest& r : fake_qrlnt::Requests()) {
    const QRL_CPRB& b = r.block;
    const auto at = [](uint16_t n, const void* area) {
      return " " + std::to_string(n) + (area == nullptr ? "-" : area == &PARMLIST ? "P" : "A");
    };
    shapes.push_back(r.code + " " + r.server + " " + (r.parm.size() == 28 ? r.pcb() : "-") +
                     at(b.qrlqparml, r.parm_area) + at(b.qrlqdatal, r.data_area) +
                     at(b.qrlrparml, r.reply_parm_area) + at(b.qrlrdatal, r.reply_data_area));
    EXPECT_EQ(0xFFFF, +b.qrltimeout) << r.code;
    EXPECT_EQ(8, +b.qrlservnamlen) << r.code;
    EXPECT_TRUE(r.tokens_ok) << r.code;
  }
  EXPECT_EQ((std::vector<std::string>{
                "IN SPV      - 0- 0- 6A 0-",
                "GF SHFILEQV          28P 1A 28P 20A",
                "OO SHFILEQV          28P 0- 28P 20A",
                "IL SHFILEQV SESSION1 28P 0- 28P 20A",
                "BT SHFILEQV SESSION1 28P 0- 28P 20A",
                "GN SHFILEQV PCB00001 28P 0- 28P 1024A",
                "ET SHFILEQV PCB00001 28P 0- 28P 20A",
                "HL SHFILEQV PCB00001 28P 0- 28P 20A",
                "CO SHFILEQV          28P 0- 28P 20A",
            }),
            shapes);
  const auto& r = fake_qrlnt::Requests();
  EXPECT_EQ(std::vector<unsigned char>{'O'}, r[1].data);
  EXPECT_EQ(static_cast<void*>(area), r[5].reply_data_area);
  // The function code little-endian: its second character first.
  EXPECT_EQ(0x4E, reinterpret_cast<const unsigned char*>(&r[0].block)[10]);
  EXPECT_EQ(0x49, reinterpret_cast<const unsigned char*>(&r[0].block)[11]);
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

TEST_F(ConnectTest, AcceptedFileRequestAndLateFailuresStillConnect) {
  fake_qrlnt::Script("GF", fake_qrlnt::Status("YP"));
  fake_qrlnt::Script("IL", fake_qrlnt::Status("E1"));
  fake_qrlnt::Script("BT", fake_qrlnt::Status("E2"));
  EXPECT_EQ(0, ConnectSFS(SfsName));
  EXPECT_EQ(5u, fake_qrlnt::Requests().size());
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
