#include "ptm/coefficients.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// (b - B) * S / 256 in wrapping 32-bit arithmetic, the quotient truncated
// toward zero: a difference of -1 at scale 255 gives 0, not -1.
std::int32_t display_units(int stored_byte, std::int32_t scale, std::int32_t bias) {
  const auto difference = static_cast<std::int32_t>(static_cast<std::uint32_t>(stored_byte) -
                                                    static_cast<std::uint32_t>(bias));
  const auto t = static_cast<std::int32_t>(static_cast<std::uint32_t>(difference) *
                                           static_cast<std::uint32_t>(scale));
  return t / 256;
}

}  // namespace

std::int16_t packed_coefficient(int stored_byte, std::int32_t scale, std::int32_t bias) {
  return static_cast<std::int16_t>(
      std::clamp<std::int32_t>(display_units(stored_byte, scale, bias), INT16_MIN, INT16_MAX));
}

std::int32_t wide_coefficient(int k, int stored_byte, std::int32_t scale, std::int32_t bias) {
  const std::uint32_t factor = k == 5 ? 16384 : 16;
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(display_units(stored_byte, scale, bias)) * factor);
}

void build_coefficient_tables(const std::int32_t* scale_bias, CoefficientTables& tables) {
  for (int k = 0; k < 6; ++k) {
    for (int b = 0; b < 256; ++b) {
      tables.packed[k][b] = packed_coefficient(b, scale_bias[k], scale_bias[6 + k]);
      tables.wide[k][b] = wide_coefficient(k, b, scale_bias[k], scale_bias[6 + k]);
    }
  }
}

void convert_all_coefficients(Ptm& ptm) {
  if (!has_integer_form(ptm)) return;
  CoefficientTables tables;
  build_coefficient_tables(ptm.scale_bias, tables);
  const std::size_t pixels = pixel_count(ptm);
  const bool rgb = ptm.format == PTM_FORMAT_RGB || ptm.format == PTM_FORMAT_JPEG_RGB ||
                   ptm.format == PTM_FORMAT_JPEGLS_RGB;
  std::uint8_t six[6];
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < (rgb ? 3 : 1); ++c) {
      std::memcpy(six, ptm.coef_planes[2 * c] + p * 3, 3);
      std::memcpy(six + 3, ptm.coef_planes[2 * c + 1] + p * 3, 3);
      if (rgb) {
        convert_rgb_channel(ptm, tables, p, c, six);
      } else {
        // A packed record is rebuilt whole, so its colour goes back in.
        std::uint8_t colour[3];
        if (ptm.packed_lrgb != nullptr) {
          if (ptm.color_planes[0] != nullptr) {
            for (int k = 0; k < 3; ++k) colour[k] = ptm.color_planes[k][p];
          } else {
            get_lrgb_color(ptm, p, colour);
          }
        }
        convert_luminance_pixel(ptm, tables, p, six, ptm.packed_lrgb != nullptr ? colour : nullptr);
      }
    }
  }
}

bool scale_to_fixed(float value, std::int32_t& fixed) {
  const float scaled = value * 256.0f;
  if (!std::isfinite(scaled) || scaled >= 2147483648.0f || scaled <= -2147483649.0f) return false;
  fixed = static_cast<std::int32_t>(scaled);
  return true;
}
