#include "support/random_map.h"

#include <cstdint>
#include <cstring>
#include <random>

#include "ptm/coefficients.h"

Ptm* make_random_map(int width, int height, int format, CoefRepresentation representation,
                     unsigned seed) {
  Ptm* ptm = create_ptm(width, height, format, representation);
  std::mt19937 random(seed);
  const std::size_t pixels = pixel_count(*ptm);
  const int planes = format == PTM_FORMAT_RGB ? 6 : 2;
  for (int p = 0; p < planes; ++p) {
    for (std::size_t i = 0; i < pixels * 3; ++i) ptm->coef_planes[p][i] = random() & 0xff;
  }
  for (int k = 0; k < 6; ++k) {
    ptm->scale_bias[k] = 256;
    ptm->scale_bias[6 + k] = k == 5 ? 0 : 128;
  }
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random())};
    if (format == PTM_FORMAT_LRGB) set_lrgb_color(*ptm, i, rgb);
    if (format == PTM_FORMAT_LUM) {
      ptm->color_planes[0][i] = rgb[0];
      ptm->color_planes[2][i] = rgb[1];
    }
  }
  if (ptm->color_matrix != nullptr) {
    const float matrix[16] = {1, 0.5f, 0, -20, 0, 1, 0.25f, 0, 0.3f, 0.7f, 0, 0, 0, 0, 0, 1};
    std::memcpy(ptm->color_matrix, matrix, sizeof matrix);
  }
  convert_all_coefficients(*ptm);
  return ptm;
}
