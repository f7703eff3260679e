// The trend taken out of a relief, against fields whose trend is known.
#include "analysis/height_trend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();

std::vector<float> field(int width, int height, const std::function<double(int, int)>& h) {
  std::vector<float> values(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) values[static_cast<std::size_t>(y) * width + x] = static_cast<float>(h(x, y));
  return values;
}

double plane(int x, int y) { return 7 + 0.4 * x - 0.25 * y; }
double quadric(int x, int y) { return plane(x, y) + 0.01 * x * x - 0.02 * x * y + 0.015 * y * y; }
// On the 41 x 21 grid below orthogonal to 1, x and y yet not a plane: a
// product of a term even about the centre column with zero sum (the mean
// of (x - 20)^2 over x = 0..40 is 140) and one even about the centre row.
double bowl_wave(int x, int y) {
  return ((x - 20) * (x - 20) - 140) * (1 + 0.1 * (y - 10) * (y - 10)) / 100;
}

TEST(HeightTrend, TakesOutExactlyTheTermsAsked) {
  struct Case {
    std::string name;
    int width, height;
    std::function<double(int, int)> h;
    HeightTrend trend;
    std::function<double(int, int)> expected;  // what remains
  };
  const auto zero = [](int, int) { return 0.0; };
  const std::vector<Case> cases = {
      {"plane by plane", 41, 21, plane, HeightTrend::plane, zero},
      {"quadric by quadric", 41, 21, quadric, HeightTrend::quadric, zero},
      {"plane plus orthogonal wave by plane", 41, 21,
       [](int x, int y) { return plane(x, y) + bowl_wave(x, y); }, HeightTrend::plane, bowl_wave},
      {"none", 41, 21, quadric, HeightTrend::none, quadric},
      // One row cannot tell y from the constant: the y terms are left out
      // and the slope along x still goes.
      {"one row by quadric", 30, 1, [](int x, int) { return 3 - 0.5 * x + 0.02 * x * x; },
       HeightTrend::quadric, zero},
      {"one pixel", 1, 1, [](int, int) { return 4.0; }, HeightTrend::quadric, zero},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<float> values = field(c.width, c.height, c.h);
    remove_height_trend(values.data(), c.width, c.height, c.trend, 1);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        ASSERT_NEAR(values[static_cast<std::size_t>(y) * c.width + x], c.expected(x, y), 2e-4)
            << x << ", " << y;
      }
    }
  }
}

TEST(HeightTrend, PixelsWithoutHeightNeitherCountNorChangeAndThreadsAgree) {
  constexpr int width = 50, height = 70;
  std::vector<float> values = field(width, height, plane);
  // A hole whose values, were they counted, would tilt the fit.
  for (int y = 10; y < 30; ++y)
    for (int x = 5; x < 25; ++x) values[static_cast<std::size_t>(y) * width + x] = nan_value;
  std::vector<float> by_three = values;
  remove_height_trend(values.data(), width, height, HeightTrend::plane, 1);
  remove_height_trend(by_three.data(), width, height, HeightTrend::plane, 3);
  EXPECT_EQ(0, std::memcmp(values.data(), by_three.data(), values.size() * sizeof(float)));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const float v = values[static_cast<std::size_t>(y) * width + x];
      if (y >= 10 && y < 30 && x >= 5 && x < 25) {
        EXPECT_TRUE(std::isnan(v));
      } else {
        ASSERT_NEAR(v, 0, 2e-4) << x << ", " << y;
      }
    }
  }
}

}  // namespace
