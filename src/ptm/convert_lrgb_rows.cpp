#include "ptm/convert_lrgb_rows.h"

#include "common/cpu_features.h"

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
