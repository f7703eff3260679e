// Sample arithmetic shared by the scan encoder and decoder: gradient
// context lookup, clamping, and the reconstruction of T.87 A.4.
#pragma once

#include <cstdint>

#include "jpegls/scan_state.h"

template <typename Sample, bool Lossless>
struct SampleTraits {
  // Signed context number of code segment A.6 from the three local
  // gradients (0: run mode).
  static int context(const ScanState& s, int a, int b, int c, int d) {
    if constexpr (sizeof(Sample) == 1) {
      return s.q81[d - b] + s.q9[b - c] + s.q1[c - a];
    } else {
      const int e = s.gradient_extent;
      return s.q81[clamp(d - b, -e, e)] + s.q9[clamp(b - c, -e, e)] + s.q1[clamp(c - a, -e, e)];
    }
  }

  static int clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

  // Rx from the prediction and the (sign-corrected) quantised error,
  // undoing the modulo reduction as the decoder of T.87 Annex F does.
  static int reconstruct(const ScanState& s, int predicted, int error) {
    if constexpr (Lossless) {
      return (predicted + error) & s.maxval;
    } else {
      const int step = 2 * s.near + 1;
      int x = predicted + error * step;
      if (x < -s.near) {
        x += s.range * step;
      } else if (x > s.maxval + s.near) {
        x -= s.range * step;
      }
      return clamp(x, 0, s.maxval);
    }
  }

  // Modulo reduction of the error to -RANGE/2 .. RANGE/2 - 1 (T.87 A.4).
  static int reduce(const ScanState& s, int error) {
    if (error < 0) error += s.range;
    if (error >= (s.range + 1) / 2) error -= s.range;
    return error;
  }

  // Error quantisation for NEAR > 0 (code segment A.8).
  static int quantize(const ScanState& s, int error) {
    if constexpr (Lossless) {
      return error;
    } else {
      const int step = 2 * s.near + 1;
      return error > 0 ? (error + s.near) / step : -((s.near - error) / step);
    }
  }

  // The error the encoder codes for sample x against its prediction, in the
  // context's orientation (sign 0 or -1), quantised for NEAR > 0; also the
  // value the decoder will reconstruct (code segments A.8 and A.9).
  static int coded_error(const ScanState& s, int x, int predicted, int sign, int& reconstructed) {
    const int error = quantize(s, ((x - predicted) ^ sign) - sign);
    if constexpr (Lossless) {
      reconstructed = x;
    } else {
      reconstructed = clamp(predicted + ((error ^ sign) - sign) * (2 * s.near + 1), 0, s.maxval);
    }
    return reduce(s, error);
  }

  // Signed contexts of the n components of a pixel (pixel interleaving);
  // true when all are 0, which starts run mode for the whole pixel.
  static bool pixel_contexts(const ScanState& s, const Sample* px, const Sample* above, int n,
                             int* q) {
    bool all_zero = true;
    for (int i = 0; i < n; ++i) {
      q[i] = context(s, px[i - n], above[i], above[i - n], above[i + n]);
      all_zero = all_zero && q[i] == 0;
    }
    return all_zero;
  }

  static bool same(const ScanState& s, int x, int ra) {
    if constexpr (Lossless) {
      return x == ra;
    } else {
      return x - ra <= s.near && ra - x <= s.near;
    }
  }
};

// T.87 A.2.1 edges: the sample before each line repeats the first sample of
// the line above, the sample after the line above repeats its last.
template <typename Sample>
void set_line_edges(Sample* current, Sample* previous, int width, int components) {
  for (int c = 0; c < components; ++c) {
    current[c - components] = previous[c];
    previous[width * components + c] = previous[(width - 1) * components + c];
  }
}

// Line interleaving: each component's line in turn, at a stride of the
// component count, each with its own run index (T.87 A.7.1).
template <typename Sample, typename Bits, typename ComponentLine>
void code_line_interleaved(ScanState& s, Bits& bits, std::uint8_t* current, std::uint8_t* previous,
                           int width, int components, ComponentLine component_line) {
  auto* cur = reinterpret_cast<Sample*>(current);
  auto* prev = reinterpret_cast<Sample*>(previous);
  set_line_edges(cur, prev, width, components);
  for (int c = 0; c < components; ++c) {
    component_line(s, bits, cur + c, prev + c, width, components, s.run_index[c]);
  }
}
