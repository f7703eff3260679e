// The Gaussian blur of relief fields: its moments, its borders and its
// holes, against what a Gaussian of standard deviation sigma must give.
#include "analysis/gaussian_blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();

std::vector<float> blurred(const std::vector<float>& values, int width, int height, double sigma,
                           int threads = 1) {
  std::vector<float> out(values.size());
  gaussian_blur(values.data(), width, height, sigma, threads, out.data());
  return out;
}

// A unit impulse far from the borders spreads into weights that sum to 1
// with variance sigma^2 along each axis and no covariance.
TEST(GaussianBlur, AnImpulseSpreadsWithTheVarianceOfTheGaussian) {
  for (double sigma : {0.7, 2.0, 5.5}) {
    SCOPED_TRACE(sigma);
    constexpr int side = 81;
    std::vector<float> impulse(side * side, 0.0f);
    impulse[40 * side + 40] = 1;
    const std::vector<float> out = blurred(impulse, side, side, sigma);
    double sum = 0, xx = 0, yy = 0, xy = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const double w = out[y * side + x];
        sum += w;
        xx += w * (x - 40) * (x - 40);
        yy += w * (y - 40) * (y - 40);
        xy += w * (x - 40) * (y - 40);
      }
    }
    EXPECT_NEAR(sum, 1, 1e-5);
    // Cut at 3 sigma the sampled kernel's variance is a few per cent
    // short of sigma^2 (a sampled Gaussian of sigma 0.7 has 0.49 + ...).
    EXPECT_NEAR(xx, sigma * sigma, 0.04 * sigma * sigma + 0.02);
    EXPECT_NEAR(yy, xx, 1e-4);
    EXPECT_NEAR(xy, 0, 1e-5);
  }
}

// A plane keeps every value, the border pixels included; a constant too,
// around holes, which stay holes.
TEST(GaussianBlur, PlanesKeepTheirSlopeToTheBorderAndHolesStayHoles) {
  constexpr int width = 37, height = 23;
  std::vector<float> plane(width * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) plane[y * width + x] = 3.0f + 0.5f * x - 0.3f * y;
  const std::vector<float> out = blurred(plane, width, height, 4);
  for (std::size_t i = 0; i < plane.size(); ++i) ASSERT_NEAR(out[i], plane[i], 1e-4) << i;

  std::vector<float> holed(width * height, 2.5f);
  for (int y = 5; y < 12; ++y)
    for (int x = 0; x < 9; ++x) holed[y * width + x] = nan_value;
  const std::vector<float> around = blurred(holed, width, height, 3);
  for (std::size_t i = 0; i < holed.size(); ++i) {
    if (std::isnan(holed[i])) {
      EXPECT_TRUE(std::isnan(around[i])) << i;
    } else {
      ASSERT_NEAR(around[i], 2.5f, 1e-5) << i;
    }
  }
}

TEST(GaussianBlur, ZeroCopiesAndTheThreadCountChangesNoBit) {
  constexpr int width = 64, height = 90;
  std::vector<float> values(width * height);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(std::sin(0.37 * i));
  values[700] = nan_value;
  EXPECT_EQ(0, std::memcmp(blurred(values, width, height, 0).data(), values.data(),
                           values.size() * sizeof(float)));
  std::vector<float> whole = values;
  whole[700] = 0;
  // With a hole (the normalised blur) and without (the reflected borders).
  for (const std::vector<float>& field : {values, whole}) {
    const std::vector<float> one = blurred(field, width, height, 2.5, 1);
    const std::vector<float> four = blurred(field, width, height, 2.5, 4);
    EXPECT_EQ(0, std::memcmp(one.data(), four.data(), one.size() * sizeof(float)));
  }
}

}  // namespace
