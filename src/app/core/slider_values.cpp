#include "app/core/slider_values.h"

#include <algorithm>

float light_intensity_from_slider(double x) { return static_cast<float>(4 * x); }

float gain_from_slider(double x) { return static_cast<float>(1 + 100 * x * x * x * x); }

float light_extent_from_slider(double x) { return static_cast<float>(1 + extent_range * x); }

int specular_exponent_from_slider(double x) { return static_cast<int>(100 * x); }

double slider_position(double value) { return std::clamp(value, 0.0, 1.0); }

double slider_position_of_intensity(float intensity) { return slider_position(intensity * 0.25); }

double slider_position_of_extent(float extent) {
  return slider_position((extent - 1) / extent_range);
}

double slider_position_of_exponent(int exponent) { return slider_position(exponent * 0.01); }
