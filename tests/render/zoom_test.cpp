#include "render/zoom.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/checked_alloc.h"

namespace {

// 8 x 6 maps whose element e of pixel (x, y) is 10 x + 30 y + e + offset:
// x and y rise at different rates, so swapped corners or fractions show.
// At zoom 4 without pan, destination pixel (1, 2) samples (0.25, 0.5),
// where every element is 17.5 + e + offset, truncated to 17 + e + offset.
constexpr int width = 8;
constexpr int height = 6;

std::size_t at(int x, int y) { return static_cast<std::size_t>(y) * width + x; }

template <typename T>
void fill_ramp(T* elements, int stride, int offset = 0) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      T* pixel = elements + at(x, y) * stride;
      for (int e = 0; e < stride; ++e) pixel[e] = static_cast<T>(10 * x + 30 * y + e + offset);
    }
  }
}

// Elements first .. first + count - 1: resampled at (1, 2); zero at (0, 2)
// and (1, 0), whose source positions lie on the map's edge.
template <typename T>
void expect_zoomed(const T* elements, int stride, int first, int count, int offset = 0) {
  for (int e = first; e < first + count; ++e) {
    EXPECT_EQ(elements[at(1, 2) * stride + e], 17 + e + offset) << e;
    EXPECT_EQ(elements[at(0, 2) * stride + e], 0) << e;
    EXPECT_EQ(elements[at(1, 0) * stride + e], 0) << e;
  }
}

Ptm* lrgb_wide_ramp() {
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  fill_ramp(ptm->lum_coef_int, 6);
  for (int c = 0; c < 3; ++c) fill_ramp(ptm->color_planes[c], 1, c);
  return ptm;
}

bool black(const Ptm& ptm, int x, int y) {
  bool zero = true;
  for (int k = 0; k < 6; ++k) zero = zero && ptm.lum_coef_int[at(x, y) * 6 + k] == 0;
  for (auto* plane : ptm.color_planes) zero = zero && plane[at(x, y)] == 0;
  return zero;
}

TEST(ZoomPtmInto, RgbResamplesEighteenCoefficientsAndLeavesThePackedPads) {
  Ptm* wide = create_ptm(width, height, PTM_FORMAT_RGB, CoefRepresentation::wide);
  for (int c = 0; c < 3; ++c) fill_ramp(wide->coef_int[c], 6, 1000 * c);
  Ptm* zoomed = create_derived_ptm(*wide);
  ASSERT_EQ(zoom_ptm_into(*wide, *zoomed, 4, 0, 0), ZoomResult::done);
  for (int c = 0; c < 3; ++c) expect_zoomed(zoomed->coef_int[c], 6, 0, 6, 1000 * c);
  free_derived_ptm(zoomed);
  free_ptm(wide);

  Ptm* packed = create_ptm(width, height, PTM_FORMAT_RGB, CoefRepresentation::packed);
  fill_ramp(packed->packed_rgb, 24);
  zoomed = create_derived_ptm(*packed);
  std::memset(zoomed->packed_rgb, 0x11, pixel_count(*zoomed) * 24 * sizeof(std::int16_t));
  ASSERT_EQ(zoom_ptm_into(*packed, *zoomed, 4, 0, 0), ZoomResult::done);
  for (int c = 0; c < 3; ++c) {
    expect_zoomed(zoomed->packed_rgb, 24, 8 * c, 6);
    for (const std::size_t p : {at(1, 2), at(0, 0)}) {
      EXPECT_EQ(zoomed->packed_rgb[p * 24 + 8 * c + 6], 0x1111);
      EXPECT_EQ(zoomed->packed_rgb[p * 24 + 8 * c + 7], 0x1111);
    }
  }
  free_derived_ptm(zoomed);
  free_ptm(packed);
}

TEST(ZoomPtmInto, LumResamplesAndZeroesItsChromaPlanesAndLuminanceOnly) {
  Ptm* lum = create_ptm(width, height, PTM_FORMAT_LUM, CoefRepresentation::wide);
  fill_ramp(lum->lum_coef_int, 6);
  fill_ramp(lum->color_planes[0], 1);
  fill_ramp(lum->color_planes[2], 1, 2);
  lum->color_matrix[15] = 15;
  Ptm* zoomed = create_derived_ptm(*lum);
  ASSERT_EQ(zoom_ptm_into(*lum, *zoomed, 4, 0, 0), ZoomResult::done);
  expect_zoomed(zoomed->lum_coef_int, 6, 0, 6);
  expect_zoomed(zoomed->color_planes[0], 1, 0, 1);
  expect_zoomed(zoomed->color_planes[2], 1, 0, 1, 2);
  EXPECT_EQ(zoomed->color_planes[1], nullptr);
  EXPECT_EQ(lum->color_matrix[15], 15.0f);
  free_derived_ptm(zoomed);
  free_ptm(lum);
}

TEST(ZoomPtmInto, LrgbResamplesColourAndLuminanceInBothRepresentations) {
  Ptm* wide = lrgb_wide_ramp();
  Ptm* zoomed = create_derived_ptm(*wide);
  ASSERT_EQ(zoom_ptm_into(*wide, *zoomed, 4, 0, 0), ZoomResult::done);
  expect_zoomed(zoomed->lum_coef_int, 6, 0, 6);
  for (int c = 0; c < 3; ++c) expect_zoomed(zoomed->color_planes[c], 1, 0, 1, c);
  free_derived_ptm(zoomed);
  free_ptm(wide);

  Ptm* packed = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  // Colour bytes 12..14 ramp as 10 x + 30 y + 12..14, coefficient k as 10 x + 30 y + k.
  fill_ramp(reinterpret_cast<std::uint8_t*>(packed->packed_lrgb), 16);
  for (std::size_t p = 0; p < pixel_count(*packed); ++p) {
    PackedLrgbTexel& texel = packed->packed_lrgb[p];
    for (int k = 0; k < 6; ++k) texel.coef[k] = static_cast<std::int16_t>(texel.red - 12 + k);
  }
  zoomed = create_derived_ptm(*packed);
  std::memset(zoomed->packed_lrgb, 0x11, pixel_count(*zoomed) * sizeof(PackedLrgbTexel));
  ASSERT_EQ(zoom_ptm_into(*packed, *zoomed, 4, 0, 0), ZoomResult::done);
  const PackedLrgbTexel& inside = zoomed->packed_lrgb[at(1, 2)];
  for (int k = 0; k < 6; ++k) EXPECT_EQ(inside.coef[k], 17 + k);
  EXPECT_EQ(inside.red, 29);
  EXPECT_EQ(inside.green, 30);
  EXPECT_EQ(inside.blue, 31);
  EXPECT_EQ(inside.zero, 0);  // the pad byte is 0, never resampled
  const auto* outside = reinterpret_cast<const std::uint8_t*>(&zoomed->packed_lrgb[at(7, 0)]);
  for (int b = 0; b < 16; ++b) EXPECT_EQ(outside[b], 0) << b;
  free_derived_ptm(zoomed);
  free_ptm(packed);
}

TEST(ZoomPtmInto, PositionsOnTheEdgeOrWithinTwoOfTheFarSideAreBlack) {
  Ptm* source = lrgb_wide_ramp();
  Ptm* zoomed = create_derived_ptm(*source);
  // Zoom 2 without pan reaches (3.5, 2.5): only row 0 and column 0 (at 0) are out.
  ASSERT_EQ(zoom_ptm_into(*source, *zoomed, 2, 0, 0), ZoomResult::done);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) EXPECT_EQ(black(*zoomed, x, y), x == 0 || y == 0) << x << y;
  }
  // Zoom 1: column 6 samples width - 2 and row 4 height - 2.
  ASSERT_EQ(zoom_ptm_into(*source, *zoomed, 1, 0, 0), ZoomResult::done);
  EXPECT_FALSE(black(*zoomed, 5, 3));
  EXPECT_TRUE(black(*zoomed, 6, 3));
  EXPECT_TRUE(black(*zoomed, 3, 4));
  // Panned by (0.25, 0.5) of the map: pixel (x, y) samples (x / 2 + 2, y / 2 + 3).
  ASSERT_EQ(zoom_ptm_into(*source, *zoomed, 2, 0.25f, 0.5f), ZoomResult::done);
  EXPECT_EQ(zoomed->lum_coef_int[at(7, 1) * 6], 160);  // (5.5, 3.5): 55 + 105
  EXPECT_TRUE(black(*zoomed, 0, 2));
  free_derived_ptm(zoomed);
  free_ptm(source);
}

TEST(ZoomPtmInto, SizeMismatchAndOtherFormatsAreReportedAndWriteNothing) {
  Ptm* source = lrgb_wide_ramp();
  Ptm* smaller = create_ptm(width, height - 1, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  smaller->lum_coef_int[0] = -7;
  testing::internal::CaptureStderr();
  EXPECT_EQ(zoom_ptm_into(*source, *smaller, 2, 0, 0), ZoomResult::size_mismatch);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "zoom error:  src and destination sizes must be equal\n");
  EXPECT_EQ(smaller->lum_coef_int[0], -7);

  Ptm* jpeg = create_ptm(width, height, PTM_FORMAT_JPEG_RGB, CoefRepresentation::wide);
  Ptm* zoomed = create_derived_ptm(*jpeg);
  zoomed->coef_int[0][at(3, 3) * 6] = -7;
  testing::internal::CaptureStderr();
  EXPECT_EQ(zoom_ptm_into(*jpeg, *zoomed, 2, 0, 0), ZoomResult::unsupported_format);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Sorry, zoom with this type of surface not supported yet.  Please report bug.\n");
  EXPECT_EQ(zoomed->coef_int[0][at(3, 3) * 6], -7);
  free_derived_ptm(zoomed);
  free_ptm(jpeg);
  free_ptm(smaller);
  free_ptm(source);
}

TEST(ZoomNormalsInto, ResamplesSignedComponentsIntoAFieldAllocatedOnFirstUse) {
  Ptm* source = lrgb_wide_ramp();
  Ptm* zoomed = create_derived_ptm(*source);
  EXPECT_FALSE(zoom_normals_into(*source, *zoomed, 4, 0, 0));  // nothing to resample yet
  EXPECT_EQ(zoomed->normals, nullptr);

  source->normals = checked_alloc_array<std::int8_t>(pixel_count(*source) * 3);
  fill_ramp(source->normals, 3, -100);
  ASSERT_TRUE(zoom_normals_into(*source, *zoomed, 4, 0, 0));
  // -82.5 + e truncates toward zero.
  EXPECT_EQ(zoomed->normals[at(1, 2) * 3], -82);
  EXPECT_EQ(zoomed->normals[at(1, 2) * 3 + 2], -80);
  EXPECT_EQ(zoomed->normals[at(0, 2) * 3 + 1], 0);
  std::int8_t* field = zoomed->normals;
  ASSERT_TRUE(zoom_normals_into(*source, *zoomed, 1, 0, 0));
  EXPECT_EQ(zoomed->normals, field);
  EXPECT_EQ(zoomed->normals[at(2, 1) * 3], -50);
  checked_free(zoomed->normals);
  zoomed->normals = nullptr;
  free_derived_ptm(zoomed);
  free_ptm(source);
}

// Everything the zoom writes for pixel p of an LRGB map, as bytes: its
// integer coefficients (packed texel or wide), colour and normal.
std::string zoomed_pixel_bytes(const Ptm& ptm, std::size_t p) {
  std::string bytes;
  auto add = [&](const void* from, std::size_t count) {
    bytes.append(static_cast<const char*>(from), count);
  };
  if (ptm.packed_lrgb != nullptr) add(&ptm.packed_lrgb[p], sizeof(PackedLrgbTexel));
  if (ptm.lum_coef_int != nullptr) add(ptm.lum_coef_int + p * 6, 6 * sizeof(std::int32_t));
  for (const std::uint8_t* plane : ptm.color_planes) {
    if (plane != nullptr) add(plane + p, 1);
  }
  add(ptm.normals + p * 3, 3);
  return bytes;
}

// The viewer zooms into a map of the view's size: its pixel (x, y) must be
// the full-size zoom's pixel (x, y), for any zoom and pan, on any number of
// threads. The source is 37 x 29 of pseudo-random values and the view 13 x
// 11, so a wrong row length or a swapped axis shows.
TEST(ZoomPtmView, AViewSizedMapIsTheLowerLeftCornerOfTheFullSizeZoom) {
  constexpr int source_width = 37;
  constexpr int source_height = 29;
  constexpr int view_width = 13;
  constexpr int view_height = 11;
  struct Case {
    float zoom, pan_u, pan_v;
  };
  const Case cases[] = {{0.3f, -0.4f, -0.2f}, {0.77f, 0.05f, 0.1f}, {2.5f, 0.3f, 0.45f}};
  for (const CoefRepresentation representation :
       {CoefRepresentation::wide, CoefRepresentation::packed}) {
    Ptm* source = create_ptm(source_width, source_height, PTM_FORMAT_LRGB, representation);
    const std::size_t pixels = pixel_count(*source);
    source->normals = checked_alloc_array<std::int8_t>(pixels * 3);
    std::uint32_t state = 12345;
    auto next = [&] {
      state = state * 1103515245u + 12345u;
      return static_cast<int>((state >> 16) & 0x7f);
    };
    for (std::size_t p = 0; p < pixels; ++p) {
      if (source->packed_lrgb != nullptr) {
        PackedLrgbTexel& texel = source->packed_lrgb[p];
        for (auto& k : texel.coef) k = static_cast<std::int16_t>(next() - 60);
        texel.red = static_cast<std::uint8_t>(next());
        texel.green = static_cast<std::uint8_t>(next());
        texel.blue = static_cast<std::uint8_t>(next());
      } else {
        for (int k = 0; k < 6; ++k) source->lum_coef_int[p * 6 + k] = next() * 977 - 50000;
        for (auto* plane : source->color_planes) plane[p] = static_cast<std::uint8_t>(next());
      }
      for (int c = 0; c < 3; ++c)
        source->normals[p * 3 + c] = static_cast<std::int8_t>(next() - 64);
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(c.zoom);
      Ptm* full = create_derived_ptm(*source);
      ASSERT_EQ(zoom_ptm_into(*source, *full, c.zoom, c.pan_u, c.pan_v), ZoomResult::done);
      ASSERT_TRUE(zoom_normals_into(*source, *full, c.zoom, c.pan_u, c.pan_v));
      Ptm* view = create_derived_ptm(*source, view_width, view_height);
      ASSERT_EQ(zoom_ptm_view(*source, *view, c.zoom, c.pan_u, c.pan_v, 3), ZoomResult::done);
      ASSERT_TRUE(zoom_normals_view(*source, *view, c.zoom, c.pan_u, c.pan_v, 3));
      for (int y = 0; y < view_height; ++y) {
        for (int x = 0; x < view_width; ++x) {
          ASSERT_EQ(zoomed_pixel_bytes(*view, static_cast<std::size_t>(y) * view_width + x),
                    zoomed_pixel_bytes(*full, static_cast<std::size_t>(y) * source_width + x))
              << "view pixel (" << x << ", " << y << ")";
        }
      }
      free_derived_ptm(view);
      free_derived_ptm(full);
    }
    free_ptm(source);
  }
}

TEST(NormalImage, AddsHalfRangeToEachComponentUsingTheMapsRowLength) {
  // A 3 x 2 map in a 2 x 2 view: view row 1 starts at map pixel 3.
  Ptm* ptm = create_ptm(3, 2, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  std::int8_t normals[18] = {0, 0, 127, -127, 5, -1, 9, 9, 9, -128, 1, 2, 3, 4, 5, 9, 9, 9};
  ptm->normals = normals;
  RgbImage* view = new_rgb_image(2, 2);
  normal_image(*ptm, *view);
  const std::uint8_t expected[12] = {128, 128, 255, 1, 133, 127, 0, 129, 130, 131, 132, 133};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(view->pixels[i], expected[i]) << i;
  ptm->normals = nullptr;
  free_rgb_image(view);
  free_ptm(ptm);
}

}  // namespace
