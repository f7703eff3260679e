#include "ptm/interleave_planes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/cpu_features.h"

namespace {

// Plane k at pixel i holds 9 i + k (mod 256), so every output byte names
// its pixel and plane.
TEST(InterleavePlanes, SixCoefficientAndThreeColourBytesPerPixel) {
  for (std::size_t count : {0u, 1u, 15u, 16u, 37u, 300u}) {
    std::vector<std::vector<std::uint8_t>> planes(9, std::vector<std::uint8_t>(count));
    const std::uint8_t* pointers[9];
    for (int k = 0; k < 9; ++k) {
      for (std::size_t i = 0; i < count; ++i) planes[k][i] = static_cast<std::uint8_t>(9 * i + k);
      pointers[k] = planes[k].data();
    }
    std::vector<std::uint8_t> six(count * 6);
    std::vector<std::uint8_t> rgb(count * 3);
    interleave_lrgb_planes(pointers, count, six.data(), rgb.data());
    for (std::size_t i = 0; i < count; ++i) {
      for (int k = 0; k < 6; ++k) {
        ASSERT_EQ(six[6 * i + k], static_cast<std::uint8_t>(9 * i + k)) << count << " " << i;
      }
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(rgb[3 * i + c], static_cast<std::uint8_t>(9 * i + 6 + c)) << count << " " << i;
      }
    }
    if (cpu_has_avx2()) {
      EXPECT_EQ(interleave_lrgb_planes_avx2(pointers, count, six.data(), rgb.data()),
                count / 16 * 16);
    }
  }
}

}  // namespace
