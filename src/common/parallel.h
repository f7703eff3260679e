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
#include <vector>

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

// Rows of a picture or map `width` pixels wide that make one block of work:
// some 64K pixels, enough that a block costs far more than handing it to a
// thread, few enough that two cores share a picture of a few hundred rows.
// It depends on the width alone, never on the thread count.
inline std::int64_t rows_per_block(std::int64_t width) {
  constexpr std::int64_t block_pixels = 65536;
  return width >= block_pixels ? 1 : block_pixels / (width > 0 ? width : 1);
}

// Calls make(i) for i = 0 .. count - 1 on at most `threads` threads, with
// at most `in_flight` items made and not yet consumed, and consume(i) in
// order 0, 1, 2, ..., one at a time, each after its make. An item's
// buffers can therefore be slot i % in_flight of `in_flight` slots: the
// items alive at once are consecutive and never more than that. With one
// thread every item is made and consumed in turn on the calling thread.
// An exception thrown by either reaches the caller.
void parallel_in_order(int threads, std::int64_t count, int in_flight,
                       const std::function<void(std::int64_t item)>& make,
                       const std::function<void(std::int64_t item)>& consume);

// A picture `height` rows tall made in bands of `band_rows` rows and
// written in its file's order, never whole in memory: make(first, end,
// bytes) fills the band of rows first .. end - 1 into `bytes` (a buffer of
// its own that the band may resize), on up to `threads` threads, a few
// bands at a time; write(first, end, bytes) takes the bands one after the
// other, from the top band down when `top_first`, else from the bottom up.
// A write that returns false stops the work: false is returned then.
bool for_each_band_in_order(
    int threads, int height, int band_rows, bool top_first,
    const std::function<void(int first, int end, std::vector<std::uint8_t>& bytes)>& make,
    const std::function<bool(int first, int end, const std::vector<std::uint8_t>& bytes)>& write);

// The number of blocks parallel_blocks cuts `count` into (a block size
// below 1 counts as 1).
inline std::int64_t block_count(std::int64_t count, std::int64_t block_size) {
  if (block_size < 1) block_size = 1;
  return count <= 0 ? 0 : (count + block_size - 1) / block_size;
}
