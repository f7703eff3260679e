// Reading a relief from a fitted map: a tilted, bowed panel with a fine
// groove and a small dome, photographed under the sample lights (Lambertian
// shading), fitted with the project's fitter, then read back. The plane
// taken out of the depth leaves the true relief without its plane; the
// fine relief shows the groove and the dome and nothing of the tilt; the
// curvature is negative along the groove and positive on the dome.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "analysis/curvature_export.h"
#include "analysis/depth_export.h"
#include "analysis/ptm_fit.h"
#include "analysis/sample_relief.h"
#include "common/checked_alloc.h"
#include "common/coef_representation.h"

namespace {

constexpr int width = 96;
constexpr int height = 80;
// The groove runs up the column x = 30 from y = 12 to 68; the dome stands
// at (66, 40).
constexpr double groove_x = 30;
constexpr double groove_depth = 1.5;
constexpr double groove_sigma = 1.5;
constexpr double dome_x = 66;
constexpr double dome_y = 40;
constexpr double dome_height = 2;
constexpr double dome_sigma = 3;

// The groove's strength along its length: 1 in the middle, easing to 0
// over 6 pixels at each end.
double groove_profile(double y) {
  const double inside = std::fmin(y - 12, 68 - y) / 6;
  if (inside <= 0) return 0;
  return inside >= 1 ? 1 : inside * inside * (3 - 2 * inside);
}

// The panel: tilted by 0.25 and 0.15 pixels per pixel, bowed 7 pixels over
// the half-width, plus the groove and the dome.
double shape(double x, double y) {
  return 0.25 * x - 0.15 * y - 0.003 * ((x - 48) * (x - 48) + (y - 40) * (y - 40));
}
double features(double x, double y) {
  const double groove = -groove_depth * groove_profile(y) *
                        std::exp(-(x - groove_x) * (x - groove_x) / (2 * groove_sigma * groove_sigma));
  const double r2 = (x - dome_x) * (x - dome_x) + (y - dome_y) * (y - dome_y);
  const double dome = dome_height * std::exp(-r2 / (2 * dome_sigma * dome_sigma));
  return groove + dome;
}
double true_height(double x, double y) { return shape(x, y) + features(x, y); }

class ReliefReading : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::vector<float> normals(3 * pixels), albedo(3 * pixels, 0.8f);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        constexpr double e = 1e-3;
        const double hx = (true_height(x + e, y) - true_height(x - e, y)) / (2 * e);
        const double hy = (true_height(x, y + e) - true_height(x, y - e)) / (2 * e);
        const double length = std::sqrt(hx * hx + hy * hy + 1);
        float* n = &normals[3 * (static_cast<std::size_t>(y) * width + x)];
        n[0] = static_cast<float>(-hx / length);
        n[1] = static_cast<float>(-hy / length);
        n[2] = static_cast<float>(1 / length);
      }
    }
    const SampleRelief relief{width, height, normals.data(), albedo.data()};
    LightDirection lights[sample_light_count];
    sample_light_directions(lights);
    std::vector<RgbImage*> photographs;
    for (const LightDirection& light : lights) {
      photographs.push_back(new_rgb_image(width, height));
      render_lambertian(relief, light, *photographs.back());
    }
    LrgbFit fit;
    ASSERT_TRUE(fit_lrgb(photographs.data(), lights, sample_light_count, fit));
    map = make_lrgb_ptm(fit, preferred_representation());
    free_lrgb_fit(fit);
    for (RgbImage* photograph : photographs) free_rgb_image(photograph);
  }
  void TearDown() override { free_ptm(map); }

  std::vector<float> heights(const DepthSettings& settings) const {
    float* values = map_heights(*map, settings, CameraParameters{});
    std::vector<float> copy(values, values + static_cast<std::size_t>(width) * height);
    checked_free(values);
    return copy;
  }

  Ptm* map = nullptr;
};

float at(const std::vector<float>& values, int x, int y) {
  return values[static_cast<std::size_t>(y) * width + x];
}

// The least-squares plane through `values` taken out, in closed form: on
// a full grid the terms 1, x - mean x, y - mean y are orthogonal.
std::vector<double> without_plane(const std::vector<double>& values) {
  double mean = 0, sx = 0, sy = 0, xx = 0, yy = 0;
  const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double v = values[static_cast<std::size_t>(y) * width + x];
      mean += v;
      sx += v * (x - cx);
      sy += v * (y - cy);
      xx += (x - cx) * (x - cx);
      yy += (y - cy) * (y - cy);
    }
  }
  mean /= values.size();
  std::vector<double> rest(values.size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      rest[i] = values[i] - mean - sx / xx * (x - cx) - sy / yy * (y - cy);
    }
  }
  return rest;
}

double correlation(const std::vector<float>& a, const std::vector<double>& b) {
  double ma = 0, mb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) ma += a[i], mb += b[i];
  ma /= a.size();
  mb /= b.size();
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}

bool far_from_features(int x, int y) {
  return std::fabs(x - groove_x) > 8 && std::hypot(x - dome_x, y - dome_y) > 12 && x > 8 &&
         x < width - 8 && y > 8 && y < height - 8;
}

TEST_F(ReliefReading, ThePlaneDetrendedDepthFollowsTheTrueHeightWithoutItsPlane) {
  std::vector<double> truth(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) truth[static_cast<std::size_t>(y) * width + x] = true_height(x, y);
  const std::vector<double> detrended_truth = without_plane(truth);
  const std::vector<float> depth = heights({});  // poisson, plane: the defaults
  EXPECT_GT(correlation(depth, detrended_truth), 0.97);
  // Without its plane the depth's own plane is gone: the sums of depth
  // times x and times y over the map vanish with it.
  double sx = 0, sy = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      sx += at(depth, x, y) * (x - (width - 1) / 2.0);
      sy += at(depth, x, y) * (y - (height - 1) / 2.0);
    }
  }
  EXPECT_NEAR(sx / (width * height), 0, 1e-3);
  EXPECT_NEAR(sy / (width * height), 0, 1e-3);
  // Kept as integrated, the tilt dominates: a rise of 0.25 a pixel to the
  // right is 20 pixels across (the fitted normals lean a little less than
  // the true ones); without the plane little of it is left.
  DepthSettings whole;
  whole.trend = HeightTrend::none;
  const std::vector<float> integrated = heights(whole);
  EXPECT_GT(at(integrated, 88, 40) - at(integrated, 8, 40), 10);
  EXPECT_LT(std::fabs(at(depth, 88, 40) - at(depth, 8, 40)), 2);
}

TEST_F(ReliefReading, TheFineReliefShowsTheGrooveAndTheDomeAndNothingOfTheTilt) {
  DepthSettings settings;
  settings.detail_sigma = 4;
  const std::vector<float> detail = heights(settings);
  // A Gaussian groove of width s under a blur of sigma keeps about
  // 1 - s / sqrt(s^2 + sigma^2) of its depth (0.65 here), a dome
  // 1 - s^2 / (s^2 + sigma^2) of its height (0.64).
  double groove = 0;
  for (int y = 25; y <= 55; ++y) groove += at(detail, static_cast<int>(groove_x), y);
  groove /= 31;
  EXPECT_LT(groove, -0.5 * groove_depth * 0.65);
  EXPECT_GT(at(detail, static_cast<int>(dome_x), static_cast<int>(dome_y)), 0.5 * dome_height * 0.64);
  // Away from them the fine relief is flat: no trace of the tilt (0.25 a
  // pixel, 20 pixels across) in level or in slope. The bow leaves a
  // uniform 0.003 x 2 sigma^2 = 0.1: the blur of a paraboloid is the
  // paraboloid shifted by its curvature times the blur's variance.
  double worst = 0, sx = 0, xx = 0, sy = 0, yy = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!far_from_features(x, y)) continue;
      const double v = at(detail, x, y);
      worst = std::fmax(worst, std::fabs(v));
      sx += v * (x - 48.0);
      xx += (x - 48.0) * (x - 48.0);
      sy += v * (y - 40.0);
      yy += (y - 40.0) * (y - 40.0);
    }
  }
  EXPECT_LT(worst, 0.25);
  EXPECT_LT(std::fabs(sx / xx), 0.002);
  EXPECT_LT(std::fabs(sy / yy), 0.002);
}

TEST_F(ReliefReading, CurvatureIsNegativeAlongTheGrooveAndPositiveOnTheDome) {
  CurvatureSettings settings;
  float* curvature = map_curvature(*map, settings);
  const std::vector<float> h(curvature, curvature + static_cast<std::size_t>(width) * height);
  checked_free(curvature);
  // -(h_xx + h_yy) / 2 at the groove's floor: -depth / (2 s^2) = -0.33,
  // on the dome's top: height / s^2 = 0.22, less after the blur.
  for (int y = 25; y <= 55; y += 5) {
    EXPECT_LT(at(h, static_cast<int>(groove_x), y), -0.1) << "groove at y = " << y;
    EXPECT_GT(at(h, static_cast<int>(groove_x) + 4, y), at(h, static_cast<int>(groove_x), y));
  }
  EXPECT_GT(at(h, static_cast<int>(dome_x), static_cast<int>(dome_y)), 0.08);
  // The bow alone: -(h_xx + h_yy) / 2 = 0.006.
  EXPECT_NEAR(at(h, 48, 65), 0.006, 0.02);
  // In 1/mm with 4 pixels a millimetre: four times as much.
  settings.pixels_per_mm = 4;
  curvature = map_curvature(*map, settings);
  EXPECT_FLOAT_EQ(curvature[static_cast<std::size_t>(dome_y) * width + static_cast<int>(dome_x)],
                  4 * at(h, static_cast<int>(dome_x), static_cast<int>(dome_y)));
  checked_free(curvature);
}

}  // namespace
