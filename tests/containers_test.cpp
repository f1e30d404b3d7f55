#include <gtest/gtest.h>

#include "admsa_supp.h"

TEST(BufferTest, NewBufferIsEmpty) {
  Buffer b;
  EXPECT_EQ(0, b.len());
  EXPECT_EQ(nullptr, b.data());
}
