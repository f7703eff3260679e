#include "common/parallel.h"

#include <sched.h>
#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <optional>

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

void parallel_in_order(int threads, std::int64_t count, int in_flight,
                       const std::function<void(std::int64_t item)>& make,
                       const std::function<void(std::int64_t item)>& consume) {
  if (count <= 0) return;
  if (threads <= 1 || count == 1 || in_flight <= 1) {
    for (std::int64_t item = 0; item < count; ++item) {
      make(item);
      consume(item);
    }
    return;
  }
  // The pipeline never holds more than in_flight items, and its last stage
  // takes them in the order the first stage gave them out.
  std::int64_t next = 0;
  run_on_threads(threads, [&] {
    tbb::parallel_pipeline(
        static_cast<std::size_t>(in_flight),
        tbb::make_filter<void, std::int64_t>(tbb::filter_mode::serial_in_order,
                                             [&](tbb::flow_control& control) -> std::int64_t {
                                               if (next == count) {
                                                 control.stop();
                                                 return 0;
                                               }
                                               return next++;
                                             }) &
            tbb::make_filter<std::int64_t, std::int64_t>(tbb::filter_mode::parallel,
                                                         [&](std::int64_t item) {
                                                           make(item);
                                                           return item;
                                                         }) &
            tbb::make_filter<std::int64_t, void>(tbb::filter_mode::serial_in_order,
                                                 [&](std::int64_t item) { consume(item); }));
  });
}

bool for_each_band_in_order(
    int threads, int height, int band_rows, bool top_first,
    const std::function<void(int first, int end, std::vector<std::uint8_t>& bytes)>& make,
    const std::function<bool(int first, int end, const std::vector<std::uint8_t>& bytes)>& write) {
  if (height <= 0) return true;
  band_rows = std::max(1, band_rows);
  const int bands = (height - 1) / band_rows + 1;
  const int in_flight = 2 * std::max(1, threads) + 1;
  std::vector<std::vector<std::uint8_t>> slots(static_cast<std::size_t>(in_flight));
  auto rows_of = [&](std::int64_t band, int& first, int& end) {
    if (top_first) {
      end = height - static_cast<int>(band) * band_rows;
      first = std::max(0, end - band_rows);
    } else {
      first = static_cast<int>(band) * band_rows;
      end = std::min(height, first + band_rows);
    }
  };
  auto slot_of = [&](std::int64_t band) -> std::vector<std::uint8_t>& {
    return slots[static_cast<std::size_t>(band % in_flight)];
  };
  struct Stopped {};
  try {
    parallel_in_order(
        threads, bands, in_flight,
        [&](std::int64_t band) {
          int first = 0;
          int end = 0;
          rows_of(band, first, end);
          make(first, end, slot_of(band));
        },
        [&](std::int64_t band) {
          int first = 0;
          int end = 0;
          rows_of(band, first, end);
          if (!write(first, end, slot_of(band))) throw Stopped{};
        });
  } catch (const Stopped&) {
    return false;
  }
  return true;
}
