// Work split over several cores, with results that do not depend on how
// many.
//
// The work is cut into fixed blocks whose bounds depend only on the count
// and the block size, never on the number of threads; each block is done by
// one thread, and whatever a block adds up it keeps to itself, so a caller
// that combines per-block results in block order gets the same bytes for
// every thread count. The threads are oneTBB's, limited to `threads` for
// the call through a task arena.
#pragma once

#include <cstdint>
#include <functional>

// The cores this process may run on (its CPU affinity), at least 1: the
// default thread count of every command.
int available_cores();

// Calls body(begin, end) for the blocks [0, b), [b, 2b), ... of [0, count)
// (the last may be shorter), on at most `threads` threads; with one thread
// (or one block) in order on the calling thread. Returns when every block
// is done. An exception thrown by a block reaches the caller.
void parallel_blocks(int threads, std::int64_t count, std::int64_t block_size,
                     const std::function<void(std::int64_t begin, std::int64_t end)>& body);

// Runs `work` on the calling thread and up to threads - 1 of oneTBB's, in
// an arena of its own (as many threads as asked, also more than there are
// cores), for work that divides itself, such as a pipeline; parallel_blocks
// called from inside it shares these threads instead of adding its own.
void run_on_threads(int threads, const std::function<void()>& work);

// The number of blocks parallel_blocks cuts `count` into (a block size
// below 1 counts as 1).
inline std::int64_t block_count(std::int64_t count, std::int64_t block_size) {
  if (block_size < 1) block_size = 1;
  return count <= 0 ? 0 : (count + block_size - 1) / block_size;
}
