#include "render/evaluate_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "ptm/coefficients.h"
#include "render/evaluate.h"

namespace {

struct MapCase {
  const char* name;
  int format;
  CoefRepresentation representation;
};

const MapCase map_cases[] = {
    {"packed RGB", PTM_FORMAT_RGB, CoefRepresentation::packed},
    {"packed LRGB", PTM_FORMAT_LRGB, CoefRepresentation::packed},
    {"wide RGB", PTM_FORMAT_RGB, CoefRepresentation::wide},
    {"wide LRGB", PTM_FORMAT_LRGB, CoefRepresentation::wide},
    {"wide LUM", PTM_FORMAT_LUM, CoefRepresentation::wide},
};

// A map whose integer coefficients are random over their whole range, so
// that sums saturate and go negative as often as they land in 0..255.
Ptm* random_map(const MapCase& c, int width, int height, std::mt19937& random) {
  Ptm* ptm = create_ptm(width, height, c.format, c.representation);
  const std::size_t pixels = pixel_count(*ptm);
  auto any = [&](int low, int high) {
    return static_cast<int>(random() % static_cast<unsigned>(high - low + 1)) + low;
  };
  // Mostly modest coefficients, sometimes extreme ones.
  auto coefficient = [&](int limit) {
    return random() % 8 == 0 ? any(-limit, limit) : any(-400, 400);
  };
  if (ptm->packed_rgb != nullptr) {
    for (std::size_t i = 0; i < pixels * 24; ++i) {
      ptm->packed_rgb[i] = static_cast<std::int16_t>(i % 8 < 6 ? coefficient(32767) : 0);
    }
  }
  if (ptm->packed_lrgb != nullptr) {
    for (std::size_t i = 0; i < pixels; ++i) {
      PackedLrgbTexel& t = ptm->packed_lrgb[i];
      for (auto& a : t.coef) a = static_cast<std::int16_t>(coefficient(32767));
      t.red = static_cast<std::uint8_t>(random());
      t.green = static_cast<std::uint8_t>(random());
      t.blue = static_cast<std::uint8_t>(random());
      t.zero = 0;
    }
  }
  std::int32_t* wide[4] = {ptm->coef_int[0], ptm->coef_int[1], ptm->coef_int[2], ptm->lum_coef_int};
  for (std::int32_t* array : wide) {
    if (array == nullptr) continue;
    for (std::size_t i = 0; i < pixels * 6; ++i) {
      // Stored like the conversion stores them: times 16 or 16384, wrapping
      // in 32 bits for the largest values, plus low bits the >> 14 drops.
      const auto scaled =
          static_cast<std::uint32_t>(coefficient(1 << 20)) * (i % 6 == 5 ? 16384u : 16u);
      array[i] = static_cast<std::int32_t>(scaled + static_cast<std::uint32_t>(any(-15, 15)));
    }
  }
  for (auto* plane : ptm->color_planes) {
    if (plane == nullptr) continue;
    for (std::size_t i = 0; i < pixels; ++i) plane[i] = static_cast<std::uint8_t>(random());
  }
  if (ptm->color_matrix != nullptr) {
    for (int i = 0; i < 16; ++i)
      ptm->color_matrix[i] = static_cast<float>(any(-3000, 3000)) / 997.0f;
  }
  return ptm;
}

// Every kernel of every instruction set this processor has, on every map
// kind, against the per-pixel evaluator: random coefficients, rows of odd
// lengths and offsets, and lights out to |u|, |v| = 3 (extrapolation).
TEST(EvaluateRows, EveryKernelMatchesThePerPixelEvaluatorByteForByte) {
  std::mt19937 random(2024);
  for (const MapCase& c : map_cases) {
    for (const int width : {67, 2100}) {  // the second crosses the kernels' inner stretches
      const int height = 3;
      Ptm* ptm = random_map(c, width, height, random);
      const EvaluatePtmFn evaluate = select_evaluator(*ptm);
      for (RowIsa isa : {RowIsa::sse2, RowIsa::avx2, RowIsa::avx512}) {
        const EvaluateRowFn kernel = row_evaluator(*ptm, isa);
        if (kernel == nullptr) continue;
        for (int light = 0; light < 40; ++light) {
          const float u =
              light == 0 ? 0.0f
                         : static_cast<float>(static_cast<int>(random() % 6001) - 3000) / 1000.0f;
          const float v =
              light == 0 ? 0.0f
                         : static_cast<float>(static_cast<int>(random() % 6001) - 3000) / 1000.0f;
          const LightWeights weights = light_weights_for(u, v);
          const int y = static_cast<int>(random() % height);
          const int x0 = static_cast<int>(random() % 9);
          const int count = width - x0 - static_cast<int>(random() % 9);
          std::vector<std::uint8_t> fast(count * 3 + 8, 0xAB);
          std::vector<std::uint8_t> reference(count * 3);
          kernel(*ptm, weights, x0, y, count, fast.data());
          for (int i = 0; i < count; ++i) {
            evaluate(*ptm, weights, x0 + i, y, reference[i * 3], reference[i * 3 + 1],
                     reference[i * 3 + 2]);
          }
          for (int i = 0; i < count * 3; ++i) {
            ASSERT_EQ(fast[i], reference[i])
                << c.name << " isa " << static_cast<int>(isa) << " light (" << u << ", " << v
                << ") row " << y << " byte " << i;
          }
          for (int i = count * 3; i < count * 3 + 8; ++i)
            ASSERT_EQ(fast[i], 0xAB) << "wrote past the row";
        }
      }
      free_ptm(ptm);
    }
  }
}

}  // namespace
