// Scan encoding (T.87 A.2 to A.7): regular mode and run mode for line- and
// pixel-interleaved lines. Near-lossless coding replaces each sample by its
// reconstruction, so later predictions match the decoder's.
#include "jpegls/bit_writer.h"
#include "jpegls/sample_traits.h"
#include "jpegls/scan_coder.h"

namespace {

template <typename Sample, bool Lossless>
struct LineEncoder {
  using Traits = SampleTraits<Sample, Lossless>;

  // Regular-mode sample (T.87 A.3 to A.6); returns the reconstructed value.
  static int regular(ScanState& s, BitWriter& w, int q, int x, int a, int b, int c) {
    const int sign = q >> 31;
    RegularContext& ctx = s.regular[(q ^ sign) - sign];
    const int predicted =
        Traits::clamp(predict_med(a, b, c) + ((ctx.c ^ sign) - sign), 0, s.maxval);
    int reconstructed = 0;
    const int error = Traits::coded_error(s, x, predicted, sign, reconstructed);
    const int k = golomb_parameter(ctx.n, ctx.a);
    write_golomb(w, map_error(error, k, ctx, Lossless), k, s.limit, s.qbpp);
    update_regular_context(ctx, error, s.near, s.reset);
    return reconstructed;
  }

  // Run-interruption sample (T.87 A.7.2, code segments A.17 to A.23).
  static int interruption(ScanState& s, BitWriter& w, int ritype, int x, int ra, int rb,
                          int run_index) {
    const int predicted = ritype != 0 ? ra : rb;
    const int sign = (ritype == 0 && ra > rb) ? -1 : 0;
    int reconstructed = 0;
    const int error = Traits::coded_error(s, x, predicted, sign, reconstructed);
    RunContext& ctx = s.run[ritype];
    const int k = run_interruption_k(ctx, ritype);
    const bool map = run_interruption_map(ctx, k, error);
    const int mapped = 2 * (error < 0 ? -error : error) - ritype - (map ? 1 : 0);
    write_golomb(w, mapped, k, s.limit - kRunOrder[run_index] - 1, s.qbpp);
    update_run_context(ctx, error, mapped, ritype, s.reset);
    return reconstructed;
  }

  // Code segment A.14 (and A.15 at the end of a line).
  static void run_length(BitWriter& w, int length, bool to_end, int& run_index) {
    while (length >= (1 << kRunOrder[run_index])) {
      write_bits(w, 1, 1);
      length -= 1 << kRunOrder[run_index];
      if (run_index < 31) ++run_index;
    }
    if (to_end) {
      if (length > 0) write_bits(w, 1, 1);
    } else {
      write_bits(w, 0, 1);
      write_bits(w, static_cast<std::uint32_t>(length), kRunOrder[run_index]);
    }
  }

  static void component_line(ScanState& s, BitWriter& w, Sample* cur, const Sample* prev, int width,
                             int stride, int& run_index) {
    int x = 0;
    int a = cur[-stride];
    int b = prev[0];
    int c = prev[-stride];
    while (x < width) {
      const int d = prev[(x + 1) * stride];
      const int q = Traits::context(s, a, b, c, d);
      if (q != 0) {
        a = regular(s, w, q, cur[x * stride], a, b, c);
        cur[x * stride] = static_cast<Sample>(a);
        c = b;
        b = d;
        ++x;
        continue;
      }
      int length = 0;
      while (x + length < width && Traits::same(s, cur[(x + length) * stride], a)) {
        cur[(x + length) * stride] = static_cast<Sample>(a);
        ++length;
      }
      x += length;
      const bool to_end = x == width;
      run_length(w, length, to_end, run_index);
      if (to_end) break;
      b = prev[x * stride];
      const int ritype = Traits::same(s, a, b) ? 1 : 0;
      a = interruption(s, w, ritype, cur[x * stride], a, b, run_index);
      cur[x * stride] = static_cast<Sample>(a);
      if (run_index > 0) --run_index;
      ++x;
      c = b;
      b = prev[x * stride];
    }
  }

  static void line_interleaved(ScanState& s, BitWriter& w, std::uint8_t* current,
                               std::uint8_t* previous, int width, int components) {
    code_line_interleaved<Sample>(s, w, current, previous, width, components, component_line);
  }

  static bool same_pixel(const ScanState& s, const Sample* p, const Sample* ra, int n) {
    for (int i = 0; i < n; ++i) {
      if (!Traits::same(s, p[i], ra[i])) return false;
    }
    return true;
  }

  static void pixel_interleaved(ScanState& s, BitWriter& w, std::uint8_t* current,
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
          px[i] =
              static_cast<Sample>(regular(s, w, q[i], px[i], px[i - n], above[i], above[i - n]));
        }
        ++x;
        continue;
      }
      const Sample* ra = px - n;
      int length = 0;
      while (x + length < width && same_pixel(s, px + length * n, ra, n)) {
        for (int i = 0; i < n; ++i) px[length * n + i] = ra[i];
        ++length;
      }
      x += length;
      const bool to_end = x == width;
      run_length(w, length, to_end, run_index);
      if (to_end) break;
      Sample* out = cur + x * n;
      for (int i = 0; i < n; ++i) {
        out[i] = static_cast<Sample>(
            interruption(s, w, 0, out[i], out[i - n], prev[x * n + i], run_index));
      }
      if (run_index > 0) --run_index;
      ++x;
    }
  }
};

}  // namespace

LineEncodeFn select_line_encoder(bool two_byte, bool lossless, int interleave) {
  if (two_byte && !lossless) return nullptr;
  if (interleave == 1) {
    if (two_byte) return LineEncoder<std::uint16_t, true>::line_interleaved;
    return lossless ? LineEncoder<std::uint8_t, true>::line_interleaved
                    : LineEncoder<std::uint8_t, false>::line_interleaved;
  }
  if (interleave == 2) {
    if (two_byte) return LineEncoder<std::uint16_t, true>::pixel_interleaved;
    return lossless ? LineEncoder<std::uint8_t, true>::pixel_interleaved
                    : LineEncoder<std::uint8_t, false>::pixel_interleaved;
  }
  return nullptr;
}
