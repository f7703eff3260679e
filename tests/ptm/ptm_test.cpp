#include "ptm/ptm.h"

#include <gtest/gtest.h>

#include "common/checked_alloc.h"
#include "ptm/coefficients.h"

namespace {

std::int8_t* new_normals_for_test(std::size_t pixels) {
  auto* normals = checked_alloc_array<std::int8_t>(pixels * 3);
  for (std::size_t i = 0; i < pixels * 3; ++i) normals[i] = 1;
  return normals;
}

TEST(CreatePtm, AllocatesExactlyTheArraysOfTheFormatAndRepresentation) {
  Ptm* rgb = create_ptm(3, 2, PTM_FORMAT_JPEGLS_RGB, CoefRepresentation::packed);
  for (auto* plane : rgb->coef_planes) EXPECT_NE(plane, nullptr);
  EXPECT_NE(rgb->packed_rgb, nullptr);
  EXPECT_EQ(rgb->coef_int[0], nullptr);
  EXPECT_EQ(rgb->color_planes[0], nullptr);
  EXPECT_EQ(rgb->normals, nullptr);
  EXPECT_EQ(rgb->mask, nullptr);
  free_ptm(rgb);

  Ptm* lrgb = create_ptm(3, 2, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  EXPECT_NE(lrgb->lum_coef_int, nullptr);
  for (auto* plane : lrgb->color_planes) EXPECT_NE(plane, nullptr);
  EXPECT_EQ(lrgb->coef_planes[2], nullptr);
  EXPECT_EQ(lrgb->packed_lrgb, nullptr);
  free_ptm(lrgb);

  Ptm* lum = create_ptm(3, 2, PTM_FORMAT_LUM, CoefRepresentation::wide);
  EXPECT_NE(lum->color_planes[0], nullptr);
  EXPECT_EQ(lum->color_planes[1], nullptr);
  EXPECT_NE(lum->color_planes[2], nullptr);
  EXPECT_NE(lum->color_matrix, nullptr);
  free_ptm(lum);
}

TEST(CreatePtmDeathTest, TableFormatsAreNotAMapFormat) {
  EXPECT_EXIT(create_ptm(2, 2, PTM_FORMAT_PTM_LUT, CoefRepresentation::packed),
              testing::ExitedWithCode(255), "");
  testing::internal::CaptureStdout();
  EXPECT_EXIT({ create_ptm(2, 2, 9, CoefRepresentation::wide); }, testing::ExitedWithCode(255), "");
  testing::internal::GetCapturedStdout();
}

TEST(DerivedPtm, SharesTheColourMatrixAndOptionallyTheColourPlanes) {
  Ptm* lum = create_ptm(4, 4, PTM_FORMAT_LUM, CoefRepresentation::wide);
  for (int i = 0; i < 16; ++i) lum->color_matrix[i] = static_cast<float>(i);
  Ptm* derived = create_derived_ptm(*lum);
  EXPECT_EQ(derived->color_matrix, lum->color_matrix);
  EXPECT_EQ(derived->coef_planes[0], nullptr);
  EXPECT_NE(derived->color_planes[0], lum->color_planes[0]);
  free_derived_ptm(derived);
  EXPECT_EQ(lum->color_matrix[15], 15.0f);  // still the source's, still intact

  Ptm* lrgb = create_ptm(4, 4, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  Ptm* shared = create_derived_ptm_shared(*lrgb);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(shared->color_planes[c], lrgb->color_planes[c]);
  EXPECT_NE(shared->lum_coef_int, lrgb->lum_coef_int);
  free_derived_ptm_shared(shared);
  lrgb->color_planes[2][15] = 9;  // the sanitizer build catches a use after free here
  EXPECT_EQ(lrgb->color_planes[2][15], 9);
  free_ptm(lrgb);
  free_ptm(lum);
}

TEST(DerivedPtm, TakingOwnColourPlanesCopiesThemAndFreesByTheMatchingRule) {
  Ptm* lrgb = create_ptm(2, 1, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int c = 0; c < 3; ++c) lrgb->color_planes[c][1] = static_cast<std::uint8_t>(10 + c);
  Ptm* shown = create_derived_ptm_shared(*lrgb);
  EXPECT_TRUE(shares_color_planes(*shown, *lrgb));
  own_color_planes(*shown, *lrgb);
  EXPECT_FALSE(shares_color_planes(*shown, *lrgb));
  for (int c = 0; c < 3; ++c) {
    EXPECT_NE(shown->color_planes[c], lrgb->color_planes[c]);
    EXPECT_EQ(shown->color_planes[c][1], 10 + c);
  }
  shown->color_planes[0][1] = 99;  // the copy is rewritten, not the source
  EXPECT_EQ(lrgb->color_planes[0][1], 10);
  free_derived_ptm_of(shown, *lrgb);

  Ptm* still_shared = create_derived_ptm_shared(*lrgb);
  still_shared->normals = new_normals_for_test(2);
  free_derived_ptm_of(still_shared, *lrgb);  // frees its normals, keeps the planes
  EXPECT_EQ(lrgb->color_planes[2][1], 12);

  // Packed LRGB keeps colour in its records: nothing is shared.
  Ptm* packed = create_ptm(2, 1, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  Ptm* packed_shown = create_derived_ptm_shared(*packed);
  EXPECT_FALSE(shares_color_planes(*packed_shown, *packed));
  free_derived_ptm_of(packed_shown, *packed);
  free_ptm(packed);
  free_ptm(lrgb);
}

TEST(Bilerp, CornersAreTakenAsTheirTypeAndTheBlendTruncates) {
  EXPECT_EQ(bilerp_u8(0, 255, 0, 255, 0.5f, 0.5f), 127);
  EXPECT_EQ(bilerp_u8(0x1ff, 0x1ff, 0x1ff, 0x1ff, 0.3f, 0.7f), 255);  // low byte only
  EXPECT_EQ(bilerp_s8(0xff, 0xff, 0xff, 0xff, 0.5f, 0.5f), -1);
  EXPECT_EQ(bilerp_s8(-3, 0, 0, 0, 0.5f, 0.0f), -1);  // -1.5 toward zero
  EXPECT_EQ(bilerp_s16(0x18000, 0x18000, 0, 0, 0.0f, 0.0f), -32768);
  EXPECT_EQ(bilerp_s32(2000000000, -2000000000, 0, 0, 0.25f, 0.0f), 1000000000);
  EXPECT_EQ(bilerp_s32(10, 20, 30, 40, 1.0f, 1.0f), 40);
}

TEST(CoefficientConversion, PackedSaturatesWideScalesAndBothTruncateTowardZero) {
  EXPECT_EQ(packed_coefficient(77, 256, 77), 0);  // byte equal to the bias
  EXPECT_EQ(wide_coefficient(5, 77, 384, 77), 0);
  EXPECT_EQ(packed_coefficient(200, 256, 8), 192);  // scale 1.0: b - B
  EXPECT_EQ(packed_coefficient(255, 51200, 0), 32767);
  EXPECT_EQ(packed_coefficient(0, 51200, 255), -32768);
  EXPECT_EQ(wide_coefficient(0, 255, 51200, 0), 51000 * 16);
  EXPECT_EQ(wide_coefficient(5, 255, 51200, 0), 51000 * 16384);
  EXPECT_EQ(packed_coefficient(99, 255, 100), 0);   // -255 / 256 is 0, not -1
  EXPECT_EQ(packed_coefficient(98, 255, 100), -1);  // -510 / 256
  EXPECT_EQ(packed_coefficient(10, -512, 0), -20);  // a negative scale flips the sign
}

TEST(CoefficientConversion, ScaleTextBecomesTruncatedFixedPoint) {
  std::int32_t fixed = 0;
  ASSERT_TRUE(scale_to_fixed(1.5f, fixed));
  EXPECT_EQ(fixed, 384);
  ASSERT_TRUE(scale_to_fixed(0.7f, fixed));
  EXPECT_EQ(fixed, 179);
  ASSERT_TRUE(scale_to_fixed(-0.7f, fixed));
  EXPECT_EQ(fixed, -179);
  EXPECT_FALSE(scale_to_fixed(1e30f, fixed));
  EXPECT_FALSE(scale_to_fixed(std::numeric_limits<float>::infinity(), fixed));
}

TEST(CoefficientConversion, ConvertAllKeepsThePackedColour) {
  Ptm* ptm = create_ptm(2, 1, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  const std::int32_t scale_bias[12] = {512, 512, 512, 512, 512, 256, 10, 10, 10, 10, 10, 0};
  std::copy(scale_bias, scale_bias + 12, ptm->scale_bias);
  const std::uint8_t planes[2][6] = {{11, 12, 13, 20, 30, 40}, {14, 15, 16, 50, 60, 70}};
  std::copy(planes[0], planes[0] + 6, ptm->coef_planes[0]);
  std::copy(planes[1], planes[1] + 6, ptm->coef_planes[1]);
  const std::uint8_t colour[3] = {1, 2, 3};
  set_lrgb_color(*ptm, 1, colour);
  set_lrgb_color(*ptm, 0, colour);
  convert_all_coefficients(*ptm);
  // Pixel 1: a0..a2 from bytes 20, 30, 40 of plane 0; a3..a5 from 50, 60, 70.
  EXPECT_EQ(ptm->packed_lrgb[1].coef[0], (20 - 10) * 2);
  EXPECT_EQ(ptm->packed_lrgb[1].coef[3], (50 - 10) * 2);
  EXPECT_EQ(ptm->packed_lrgb[1].coef[5], 70);
  EXPECT_EQ(ptm->packed_lrgb[1].blue, 3);
  EXPECT_EQ(ptm->packed_lrgb[1].zero, 0);
  free_ptm(ptm);
}

}  // namespace
