// The colour the drawing functions (text, shapes) lay over a picture.
#pragma once

#include <cstdint>

struct DrawColor {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};

// `to` laid over the sample `under` with `coverage` 0..255 of it: the
// sample moves toward the colour by that share, rounded to nearest.
inline std::uint8_t blend_sample(std::uint8_t under, std::uint8_t to, int coverage) {
  const int difference = (to - under) * coverage;
  return static_cast<std::uint8_t>(under + (difference + (difference >= 0 ? 127 : -127)) / 255);
}
