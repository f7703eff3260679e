// Work split into blocks: every index once, the same blocks whatever the
// thread count, and a block's failure reaching the caller.
#include "common/parallel.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using Blocks = std::set<std::pair<std::int64_t, std::int64_t>>;

Blocks blocks_of(int threads, std::int64_t count, std::int64_t block_size,
                 std::vector<int>& visits) {
  Blocks blocks;
  std::mutex lock;
  visits.assign(static_cast<std::size_t>(count > 0 ? count : 0), 0);
  parallel_blocks(threads, count, block_size, [&](std::int64_t begin, std::int64_t end) {
    for (std::int64_t i = begin; i < end; ++i) ++visits[static_cast<std::size_t>(i)];
    const std::lock_guard<std::mutex> guard(lock);
    blocks.insert({begin, end});
  });
  return blocks;
}

TEST(ParallelBlocks, EveryIndexOnceInTheSameBlocksForAnyThreadCount) {
  struct Case {
    std::int64_t count;
    std::int64_t block_size;
    std::size_t expected_blocks;
  };
  const Case cases[] = {{0, 4, 0}, {1, 4, 1}, {10, 4, 3}, {12, 4, 3}, {1000, 7, 143}, {5, 0, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " by " + std::to_string(c.block_size));
    std::vector<int> serial_visits;
    const Blocks serial = blocks_of(1, c.count, c.block_size, serial_visits);
    EXPECT_EQ(serial.size(), c.expected_blocks);
    EXPECT_EQ(static_cast<std::size_t>(block_count(c.count, c.block_size)), c.expected_blocks);
    for (int threads : {2, 3, 16}) {
      std::vector<int> visits;
      EXPECT_EQ(blocks_of(threads, c.count, c.block_size, visits), serial);
      EXPECT_EQ(visits, std::vector<int>(visits.size(), 1));
    }
  }
}

TEST(ParallelBlocks, ABlocksExceptionReachesTheCaller) {
  for (int threads : {1, 3}) {
    EXPECT_THROW(parallel_blocks(threads, 64, 1,
                                 [](std::int64_t begin, std::int64_t) {
                                   if (begin == 17) throw std::runtime_error("block 17");
                                 }),
                 std::runtime_error);
  }
}

}  // namespace
