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
    set_light_weights(0, 0);
    for (int y = 0; y < h; ++y) {
      std::uint8_t* pixel = row + y * stride;
      for (int x = 0; x < width; ++x, pixel += 3) {
        evaluate_texture_mapped(ptm, x0 + x, y0 + y, k, pixel[0], pixel[1], pixel[2]);
      }
    }
    return;
  }

  const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
  for (int y = 0; y < height; ++y) evaluate_row(ptm, x0, y0 + y, width, row + y * stride);
  // The highlight is a second pass over the finished picture.
  if (viewer.specular_on) apply_specular_to_image(ptm, out, x0, y0);
}
