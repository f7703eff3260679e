#include "web/published_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/normals.h"
#include "common/checked_alloc.h"
#include "common/rgb_image.h"
#include "analysis/ptm_fit.h"
#include "ptm/coefficients.h"
#include "ptm/reader.h"
#include "render/evaluate.h"
#include "render/render_image.h"

namespace {

std::vector<std::uint8_t> plane_rows(const PublishedMap& published, int plane) {
  const Ptm& map = *published.source;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(map.width) * map.height * 3);
  fill_plane_rows(published, plane, 0, map.height, rows.data());
  return rows;
}

TEST(PublishedMap, PlanesAreThePictureTopRowFirstWithStoredBytesColourAndNormalsPlus128) {
  // 2 x 2 pixels: p = 0, 1 the map's first (bottom) row, 2, 3 the top row.
  OwnedPtm lrgb(create_ptm(2, 2, PTM_FORMAT_LRGB, CoefRepresentation::packed));
  lrgb->normals = checked_alloc_array<std::int8_t>(12);
  for (std::uint8_t p = 0; p < 4; ++p) {
    for (int j = 0; j < 3; ++j) {
      lrgb->coef_planes[0][p * 3 + j] = static_cast<std::uint8_t>(10 * p + j);
      lrgb->coef_planes[1][p * 3 + j] = static_cast<std::uint8_t>(100 + 10 * p + j);
    }
    const std::uint8_t colour[3] = {p, static_cast<std::uint8_t>(50 + p), 200};
    set_lrgb_color(*lrgb, p, colour);
    lrgb->normals[p * 3] = static_cast<std::int8_t>(-127 + p);
    lrgb->normals[p * 3 + 1] = static_cast<std::int8_t>(p);
    lrgb->normals[p * 3 + 2] = 127;
  }
  for (int k = 0; k < 12; ++k) lrgb->scale_bias[k] = 256 + k;
  const PublishedMap published = published_map_of(*lrgb, 1);
  EXPECT_EQ(published.format, PublishedFormat::lrgb);
  EXPECT_EQ(published.scale_bias[11], 256 + 11);
  EXPECT_EQ(published_plane_names(published),
            (std::vector<std::string>{"coefficients_0", "coefficients_1", "color", "normals"}));
  EXPECT_EQ(plane_rows(published, 0),
            (std::vector<std::uint8_t>{20, 21, 22, 30, 31, 32, 0, 1, 2, 10, 11, 12}));
  EXPECT_EQ(plane_rows(published, 1), (std::vector<std::uint8_t>{120, 121, 122, 130, 131, 132,
                                                                   100, 101, 102, 110, 111, 112}));
  EXPECT_EQ(plane_rows(published, 2),
            (std::vector<std::uint8_t>{2, 52, 200, 3, 53, 200, 0, 50, 200, 1, 51, 200}));
  EXPECT_EQ(plane_rows(published, 3),
            (std::vector<std::uint8_t>{3, 130, 255, 4, 131, 255, 1, 128, 255, 2, 129, 255}));

  // An RGB map publishes its six planes as stored, and computes the
  // normals it does not have.
  OwnedPtm rgb(create_ptm(2, 1, PTM_FORMAT_RGB, CoefRepresentation::wide));
  for (int plane = 0; plane < 6; ++plane) {
    for (int b = 0; b < 6; ++b) rgb->coef_planes[plane][b] = static_cast<std::uint8_t>(40 * plane + b);
  }
  for (int k = 0; k < 12; ++k) rgb->scale_bias[k] = k < 6 ? 256 : 128;
  const PublishedMap rgb_published = published_map_of(*rgb, 1);
  EXPECT_EQ(rgb_published.format, PublishedFormat::rgb);
  EXPECT_EQ(published_plane_names(rgb_published).size(), 7u);
  EXPECT_EQ(plane_rows(rgb_published, 5), (std::vector<std::uint8_t>{200, 201, 202, 203, 204, 205}));
  std::int8_t normals[6];
  compute_normal_field(*rgb, normals);
  const std::vector<std::uint8_t> normal_plane = plane_rows(rgb_published, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(normal_plane[i], normals[i] + 128) << i;
}

// A LUM map of the sample relief as YCbCr: the luminance polynomial is
// the LRGB one scaled by the colour's luma, 0.299 R + 0.587 G + 0.114 B
// over 256, requantised; the chroma bytes are the colour's Cb and Cr, and
// the matrix turns them back: R = Y + 1.402 (Cr - 128), G = Y - 0.344
// (Cb - 128) - 0.714 (Cr - 128), B = Y + 1.772 (Cb - 128).
OwnedPtm lum_from_sample() {
  OwnedPtm sample(read_ptm_file(RELUMO_SAMPLE_MAP));
  EXPECT_NE(sample, nullptr);
  OwnedPtm lum(create_ptm(sample->width, sample->height, PTM_FORMAT_LUM));
  const std::size_t pixels = pixel_count(*sample);
  std::vector<float> coefficients(pixels * 6);
  for (std::size_t p = 0; p < pixels; ++p) {
    std::uint8_t rgb[3];
    get_lrgb_color(*sample, p, rgb);
    const double luma = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
    double a[6];
    luminance_coefficients(*sample, p, a);
    for (int k = 0; k < 6; ++k) coefficients[p * 6 + k] = static_cast<float>(a[k] * luma / 256);
    lum->color_planes[0][p] = static_cast<std::uint8_t>(std::lround(128 + 0.564 * (rgb[2] - luma)));
    lum->color_planes[2][p] = static_cast<std::uint8_t>(std::lround(128 + 0.713 * (rgb[0] - luma)));
  }
  choose_scale_bias(coefficients.data(), pixels, lum->scale_bias);
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int k = 0; k < 6; ++k) {
      lum->coef_planes[k / 3][p * 3 + k % 3] = quantize_coefficient(
          coefficients[p * 6 + k], lum->scale_bias[k], lum->scale_bias[6 + k]);
    }
  }
  const float matrix[16] = {0,      1, 1.402f,  -179.456f, -0.344f, 1, -0.714f, 135.424f,
                            1.772f, 1, 0,       -226.816f, 0,       0, 0,       1};
  std::copy(matrix, matrix + 16, lum->color_matrix);
  convert_all_coefficients(*lum);
  return lum;
}

// The RGB map the page evaluates: the published planes back in the map's
// row order, with the published scales and biases.
OwnedPtm published_rgb_map(const PublishedMap& published) {
  const Ptm& source = *published.source;
  OwnedPtm rgb(create_ptm(source.width, source.height, PTM_FORMAT_RGB, CoefRepresentation::packed));
  std::copy(published.scale_bias, published.scale_bias + 12, rgb->scale_bias);
  const std::size_t row_bytes = static_cast<std::size_t>(source.width) * 3;
  for (int plane = 0; plane < 6; ++plane) {
    const std::vector<std::uint8_t> rows = plane_rows(published, plane);
    for (int y = 0; y < source.height; ++y) {
      std::copy_n(rows.data() + (source.height - 1 - y) * row_bytes, row_bytes,
                  rgb->coef_planes[plane] + y * row_bytes);
    }
  }
  convert_all_coefficients(*rgb);
  return rgb;
}

TEST(PublishedMap, LumExpandsToRgbThatRelightsAsTheLumMapWithinOneGreyLevel) {
  OwnedPtm lum = lum_from_sample();
  const PublishedMap published = published_map_of(*lum, 3);
  EXPECT_EQ(published.format, PublishedFormat::rgb);
  OwnedPtm rgb = published_rgb_map(published);
  RgbImage* expected = new_rgb_image(lum->width, lum->height);
  RgbImage* relit = new_rgb_image(lum->width, lum->height);
  const std::size_t bytes = pixel_count(*lum) * 3;
  for (const auto& [u, v] : {std::pair{0.0f, 0.0f}, {0.5f, 0.5f}, {-0.6f, 0.2f}, {0.1f, -0.7f}}) {
    render_plain_image(*expected, *lum, u, v, 0, 0);
    render_plain_image(*relit, *rgb, u, v, 0, 0);
    std::size_t close = 0;
    int worst = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      const int difference = std::abs(expected->pixels[i] - relit->pixels[i]);
      close += difference <= 1 ? 1 : 0;
      worst = std::max(worst, difference);
    }
    EXPECT_GE(static_cast<double>(close) / static_cast<double>(bytes), 0.999)
        << "light " << u << ", " << v << ": worst " << worst;
  }
  free_rgb_image(expected);
  free_rgb_image(relit);
}

}  // namespace
