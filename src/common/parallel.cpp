#include "common/parallel.h"

#include <sched.h>

#include <algorithm>
#include <optional>

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>

int available_cores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(1, CPU_COUNT(&set));
}

void parallel_blocks(int threads, std::int64_t count, std::int64_t block_size,
                     const std::function<void(std::int64_t begin, std::int64_t end)>& body) {
  if (count <= 0) return;
  if (block_size < 1) block_size = 1;
  const std::int64_t blocks = block_count(count, block_size);
  auto run_block = [&](std::int64_t block) {
    const std::int64_t begin = block * block_size;
    body(begin, std::min(count, begin + block_size));
  };
  if (threads <= 1 || blocks == 1) {
    for (std::int64_t block = 0; block < blocks; ++block) run_block(block);
    return;
  }
  auto run_blocks = [&] {
    tbb::parallel_for(
        tbb::blocked_range<std::int64_t>(0, blocks, 1),
        [&](const tbb::blocked_range<std::int64_t>& range) {
          for (std::int64_t block = range.begin(); block < range.end(); ++block) run_block(block);
        },
        tbb::simple_partitioner());
  };
  // Called from work that already runs on `threads` threads (a stage of a
  // pipeline in run_on_threads), the blocks share those threads: an arena
  // of their own would bring new threads beside the busy ones.
  if (tbb::this_task_arena::max_concurrency() == threads) {
    run_blocks();
    return;
  }
  run_on_threads(static_cast<int>(std::min<std::int64_t>(threads, blocks)), run_blocks);
}

void run_on_threads(int threads, const std::function<void()>& work) {
  threads = std::max(1, threads);
  // More threads than oneTBB starts by default (one per core) need its
  // limit raised while they work; otherwise it warns and runs fewer.
  std::optional<tbb::global_control> limit;
  if (static_cast<std::size_t>(threads) >
      tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism)) {
    limit.emplace(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(threads));
  }
  // One arena per call: the limit holds for this work only, and
  // parallel_blocks called inside it shares its threads.
  tbb::task_arena arena(threads);
  arena.execute(work);
}
