#include "ptm/convert_lrgb_rows.h"

#include <algorithm>

#include "common/cpu_features.h"
#include "ptm/interleave_planes.h"

void convert_lrgb_rows(Ptm& ptm, const CoefficientTables& tables, std::size_t first,
                       std::size_t count, const std::uint8_t* six, const std::uint8_t* rgb) {
  std::size_t done = 0;
  // The kernel's plane stores spill one byte past each pixel, so it never
  // takes the map's last pixel.
  const bool ends_map = first + count == pixel_count(ptm);
  if (ptm.packed_lrgb != nullptr && cpu_has_avx2()) {
    done = convert_lrgb_packed_rows_avx2(ptm, first, ends_map ? count - 1 : count, six, rgb);
  }
  for (std::size_t i = done; i < count; ++i) {
    store_stored_bytes(ptm.coef_planes[0], ptm.coef_planes[1], first + i, six + i * 6);
    convert_luminance_pixel(ptm, tables, first + i, six + i * 6, rgb + i * 3);
  }
}

void convert_lrgb_planes(Ptm& ptm, const CoefficientTables& tables, std::size_t first,
                         std::size_t count, const std::uint8_t* const* planes) {
  std::size_t done = 0;
  if (ptm.packed_lrgb != nullptr && cpu_has_avx2()) {
    done = convert_lrgb_planes_packed_avx2(ptm, first, count, planes);
  }
  // The rest in runs, interleaved as an uncompressed file lays the bytes
  // out (with the row converter's 8 bytes of slack).
  constexpr std::size_t run = 2048;
  std::uint8_t six[run * 6 + 8];
  std::uint8_t rgb[run * 3 + 8];
  for (std::size_t start = done; start < count; start += run) {
    const std::size_t length = std::min(run, count - start);
    const std::uint8_t* run_planes[9];
    for (int k = 0; k < 9; ++k) run_planes[k] = planes[k] + start;
    interleave_lrgb_planes(run_planes, length, six, rgb);
    convert_lrgb_rows(ptm, tables, first + start, length, six, rgb);
  }
}
