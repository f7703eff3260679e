// Reporting how far a long computation has come, to whoever shows it (the
// command line's progress bar). Library code calls it now and then; it
// never prints anything itself through it.
#pragma once

#include <cstdint>
#include <functional>

// Called with the work done so far out of `total` (same units, done <=
// total). An empty function: nobody watches.
using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

inline void report_progress(const ProgressFn& progress, std::uint64_t done, std::uint64_t total) {
  if (progress) progress(done, total);
}
