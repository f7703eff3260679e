// The sRGB transfer curve (IEC 61966-2-1): how cameras and most pictures
// encode light in their samples. Measurements that mix light from two
// sides of an edge (a pixel half on a sphere, half on the table) are made
// on linear light, where such a pixel holds the mean of the two.
#pragma once

#include <cmath>

// Encoded sample 0..1 to linear light 0..1.
inline double srgb_to_linear(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// Linear light 0..1 to the encoded sample 0..1.
inline double linear_to_srgb(double linear) {
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}
