#include "ptm/convert_lrgb_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "common/cpu_features.h"

namespace {

// The vectorised conversion against the per-pixel reference, over random
// stored bytes and random scales and biases, including ones whose products
// wrap in 32 bits and whose quotients saturate.
TEST(ConvertLrgbRows, EveryByteEqualsThePerPixelConversion) {
  std::mt19937 random(42);
  const int scale_choices[] = {256, 179, 51200, -384, 1, 0, 2147483647, -2147483647 - 1, 65536};
  const int bias_choices[] = {0, 128, 255, -1000, 300, 2147483647, -2147483647 - 1};
  for (int round = 0; round < 40; ++round) {
    const int width = 1 + static_cast<int>(random() % 61);
    const int height = 1 + static_cast<int>(random() % 5);
    Ptm* fast = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::packed);
    Ptm* reference = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::packed);
    for (int k = 0; k < 6; ++k) {
      fast->scale_bias[k] = round % 2 == 0 ? scale_choices[random() % 9]
                                           : static_cast<int>(random() % 100000) - 50000;
      fast->scale_bias[6 + k] = bias_choices[random() % 7];
    }
    std::memcpy(reference->scale_bias, fast->scale_bias, 12 * sizeof(std::int32_t));
    const std::size_t pixels = pixel_count(*fast);
    std::vector<std::uint8_t> six(pixels * 6 + 8);
    std::vector<std::uint8_t> rgb(pixels * 3 + 8);
    for (auto& b : six) b = static_cast<std::uint8_t>(random());
    for (auto& b : rgb) b = static_cast<std::uint8_t>(random());

    CoefficientTables tables;
    build_coefficient_tables(fast->scale_bias, tables);
    convert_lrgb_rows(*fast, tables, 0, pixels, six.data(), rgb.data());
    for (std::size_t p = 0; p < pixels; ++p) {
      store_stored_bytes(reference->coef_planes[0], reference->coef_planes[1], p, &six[p * 6]);
      convert_luminance_pixel(*reference, tables, p, &six[p * 6], &rgb[p * 3]);
    }
    // The same bytes as planes, converted in two calls so that the second
    // starts at any pixel.
    Ptm* planar = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::packed);
    std::memcpy(planar->scale_bias, fast->scale_bias, 12 * sizeof(std::int32_t));
    std::vector<std::vector<std::uint8_t>> planes(9, std::vector<std::uint8_t>(pixels));
    for (std::size_t p = 0; p < pixels; ++p) {
      for (int k = 0; k < 9; ++k) planes[k][p] = k < 6 ? six[p * 6 + k] : rgb[p * 3 + k - 6];
    }
    const std::size_t split = pixels / 2;
    const std::uint8_t* first_part[9];
    const std::uint8_t* second_part[9];
    for (int k = 0; k < 9; ++k) {
      first_part[k] = planes[k].data();
      second_part[k] = planes[k].data() + split;
    }
    convert_lrgb_planes(*planar, tables, 0, split, first_part);
    convert_lrgb_planes(*planar, tables, split, pixels - split, second_part);

    for (const Ptm* converted : {fast, planar}) {
      ASSERT_EQ(std::memcmp(converted->coef_planes[0], reference->coef_planes[0], pixels * 3), 0);
      ASSERT_EQ(std::memcmp(converted->coef_planes[1], reference->coef_planes[1], pixels * 3), 0);
      for (std::size_t p = 0; p < pixels; ++p) {
        ASSERT_EQ(std::memcmp(&converted->packed_lrgb[p], &reference->packed_lrgb[p], 16), 0)
            << "round " << round << " pixel " << p << (converted == planar ? " from planes" : "");
      }
    }
    free_ptm(planar);
    free_ptm(fast);
    free_ptm(reference);
  }
}

TEST(ConvertLrgbRows, TheKernelsTakeWholeGroupsOnAvx2Processors) {
  if (!cpu_has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
  Ptm* ptm = create_ptm(21, 1, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  for (int k = 0; k < 12; ++k) ptm->scale_bias[k] = k < 6 ? 256 : 0;
  std::vector<std::uint8_t> six(21 * 6 + 8, 7);
  std::vector<std::uint8_t> rgb(21 * 3 + 8, 9);
  EXPECT_EQ(convert_lrgb_packed_rows_avx2(*ptm, 0, 21, six.data(), rgb.data()), 16u);
  EXPECT_EQ(ptm->packed_lrgb[15].coef[5], 7);
  EXPECT_EQ(ptm->packed_lrgb[15].blue, 9);
  EXPECT_EQ(ptm->packed_lrgb[15].zero, 0);
  const std::vector<std::uint8_t> plane(21, 5);
  const std::uint8_t* planes[9];
  for (auto& p : planes) p = plane.data();
  EXPECT_EQ(convert_lrgb_planes_packed_avx2(*ptm, 0, 21, planes), 16u);
  EXPECT_EQ(ptm->packed_lrgb[15].coef[5], 5);
  EXPECT_EQ(ptm->packed_lrgb[15].blue, 5);
  free_ptm(ptm);
}

}  // namespace
