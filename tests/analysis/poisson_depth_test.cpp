// The Poisson integration against surfaces whose height is known in closed
// form: the normal field is made from the analytic slopes, and the height
// must come back up to the one constant the slopes cannot give.
#include "analysis/poisson_depth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Slope {
  double dx;
  double dy;
};

struct AnalyticSurface {
  std::string name;
  int width;
  int height;
  std::function<double(double, double)> h;
  std::function<Slope(double, double)> slope;
  // Largest and root-mean-square error allowed, in pixels: float rounding
  // for the surfaces the trapezoid steps integrate exactly; for the cap,
  // the rim's kink (measured 0.22 and 0.034 on a cap 13.5 pixels high).
  double worst_error;
  double rms_error;
};

// The sphere x^2 + y^2 + z^2 = R^2 above the plane that cuts it in a circle
// of radius r0, standing on a flat ground: continuous, with a kink at the
// rim where the slope r0 / sqrt(R^2 - r0^2) drops to 0.
constexpr double sphere_radius = 40.0;
constexpr double cap_radius = 30.0;

double cap_height(double r2) {
  if (r2 >= cap_radius * cap_radius) return 0.0;
  return std::sqrt(sphere_radius * sphere_radius - r2) -
         std::sqrt(sphere_radius * sphere_radius - cap_radius * cap_radius);
}

std::vector<AnalyticSurface> surfaces() {
  const double cx = 50.3;
  const double cy = 37.6;
  return {
      {"tilted plane", 97, 64, [](double x, double y) { return 0.35 * x - 0.8 * y; },
       [](double, double) {
         return Slope{0.35, -0.8};
       },
       1e-4, 1e-5},
      // Quadratic surfaces are integrated exactly by the trapezoid steps.
      {"paraboloid", 101, 77,
       [=](double x, double y) {
         return 30.0 - ((x - cx) * (x - cx) / 120.0 + (y - cy) * (y - cy) / 90.0);
       },
       [=](double x, double y) {
         return Slope{-(x - cx) / 60.0, -(y - cy) / 45.0};
       },
       1e-4, 1e-5},
      {"sphere cap", 100, 80,
       [=](double x, double y) { return cap_height((x - cx) * (x - cx) + (y - cy) * (y - cy)); },
       [=](double x, double y) {
         const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
         if (r2 >= cap_radius * cap_radius) return Slope{0.0, 0.0};
         const double z = std::sqrt(sphere_radius * sphere_radius - r2);
         return Slope{-(x - cx) / z, -(y - cy) / z};
       },
       0.25, 0.04},
  };
}

TEST(PoissonDepth, RecoversAnalyticSurfacesUpToAConstant) {
  for (const AnalyticSurface& surface : surfaces()) {
    SCOPED_TRACE(surface.name);
    const int w = surface.width;
    const int h = surface.height;
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::vector<float> normals(pixels * 3);
    std::vector<double> expected(pixels);
    double expected_mean = 0.0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const std::size_t i =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
        const Slope s = surface.slope(x, y);
        // (-dh/dx, -dh/dy, 1), normalised.
        const double length = std::sqrt(s.dx * s.dx + s.dy * s.dy + 1.0);
        normals[3 * i] = static_cast<float>(-s.dx / length);
        normals[3 * i + 1] = static_cast<float>(-s.dy / length);
        normals[3 * i + 2] = static_cast<float>(1.0 / length);
        expected[i] = surface.h(x, y);
        expected_mean += expected[i];
      }
    }
    expected_mean /= static_cast<double>(pixels);
    std::vector<float> depth(pixels);
    poisson_depth(normals.data(), nullptr, w, h, depth.data());
    double mean = 0.0;
    double worst = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < pixels; ++i) {
      mean += depth[i];
      const double error = depth[i] - (expected[i] - expected_mean);
      worst = std::fmax(worst, std::fabs(error));
      squares += error * error;
    }
    EXPECT_NEAR(mean / static_cast<double>(pixels), 0.0, 1e-4);
    EXPECT_LE(worst, surface.worst_error);
    EXPECT_LE(std::sqrt(squares / static_cast<double>(pixels)), surface.rms_error);
  }
}

// Normals at or beyond edge-on count as nz = 0.1: the normal (-1, 0, 0)
// is a slope of 10, (0.6, 0, -0.8) one of -6. Every row is the same, so
// the slopes integrate exactly: the height climbs 10 across the first
// column (5 on each of its two steps) and falls 6 across the second.
TEST(PoissonDepth, EdgeOnAndBackFacingNormalsAreClampedToSlopesOfTen) {
  const int w = 20;
  const int h = 6;
  std::vector<float> normals;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float n[3][3] = {{0, 0, 1}, {-1, 0, 0}, {0.6f, 0, -0.8f}};
      const int kind = x == 7 ? 1 : x == 13 ? 2 : 0;
      normals.insert(normals.end(), n[kind], n[kind] + 3);
    }
  }
  std::vector<float> depth(static_cast<std::size_t>(w * h));
  poisson_depth(normals.data(), nullptr, w, h, depth.data());
  for (int y = 0; y < h; ++y) {
    const float* row = depth.data() + y * w;
    EXPECT_NEAR(row[8] - row[6], 10.0, 1e-4);
    EXPECT_NEAR(row[7] - row[6], 5.0, 1e-4);
    EXPECT_NEAR(row[14] - row[12], -6.0, 1e-4);
    EXPECT_NEAR(row[19] - row[0], 4.0, 1e-4);
  }
}

}  // namespace
