#include "render/render_image.h"

#include <cmath>

#include "render/evaluate.h"
#include "render/evaluate_rows.h"
#include "render/specular.h"

namespace {

void evaluate_rows(RgbImage& out, const Ptm& ptm, const LightWeights& weights, int x0, int y0,
                   int first_row, int end_row) {
  const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
  const std::size_t stride = static_cast<std::size_t>(out.width) * 3;
  for (int y = first_row; y < end_row; ++y) {
    evaluate_row(ptm, weights, x0, y0 + y, out.width, out.pixels + y * stride);
  }
}

}  // namespace

void render_ptm_image(RgbImage& out, const Ptm& ptm, const RenderMode& mode, float u, float v,
                      int x0, int y0) {
  if (mode.enhancement == Enhancement::texture_comparison) {
    // Upper half (rows h .. H - 1 on screen) relit, lower half the head-on
    // texture shaded like a flat plane: k / 256 is the light's z.
    const float d = u * u + v * v;
    const int k = d > 1 ? 0 : static_cast<int>(256 * std::sqrt(1 - d));
    const int h = out.height / 2;
    evaluate_rows(out, ptm, light_weights_for(u, v), x0, y0, h, out.height);
    // evaluate_texture_mapped row by row: the row kernel gives the
    // per-pixel evaluator's bytes for the head-on light, then each is
    // scaled by k / 256 while the row is still in the cache.
    const LightWeights head_on = light_weights_for(0, 0);
    const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
    const std::size_t stride = static_cast<std::size_t>(out.width) * 3;
    for (int y = 0; y < h; ++y) {
      std::uint8_t* pixels = out.pixels + y * stride;
      evaluate_row(ptm, head_on, x0, y0 + y, out.width, pixels);
      for (std::size_t i = 0; i < stride; ++i) {
        pixels[i] = static_cast<std::uint8_t>((k * pixels[i]) >> 8);
      }
    }
    return;
  }

  render_plain_image(out, ptm, u, v, x0, y0);
  // The highlight is a second pass over the finished picture.
  if (mode.enhancement == Enhancement::specular) {
    apply_specular_to_image(ptm, mode.specular, specular_half_vector(u, v), out, x0, y0);
  }
}

void render_plain_image(RgbImage& out, const Ptm& ptm, float u, float v, int x0, int y0) {
  evaluate_rows(out, ptm, light_weights_for(u, v), x0, y0, 0, out.height);
}
