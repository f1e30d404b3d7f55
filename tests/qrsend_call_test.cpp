// The one call of QRSEND, against a client library's QRSEND of either calling
// convention: one that leaves its two arguments to its caller (the C
// convention) and, on 32-bit Windows, one that removes them itself (__stdcall).
#include <gtest/gtest.h>

#include <cstdint>

#include "qvbutsfs.h"

namespace {

struct Received {
  QRL_CPRB* cprb = nullptr;
  uint32_t zero = 1;
};
Received received;

uint32_t Answer(QRL_CPRB* cprb, uint32_t zero) {
  received.cprb = cprb;
  received.zero = zero;
  return 0x00A50000u | cprb->qrlfunct;
}

extern "C" uint32_t CCallee(QRL_CPRB* cprb, uint32_t zero) { return Answer(cprb, zero); }

#if defined(_WIN32) && defined(__i386__)

extern "C" uint32_t __stdcall StdcallCallee(QRL_CPRB* cprb, uint32_t zero) {
  return Answer(cprb, zero);
}

// How far the stack pointer of a caller of CallQRSEND moves over the call, 0
// when the call leaves it as it was. The caller is written out here, so that no
// code of the compiler's between two readings of the stack pointer moves it.
int32_t StackMovedOverCall(QrsendEntry send, QRL_CPRB* cprb, uint32_t* result) {
  uint32_t (*const call)(QrsendEntry, QRL_CPRB*, uint32_t) = CallQRSEND;
  int32_t moved = 0;
  __asm__ volatile(
      "movl %%esp, %%edi\n\t"
      "pushl $0\n\t"
      "pushl %[cprb]\n\t"
      "pushl %[send]\n\t"
      "call *%[call]\n\t"
      "addl $12, %%esp\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%edi, %%ecx\n\t"
      "movl %%edi, %%esp"
      : "=a"(*result), "=c"(moved)
      : [call] "r"(call), [send] "r"(send), [cprb] "r"(cprb)
      : "edx", "edi", "memory", "cc");
  return moved;
}

// The site's library is bound by the name QRSEND alone: its convention is not
// part of what the caller sees.
using StdcallEntry = uint32_t(__stdcall*)(QRL_CPRB*, uint32_t);
QrsendEntry AsEntry(StdcallEntry callee) {
  return reinterpret_cast<QrsendEntry>(reinterpret_cast<void (*)()>(callee));
}

TEST(QrsendCallTest, StackIsAsItWasAfterCalleesOfBothConventions) {
  const struct {
    const char* name;
    QrsendEntry send;
  } callees[] = {{"C convention", CCallee}, {"__stdcall", AsEntry(StdcallCallee)}};
  for (const auto& callee : callees) {
    QRL_CPRB block{};
    block.qrlfunct = QrlCode('G', 'N');
    received = Received();
    uint32_t result = 0;
    EXPECT_EQ(0, StackMovedOverCall(callee.send, &block, &result)) << callee.name;
    EXPECT_EQ(0x00A50000u | QrlCode('G', 'N'), result) << callee.name;
    EXPECT_EQ(&block, received.cprb) << callee.name;
    EXPECT_EQ(0u, received.zero) << callee.name;
  }
}

#endif

// Every target: the block and the 0 reach QRSEND and its result comes back whole.
TEST(QrsendCallTest, ArgumentsReachQrsendAndItsResultComesBack) {
  QRL_CPRB block{};
  block.qrlfunct = QrlCode('I', 'N');
  received = Received();
  EXPECT_EQ(0x00A50000u | QrlCode('I', 'N'), CallQRSEND(CCallee, &block, 0));
  EXPECT_EQ(&block, received.cprb);
  EXPECT_EQ(0u, received.zero);
}

}  // namespace
