#include "render/evaluate.h"

#include <algorithm>
#include <cstdio>

#include "common/end_program.h"

namespace {

// The fixed-point sums are defined in 32-bit arithmetic that wraps; unsigned
// arithmetic gives the wrap without undefined behaviour.
std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

std::int32_t saturate_int16(std::int32_t value) {
  return std::clamp<std::int32_t>(value, INT16_MIN, INT16_MAX);
}

std::uint8_t clamp_byte(std::int32_t value) {
  return static_cast<std::uint8_t>(std::clamp<std::int32_t>(value, 0, 255));
}

// a0 W0 + ... + a5 W5 over six 16-bit coefficients.
std::int32_t packed_sum(const std::int16_t* a, const LightWeights& weights) {
  std::int32_t sum = 0;
  for (int k = 0; k < 6; ++k) sum = wrap_add(sum, std::int32_t{a[k]} * weights.w[k]);
  return sum;
}

// (p0 W0 + ... + p4 W4 + p5) >> 14 over six wide coefficients: a5 is stored
// times 16384, so it enters unweighted.
std::int32_t wide_sum(const std::int32_t* p, const LightWeights& weights) {
  std::int32_t sum = p[5];
  for (int k = 0; k < 5; ++k) sum = wrap_add(sum, wrap_mul(p[k], weights.w[k]));
  return sum >> 14;
}

std::uint8_t clamp_float_byte(float value) {
  // Truncation toward zero, then clamping; compared in floating point first
  // so that huge values never reach the integer conversion.
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return static_cast<std::uint8_t>(value);
}

}  // namespace

LightWeights light_weights_for(float u, float v) {
  // 1023.999 rather than 1024, so that u = 1 gives 1023 and the weights stay
  // 10-bit fractions.
  constexpr float scale = 1023.999f;
  const auto U = static_cast<std::int32_t>(u * scale);
  const auto V = static_cast<std::int32_t>(v * scale);
  return {{static_cast<std::int16_t>(wrap_mul(U, U) >> 10),
           static_cast<std::int16_t>(wrap_mul(V, V) >> 10),
           static_cast<std::int16_t>(wrap_mul(U, V) >> 10), static_cast<std::int16_t>(U),
           static_cast<std::int16_t>(V), 1023}};
}

void evaluate_rgb_packed(const Ptm& ptm, const LightWeights& weights, int x, int y, std::uint8_t& r,
                         std::uint8_t& g, std::uint8_t& b) {
  const std::size_t pixel = static_cast<std::size_t>(y) * ptm.width + x;
  const std::int16_t* group = ptm.packed_rgb + pixel * packed_rgb_values_per_pixel;
  std::uint8_t* out[3] = {&r, &g, &b};
  for (int c = 0; c < 3; ++c) {
    *out[c] = clamp_byte(saturate_int16(packed_sum(group + 8 * c, weights) >> 10));
  }
}

void evaluate_lrgb_packed(const Ptm& ptm, const LightWeights& weights, int x, int y,
                          std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
  const PackedLrgbTexel& texel = ptm.packed_lrgb[static_cast<std::size_t>(y) * ptm.width + x];
  // One more bit of luminance than the RGB kernel; the colour byte is
  // pre-multiplied by 128 and the high half of the 32-bit product kept,
  // which is floor(L2 * C / 512).
  const std::int32_t l2 = std::max(0, saturate_int16(packed_sum(texel.coef, weights) >> 9));
  auto channel = [l2](std::uint8_t c) {
    return static_cast<std::uint8_t>(std::min(255, (l2 * (c * 128)) >> 16));
  };
  r = channel(texel.red);
  g = channel(texel.green);
  b = channel(texel.blue);
}

void evaluate_ptm(const Ptm& ptm, const LightWeights& weights, int x, int y, std::uint8_t& r,
                  std::uint8_t& g, std::uint8_t& b) {
  const std::size_t pixel = static_cast<std::size_t>(y) * ptm.width + x;
  switch (ptm.format) {
    case PTM_FORMAT_RGB:
      r = clamp_byte(wide_sum(ptm.coef_int[0] + pixel * 6, weights));
      g = clamp_byte(wide_sum(ptm.coef_int[1] + pixel * 6, weights));
      b = clamp_byte(wide_sum(ptm.coef_int[2] + pixel * 6, weights));
      return;
    case PTM_FORMAT_LUM: {
      // The evaluated luminance takes the place of the middle colour
      // component in (first chroma, Y, second chroma, 1).
      const float y_lum = clamp_byte(wide_sum(ptm.lum_coef_int + pixel * 6, weights));
      const float p0 = ptm.color_planes[0][pixel];
      const float p2 = ptm.color_planes[2][pixel];
      const float* m = ptm.color_matrix;
      r = clamp_float_byte(m[0] * p0 + m[1] * y_lum + m[2] * p2 + m[3]);
      g = clamp_float_byte(m[4] * p0 + m[5] * y_lum + m[6] * p2 + m[7]);
      b = clamp_float_byte(m[8] * p0 + m[9] * y_lum + m[10] * p2 + m[11]);
      return;
    }
    case PTM_FORMAT_LRGB: {
      // No upper clamp on L: a luminance above 255 brightens the colour
      // until the channel saturates.
      const std::int32_t l = std::max(0, wide_sum(ptm.lum_coef_int + pixel * 6, weights));
      auto channel = [l](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::min<std::int64_t>(255, (std::int64_t{c} * l) >> 8));
      };
      r = channel(ptm.color_planes[0][pixel]);
      g = channel(ptm.color_planes[1][pixel]);
      b = channel(ptm.color_planes[2][pixel]);
      return;
    }
    default:
      std::printf("evaluate ptm error: unsupported ptm format \n");
      end_program(-1);
  }
}

EvaluatePtmFn select_evaluator(const Ptm& ptm) {
  const bool packed = uses_packed(ptm);
  switch (ptm.format) {
    case PTM_FORMAT_RGB:
      return packed ? evaluate_rgb_packed : evaluate_ptm;
    case PTM_FORMAT_LUM:
      return evaluate_ptm;
    case PTM_FORMAT_LRGB:
      return packed ? evaluate_lrgb_packed : evaluate_ptm;
    default:
      std::printf("evaluate ptm error: unsupported ptm format \n");
      end_program(-1);
  }
}
