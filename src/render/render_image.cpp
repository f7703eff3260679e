#include "render/render_image.h"

#include <cmath>

#include "app/core/viewer_state.h"
#include "render/evaluate.h"
#include "render/evaluate_rows.h"
#include "render/specular.h"

void render_ptm_image(RgbImage& out, const Ptm& ptm, float u, float v, int x0, int y0) {
  set_light_weights(u, v);
  if (viewer.specular_on) set_specular_half_vector(u, v);
  const int width = out.width;
  const int height = out.height;
  std::uint8_t* row = out.pixels;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;

  if (viewer.ptm_vs_texture_on) {
    // Upper half (rows h .. H - 1 on screen) relit, lower half the head-on
    // texture shaded like a flat plane: k / 256 is the light's z.
    const float d = u * u + v * v;
    const int k = d > 1 ? 0 : static_cast<int>(256 * std::sqrt(1 - d));
    const int h = height / 2;
    const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
    for (int y = h; y < height; ++y) evaluate_row(ptm, x0, y0 + y, width, row + y * stride);
    // evaluate_texture_mapped row by row: the row kernel gives the
    // per-pixel evaluator's bytes for the head-on light, then each is
    // scaled by k / 256.
    set_light_weights(0, 0);
    for (int y = 0; y < h; ++y) {
      std::uint8_t* pixels = row + y * stride;
      evaluate_row(ptm, x0, y0 + y, width, pixels);
      for (std::size_t i = 0; i < stride; ++i) {
        pixels[i] = static_cast<std::uint8_t>((k * pixels[i]) >> 8);
      }
    }
    return;
  }

  render_plain_image(out, ptm, u, v, x0, y0);
  // The highlight is a second pass over the finished picture.
  if (viewer.specular_on) apply_specular_to_image(ptm, out, x0, y0);
}

void render_plain_image(RgbImage& out, const Ptm& ptm, float u, float v, int x0, int y0) {
  set_light_weights(u, v);
  const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
  const std::size_t stride = static_cast<std::size_t>(out.width) * 3;
  for (int y = 0; y < out.height; ++y) {
    evaluate_row(ptm, x0, y0 + y, out.width, out.pixels + static_cast<std::size_t>(y) * stride);
  }
}
