// Run mode (T.87 A.7): the run-length order table J, and the two
// run-interruption contexts (indices 365 and 366) with their variables
// A, N and Nn.
#pragma once

#include <cstdint>

#include "jpegls/regular_mode_context.h"

// J[RUNindex] of T.87 A.7.1.
inline constexpr std::uint8_t kRunOrder[32] = {0, 0, 0, 0, 1,  1,  1,  1,  2,  2, 2,
                                               2, 3, 3, 3, 3,  4,  4,  5,  5,  6, 6,
                                               7, 7, 8, 9, 10, 11, 12, 13, 14, 15};

struct RunContext {
  std::int32_t a;
  std::int32_t n;
  std::int32_t nn;
};

// k for a run-interruption sample (code segment A.20): TEMP is A, plus
// N / 2 for RItype 1.
inline int run_interruption_k(const RunContext& ctx, int ritype) {
  const std::int32_t temp = ctx.a + ((ctx.n >> 1) & -ritype);
  return golomb_parameter(ctx.n, temp);
}

// Whether the error's sign is folded into the mapping (code segment A.21).
inline bool run_interruption_map(const RunContext& ctx, int k, int error) {
  if (k == 0 && error > 0 && 2 * ctx.nn < ctx.n) return true;
  if (error < 0 && 2 * ctx.nn >= ctx.n) return true;
  return error < 0 && k != 0;
}

// EMErrval back to Errval (inverse of code segment A.21).
inline int run_interruption_error(const RunContext& ctx, int k, int mapped, int ritype) {
  const int temp = mapped + ritype;
  const int map = temp & 1;
  const int magnitude = (temp + map) >> 1;
  const bool negative = (k != 0 || 2 * ctx.nn >= ctx.n) == (map != 0);
  return negative ? -magnitude : magnitude;
}

// Code segment A.23: update after a run-interruption sample.
inline void update_run_context(RunContext& ctx, int error, int mapped, int ritype, int reset) {
  if (error < 0) ++ctx.nn;
  ctx.a += (mapped + 1 - ritype) >> 1;
  if (ctx.n == reset) {
    ctx.a >>= 1;
    ctx.n >>= 1;
    ctx.nn >>= 1;
  }
  ++ctx.n;
}
