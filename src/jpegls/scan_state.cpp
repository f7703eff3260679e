#include "jpegls/scan_state.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "jpegls/codec_state.h"

namespace {

// Quantised gradient region, T.87 code segment A.4.
int quantize_gradient(int d, const ScanState& s) {
  if (d <= -s.t3) return -4;
  if (d <= -s.t2) return -3;
  if (d <= -s.t1) return -2;
  if (d < -s.near) return -1;
  if (d <= s.near) return 0;
  if (d < s.t1) return 1;
  if (d < s.t2) return 2;
  if (d < s.t3) return 3;
  return 4;
}

int ceil_log2(int value) {
  return value <= 1 ? 0 : std::bit_width(static_cast<unsigned>(value - 1));
}

}  // namespace

void reset_scan_contexts(ScanState& state) {
  const std::int32_t a = initial_context_a(state.range);
  for (RegularContext& ctx : state.regular) ctx = RegularContext{a, 0, 0, 1};
  for (RunContext& ctx : state.run) ctx = RunContext{a, 1, 0};
  std::fill(std::begin(state.run_index), std::end(state.run_index), 0);
}

int CreateQTables(JlsCodec* codec, ScanState& s, const JlsScanInfo& scan) {
  s.maxval = scan.alphabet - 1;
  s.near = scan.near;
  s.t1 = scan.t1;
  s.t2 = scan.t2;
  s.t3 = scan.t3;
  s.reset = scan.reset;
  // T.87 A.2.1.
  s.range = (s.maxval + 2 * s.near) / (2 * s.near + 1) + 1;
  s.qbpp = ceil_log2(s.range);
  s.bpp = std::max(2, ceil_log2(s.maxval + 1));
  s.limit = 2 * (s.bpp + std::max(8, s.bpp));
  // Reconstructed samples lie in 0..MAXVAL, so differences lie within
  // +-MAXVAL: one-byte samples index the table directly. Everything at or
  // beyond T3 is region 4, so two-byte samples use a table up to T3 and
  // clamp the differences.
  s.gradient_extent = s.maxval <= 255 ? s.maxval : std::min(s.maxval, std::max(s.t3, s.near) + 1);
  const int size = 2 * s.gradient_extent + 1;
  release_qtables(s);
  s.gradient_tables =
      static_cast<std::int16_t*>(jls_alloc(codec, 3u * size * sizeof(std::int16_t)));
  std::int16_t* q81 = s.gradient_tables + s.gradient_extent;
  std::int16_t* q9 = q81 + size;
  std::int16_t* q1 = q9 + size;
  for (int d = -s.gradient_extent; d <= s.gradient_extent; ++d) {
    const int q = quantize_gradient(d, s);
    q81[d] = static_cast<std::int16_t>(81 * q);
    q9[d] = static_cast<std::int16_t>(9 * q);
    q1[d] = static_cast<std::int16_t>(q);
  }
  s.q81 = q81;
  s.q9 = q9;
  s.q1 = q1;
  reset_scan_contexts(s);
  return 1;
}

void release_qtables(ScanState& state) {
  jls_free(state.gradient_tables);
  state.gradient_tables = nullptr;
}
