// Scan decoding (T.87 A.2 to A.7 and Annex F): the decoder's side of the
// regular mode and of run mode, for line- and pixel-interleaved lines.
// Malformed data never leads out of the line buffers: run lengths are
// clipped to the line and broken codes are flagged in the bit reader,
// which the caller checks once per line.
#include <algorithm>

#include "jpegls/bit_reader.h"
#include "jpegls/sample_traits.h"
#include "jpegls/scan_coder.h"

namespace {

template <typename Sample, bool Lossless>
struct LineDecoder {
  using Traits = SampleTraits<Sample, Lossless>;

  // A mapped error codes a modulo-reduced error, so it is at most RANGE;
  // anything larger is broken data, which must not grow the context
  // variables beyond their bounds.
  static int checked(BitReader& r, const ScanState& s, int mapped) {
    if (mapped <= s.range) return mapped;
    r.error = 1;
    return 0;
  }

  // Regular-mode sample (T.87 A.3 to A.6) for signed context number q.
  static int regular(ScanState& s, BitReader& r, int q, int a, int b, int c) {
    const int sign = q >> 31;
    RegularContext& ctx = s.regular[(q ^ sign) - sign];
    const int predicted =
        Traits::clamp(predict_med(a, b, c) + ((ctx.c ^ sign) - sign), 0, s.maxval);
    const int k = golomb_parameter(ctx.n, ctx.a);
    const int mapped = checked(r, s, read_golomb(r, k, s.limit, s.qbpp));
    const int error = unmap_error(mapped, k, ctx, Lossless);
    update_regular_context(ctx, error, s.near, s.reset);
    return Traits::reconstruct(s, predicted, (error ^ sign) - sign);
  }

  // Run-interruption sample (T.87 A.7.2) with its RItype.
  static int interruption(ScanState& s, BitReader& r, int ritype, int ra, int rb, int run_index) {
    RunContext& ctx = s.run[ritype];
    const int k = run_interruption_k(ctx, ritype);
    const int mapped = checked(r, s, read_golomb(r, k, s.limit - kRunOrder[run_index] - 1, s.qbpp));
    int error = run_interruption_error(ctx, k, mapped, ritype);
    update_run_context(ctx, error, mapped, ritype, s.reset);
    if (ritype == 0 && ra > rb) error = -error;
    return Traits::reconstruct(s, ritype != 0 ? ra : rb, error);
  }

  // Run length (T.87 A.7.1, decoder side) from `x`: returns the number of
  // samples that repeat Ra and whether the run reached the end of the line.
  static int run_length(BitReader& r, int remaining, int& run_index, bool& to_end) {
    int length = 0;
    while (read_bit(r) != 0) {
      const int count = 1 << kRunOrder[run_index];
      if (count > remaining - length) {
        to_end = true;
        return remaining;
      }
      length += count;
      if (run_index < 31) ++run_index;
      if (length == remaining) {
        to_end = true;
        return remaining;
      }
    }
    length += read_bits(r, kRunOrder[run_index]);
    if (length >= remaining) {  // a run cannot end beyond the line
      r.error = 1;
      to_end = true;
      return remaining;
    }
    to_end = false;
    return length;
  }

  // One line of one component at `stride` samples per pixel.
  static void component_line(ScanState& s, BitReader& r, Sample* cur, const Sample* prev, int width,
                             int stride, int& run_index) {
    int x = 0;
    int a = cur[-stride];
    int b = prev[0];
    int c = prev[-stride];
    while (x < width) {
      const int d = prev[(x + 1) * stride];
      const int q = Traits::context(s, a, b, c, d);
      if (q != 0) {
        a = regular(s, r, q, a, b, c);
        cur[x * stride] = static_cast<Sample>(a);
        c = b;
        b = d;
        ++x;
        continue;
      }
      bool to_end = false;
      const int length = run_length(r, width - x, run_index, to_end);
      for (int i = 0; i < length; ++i) cur[(x + i) * stride] = static_cast<Sample>(a);
      x += length;
      if (to_end) break;
      b = prev[x * stride];
      const int ritype = Traits::same(s, a, b) ? 1 : 0;
      a = interruption(s, r, ritype, a, b, run_index);
      cur[x * stride] = static_cast<Sample>(a);
      if (run_index > 0) --run_index;
      ++x;
      c = b;
      b = prev[x * stride];
    }
  }

  static void line_interleaved(ScanState& s, BitReader& r, std::uint8_t* current,
                               std::uint8_t* previous, int width, int components) {
    code_line_interleaved<Sample>(s, r, current, previous, width, components, component_line);
  }

  // Sample interleaving (T.87 Annex B): one context set for all components;
  // run mode when every component's gradients are all in region 0, the run
  // repeating the whole pixel.
  static void pixel_interleaved(ScanState& s, BitReader& r, std::uint8_t* current,
                                std::uint8_t* previous, int width, int components) {
    auto* cur = reinterpret_cast<Sample*>(current);
    auto* prev = reinterpret_cast<Sample*>(previous);
    set_line_edges(cur, prev, width, components);
    const int n = components;
    int& run_index = s.run_index[0];
    int q[kJlsMaxScanComponents];
    for (int x = 0; x < width;) {
      Sample* px = cur + x * n;
      const Sample* above = prev + x * n;
      if (!Traits::pixel_contexts(s, px, above, n, q)) {
        for (int i = 0; i < n; ++i) {
          px[i] = static_cast<Sample>(regular(s, r, q[i], px[i - n], above[i], above[i - n]));
        }
        ++x;
        continue;
      }
      bool to_end = false;
      const int length = run_length(r, width - x, run_index, to_end);
      for (int j = 0; j < length; ++j) {
        for (int i = 0; i < n; ++i) px[j * n + i] = px[i - n];
      }
      x += length;
      if (to_end) break;
      Sample* out = cur + x * n;
      for (int i = 0; i < n; ++i) {
        out[i] = static_cast<Sample>(interruption(s, r, 0, out[i - n], prev[x * n + i], run_index));
      }
      if (run_index > 0) --run_index;
      ++x;
    }
  }
};

}  // namespace

LineDecodeFn select_line_decoder(bool two_byte, bool lossless, int interleave) {
  if (interleave == 1) {
    if (two_byte) {
      return lossless ? LineDecoder<std::uint16_t, true>::line_interleaved
                      : LineDecoder<std::uint16_t, false>::line_interleaved;
    }
    return lossless ? LineDecoder<std::uint8_t, true>::line_interleaved
                    : LineDecoder<std::uint8_t, false>::line_interleaved;
  }
  if (interleave == 2) {
    if (two_byte) return lossless ? LineDecoder<std::uint16_t, true>::pixel_interleaved : nullptr;
    return lossless ? LineDecoder<std::uint8_t, true>::pixel_interleaved
                    : LineDecoder<std::uint8_t, false>::pixel_interleaved;
  }
  return nullptr;
}
