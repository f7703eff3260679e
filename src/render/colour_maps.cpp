#include "render/colour_maps.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

std::uint8_t byte_of(double value) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

}  // namespace

void relief_colour(double t, std::uint8_t rgb[3]) {
  constexpr double start = 0.5;
  constexpr double rotations = -1.5;
  constexpr double hue = 1.0;
  const double lambda = std::clamp(t, 0.0, 1.0);
  const double phi = 2 * pi * (start / 3 + rotations * lambda);
  const double amplitude = hue * lambda * (1 - lambda) / 2;
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  rgb[0] = byte_of(lambda + amplitude * (-0.14861 * c + 1.78277 * s));
  rgb[1] = byte_of(lambda + amplitude * (-0.29227 * c - 0.90649 * s));
  rgb[2] = byte_of(lambda + amplitude * (1.97294 * c));
}

void signed_colour(double t, std::uint8_t rgb[3]) {
  // From white toward the end colour; the two ends have about the same
  // luminance, so neither sign looks stronger than the other.
  constexpr double blue[3] = {0.16, 0.33, 0.78};
  constexpr double red[3] = {0.78, 0.16, 0.16};
  const double s = std::clamp(t, -1.0, 1.0);
  const double* end = s < 0 ? blue : red;
  const double a = std::fabs(s);
  for (int c = 0; c < 3; ++c) rgb[c] = byte_of(1 + a * (end[c] - 1));
}
