#include "writers/format_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ptm/reader.h"
#include "render/evaluate.h"
#include "support/files.h"

namespace {

// The largest error one requantised coefficient adds: half the step between
// neighbouring decoded values, ceil(S / 256) / 2.
double half_step(std::int32_t scale) { return std::ceil(scale / 256.0) / 2.0; }

}  // namespace

// Each RGB channel holds a_k C / 256 requantised: the RGB map relit gives
// the LRGB map's bytes up to the requantisation (half a step per
// coefficient, times the light's weight) and the two evaluators' different
// truncations (the LRGB one truncates twice: below 1.5 grey levels packed,
// 2 wide). Head-on only a5 counts, and the two agree within one grey level;
// at the other lights nearly every sample does.
TEST(FormatConversion, LrgbToRgbRelightsLikeTheLrgbMap) {
  const float lights[][2] = {{0.0f, 0.0f},  {0.5f, 0.3f},  {-0.4f, 0.6f},
                             {0.7f, -0.7f}, {-0.9f, 0.1f}, {1.0f, 0.0f}};
  for (CoefRepresentation representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    SCOPED_TRACE(representation == CoefRepresentation::packed ? "packed" : "wide");
    const OwnedPtm lrgb(read_ptm_file(RELUMO_SAMPLE_MAP, representation));
    ASSERT_NE(lrgb, nullptr);
    const OwnedPtm rgb(rgb_from_lrgb(*lrgb));
    ASSERT_EQ(rgb->format, PTM_FORMAT_RGB);
    ASSERT_EQ(uses_packed(*rgb), representation == CoefRepresentation::packed);
    const double truncation = representation == CoefRepresentation::packed ? 1.5 : 2.0;
    for (const auto& light : lights) {
      SCOPED_TRACE(std::to_string(light[0]) + ", " + std::to_string(light[1]));
      const LightWeights weights = light_weights_for(light[0], light[1]);
      double bound = truncation;
      for (int k = 0; k < 6; ++k) {
        bound += half_step(rgb->scale_bias[k]) * std::abs(weights.w[k]) / 1024.0;
      }
      std::size_t beyond_one = 0;
      double largest = 0;
      for (int y = 0; y < lrgb->height; ++y) {
        for (int x = 0; x < lrgb->width; ++x) {
          std::uint8_t expected[3];
          std::uint8_t relit[3];
          select_evaluator (*lrgb)(*lrgb, weights, x, y, expected[0], expected[1], expected[2]);
          select_evaluator (*rgb)(*rgb, weights, x, y, relit[0], relit[1], relit[2]);
          for (int c = 0; c < 3; ++c) {
            const int d = std::abs(expected[c] - relit[c]);
            largest = std::max<double>(largest, d);
            if (d > 1) ++beyond_one;
          }
        }
      }
      EXPECT_LT(largest, bound);
      if (light[0] == 0.0f && light[1] == 0.0f) {
        EXPECT_LE(largest, 1);
      }
      EXPECT_LT(static_cast<double>(beyond_one), 0.02 * 3 * pixel_count(*lrgb));
    }
  }
}

// Every conversion that runs long tells its progress: done never falls,
// the total stays, and the last report is the whole.
TEST(FormatConversion, ReportsProgressToTheEnd) {
  const OwnedPtm sample(read_ptm_file(RELUMO_SAMPLE_MAP));
  ASSERT_NE(sample, nullptr);
  const OwnedPtm lrgb(crop_ptm(*sample, {100, 50, 64, 48}));
  const OwnedPtm rgb(rgb_from_lrgb(*lrgb));
  const struct {
    const char* name;
    const Ptm* source;
    int format;
  } cases[] = {
      {"lut: the palettizer", lrgb.get(), PTM_FORMAT_PTM_LUT},
      {"jpegls-lrgb: the plane coder", lrgb.get(), PTM_FORMAT_JPEGLS_LRGB},
      {"jpeg-rgb: the plane coder", rgb.get(), PTM_FORMAT_JPEG_RGB},
      {"clut from RGB: the fit and the palettizer", rgb.get(), PTM_FORMAT_PTM_C_LUT},
  };
  ScratchDirectory scratch("conversion-progress");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint64_t last_done = 0;
    std::uint64_t total = 0;
    int reports = 0;
    ConversionOptions options;
    options.format = c.format;
    options.progress = [&](std::uint64_t done, std::uint64_t of) {
      EXPECT_GE(done, last_done);
      EXPECT_LE(done, of);
      if (reports++ > 0) {
        EXPECT_EQ(of, total);
      }
      last_done = done;
      total = of;
    };
    ConversionReport report;
    ASSERT_TRUE(write_converted_ptm(*c.source, options, scratch.file("out.ptm").c_str(), report));
    EXPECT_GT(reports, 1);
    EXPECT_EQ(last_done, total);
  }
}
