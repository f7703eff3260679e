#include "support/relief_map.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "analysis/ptm_fit.h"
#include "analysis/sample_relief.h"
#include "common/checked_alloc.h"
#include "common/rgb_image.h"

namespace {

constexpr int strip_rows = 128;

}  // namespace

Ptm* make_relief_lrgb_map(int width, int height) {
  SampleRelief* relief = make_sample_relief(width, height);
  LightDirection lights[sample_light_count];
  sample_light_directions(lights);
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  LrgbFit whole{width, height, checked_alloc_array<float>(pixels * 6),
                checked_alloc_array<std::uint8_t>(pixels * 3)};
  RgbImage* photographs[sample_light_count];
  for (RgbImage*& photograph : photographs) photograph = new_rgb_image(width, strip_rows);
  for (int y = 0; y < height; y += strip_rows) {
    const int rows = std::min(strip_rows, height - y);
    const std::size_t first = static_cast<std::size_t>(y) * width;
    // The strip is a relief of its own: the rows' normals and albedo.
    const SampleRelief strip{width, rows, relief->normals + 3 * first, relief->albedo + 3 * first};
    for (int i = 0; i < sample_light_count; ++i) {
      photographs[i]->height = rows;
      render_lambertian(strip, lights[i], *photographs[i]);
    }
    LrgbFit fit;
    fit_lrgb(photographs, lights, sample_light_count, fit);
    const std::size_t count = static_cast<std::size_t>(rows) * width;
    std::memcpy(whole.coefficients + 6 * first, fit.coefficients, count * 6 * sizeof(float));
    std::memcpy(whole.color + 3 * first, fit.color, count * 3);
    free_lrgb_fit(fit);
  }
  Ptm* ptm = make_lrgb_ptm(whole, preferred_representation());
  for (RgbImage* photograph : photographs) free_rgb_image(photograph);
  free_lrgb_fit(whole);
  free_sample_relief(relief);
  return ptm;
}
