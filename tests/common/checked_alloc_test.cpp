#include "common/checked_alloc.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(CheckedAlloc, ReturnsVectorAlignedMemoryAndCountsBytes) {
  const std::uint64_t before = bytes_allocated();
  void* p = checked_alloc(100);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
  EXPECT_EQ(bytes_allocated(), before + 100);
  checked_free(p);
}

TEST(CheckedAllocDeathTest, FailureReportsSizeAndTotalThenExitsMinusOne) {
  EXPECT_EXIT(checked_alloc_array<std::uint64_t>(SIZE_MAX / 4), testing::ExitedWithCode(255),
              "Memory Allocation error. size: [0-9]+\n[0-9]+ bytes already allocated.\n");
}
