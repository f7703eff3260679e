#include "jpegls/scan_state.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "jpegls/codec_state.h"

namespace {

// Quantised gradient regions, T.87 code segment A.4: a difference d is in
// region -4 .. 3 when it does not exceed that region's bound and no bound
// before it, and in region 4 beyond them all. Each region is so a run of
// consecutive differences, whatever the thresholds, filled at once rather
// than by testing the bounds for each of up to 2 * 65535 + 1 differences.
void fill_gradient_tables(const ScanState& s, std::int16_t* q81, std::int16_t* q9,
                          std::int16_t* q1) {
  const int bounds[8] = {-s.t3, -s.t2, -s.t1, -s.near - 1, s.near, s.t1 - 1, s.t2 - 1, s.t3 - 1};
  const int extent = s.gradient_extent;
  int first = -extent;
  for (int region = -4; region <= 4 && first <= extent; ++region) {
    const int last = region < 4 ? std::min(bounds[region + 4], extent) : extent;
    if (last < first) continue;
    std::fill(q81 + first, q81 + last + 1, static_cast<std::int16_t>(81 * region));
    std::fill(q9 + first, q9 + last + 1, static_cast<std::int16_t>(9 * region));
    std::fill(q1 + first, q1 + last + 1, static_cast<std::int16_t>(region));
    first = last + 1;
  }
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
  fill_gradient_tables(s, q81, q9, q1);
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
