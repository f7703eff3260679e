#include "support/smooth_map.h"

#include <cmath>
#include <cstdint>
#include <random>

Ptm* make_smooth_lrgb_map(int side) {
  Ptm* ptm = create_ptm(side, side, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int k = 0; k < 12; ++k) ptm->scale_bias[k] = k < 6 ? 384 : (k < 11 ? 128 : 0);
  std::mt19937 random(1);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const std::size_t p = static_cast<std::size_t>(y) * side + x;
      for (int k = 0; k < 9; ++k) {
        const double wave = std::sin(x * 0.004 * (k + 1)) * std::cos(y * 0.003 * (9 - k));
        const auto value = static_cast<std::uint8_t>(128 + 90 * wave + (random() % 9) - 4);
        if (k < 6) {
          ptm->coef_planes[k / 3][3 * p + k % 3] = value;
        } else {
          ptm->color_planes[k - 6][p] = value;
        }
      }
    }
  }
  return ptm;
}
