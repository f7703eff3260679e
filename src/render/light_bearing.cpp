#include "render/light_bearing.h"

#include <cmath>

RelitLight light_from_bearing(double azimuth_degrees, double elevation_degrees, float intensity) {
  constexpr double radians_per_degree = 3.14159265358979323846 / 180;
  const double azimuth = azimuth_degrees * radians_per_degree;
  const double across = std::cos(elevation_degrees * radians_per_degree);
  return {static_cast<float>(across * std::sin(azimuth)),
          static_cast<float>(across * std::cos(azimuth)), intensity};
}
