#include "ptm/interleave_planes.h"

#include "common/cpu_features.h"

void interleave_lrgb_planes(const std::uint8_t* const* planes, std::size_t count, std::uint8_t* six,
                            std::uint8_t* rgb) {
  const std::size_t done =
      cpu_has_avx2() ? interleave_lrgb_planes_avx2(planes, count, six, rgb) : 0;
  for (std::size_t i = done; i < count; ++i) {
    for (int k = 0; k < 6; ++k) six[6 * i + k] = planes[k][i];
    for (int c = 0; c < 3; ++c) rgb[3 * i + c] = planes[6 + c][i];
  }
}
