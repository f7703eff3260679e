// Regular-mode context modelling (T.87 A.3 to A.6): the 365 contexts
// with their variables A, B, C, N, the median edge detector, the error
// mapping and the context update.
#pragma once

#include <cstdint>
#include <cstdlib>

// Number of regular contexts (T.87 A.3.4: 365 after merging signs).
inline constexpr int kRegularContexts = 365;
// MIN_C and MAX_C, the bounds of the bias correction C (T.87 A.13).
inline constexpr int kMinC = -128;
inline constexpr int kMaxC = 127;

struct RegularContext {
  std::int32_t a;
  std::int32_t b;
  std::int32_t c;
  std::int32_t n;
};

// T.87 A.2.1 (code segment A.1 initialisation): A = max(2, (RANGE + 32) / 64).
inline std::int32_t initial_context_a(int range) {
  const int a = (range + 32) >> 6;
  return a < 2 ? 2 : a;
}

// Median edge detector, T.87 A.4.1 (code segment A.5).
inline int predict_med(int a, int b, int c) {
  const int low = a < b ? a : b;
  const int high = a < b ? b : a;
  if (c >= high) return low;
  if (c <= low) return high;
  return a + b - c;
}

// Golomb parameter k: the least k with N * 2^k >= A (code segment A.10).
inline int golomb_parameter(std::int32_t n, std::int32_t a) {
  int k = 0;
  while ((static_cast<std::int64_t>(n) << k) < a) ++k;
  return k;
}

// The mapping of code segment A.11 inverted: MErrval to Errval. The
// special mapping for k = 0 and 2B <= -N applies only when lossless.
inline int unmap_error(int mapped, int k, const RegularContext& ctx, bool lossless) {
  const int error = (mapped >> 1) ^ -(mapped & 1);
  const bool special = lossless && k == 0 && 2 * ctx.b <= -ctx.n;
  return error ^ -static_cast<int>(special);
}

// Code segment A.11: Errval to MErrval.
inline int map_error(int error, int k, const RegularContext& ctx, bool lossless) {
  if (lossless && k == 0 && 2 * ctx.b <= -ctx.n)
    return error >= 0 ? 2 * error + 1 : -2 * (error + 1);
  return error >= 0 ? 2 * error : -2 * error - 1;
}

// Code segments A.12 (variables update) and A.13 (bias computation).
inline void update_regular_context(RegularContext& ctx, int error, int near, int reset) {
  ctx.b += error * (2 * near + 1);
  ctx.a += std::abs(error);
  if (ctx.n == reset) {
    ctx.a >>= 1;
    ctx.b >>= 1;  // arithmetic shift: T.87's -((1 - B) >> 1) for negative B
    ctx.n >>= 1;
  }
  ++ctx.n;
  if (ctx.b <= -ctx.n) {
    ctx.b += ctx.n;
    if (ctx.c > kMinC) --ctx.c;
    if (ctx.b <= -ctx.n) ctx.b = -ctx.n + 1;
  } else if (ctx.b > 0) {
    ctx.b -= ctx.n;
    if (ctx.c < kMaxC) ++ctx.c;
    if (ctx.b > 0) ctx.b = 0;
  }
}
