#include "render/render_image.h"

#include <algorithm>
#include <cmath>

#include "common/parallel.h"
#include "render/evaluate.h"
#include "render/evaluate_rows.h"
#include "render/specular.h"

namespace {

std::size_t row_bytes(int width) { return static_cast<std::size_t>(width) * 3; }

// Picture rows from .. to - 1 of `rows` (within its run) evaluated for the
// weights.
void evaluate_rows(const PictureRows& rows, const Ptm& ptm, const LightWeights& weights, int from,
                   int to) {
  const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
  for (int r = from; r < to; ++r) {
    evaluate_row(
        ptm, weights, rows.x0, rows.y0 + r, rows.width,
        rows.pixels + static_cast<std::size_t>(r - rows.first_row) * row_bytes(rows.width));
  }
}

}  // namespace

void render_ptm_rows(const PictureRows& rows, const Ptm& ptm, const RenderMode& mode, float u,
                     float v) {
  if (rows.end_row <= rows.first_row || rows.width <= 0) return;
  if (mode.enhancement == Enhancement::texture_comparison) {
    // Upper half (rows h .. H - 1 on screen) relit, lower half the head-on
    // texture shaded like a flat plane: k / 256 is the light's z.
    const float d = u * u + v * v;
    const int k = d > 1 ? 0 : static_cast<int>(256 * std::sqrt(1 - d));
    const int h = rows.picture_height / 2;
    const int split = std::clamp(h, rows.first_row, rows.end_row);
    evaluate_rows(rows, ptm, light_weights_for(u, v), split, rows.end_row);
    // evaluate_texture_mapped row by row: the row kernel gives the
    // per-pixel evaluator's bytes for the head-on light, then each is
    // scaled by k / 256 while the row is still in the cache.
    const LightWeights head_on = light_weights_for(0, 0);
    const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
    const std::size_t stride = row_bytes(rows.width);
    for (int r = rows.first_row; r < split; ++r) {
      std::uint8_t* pixels = rows.pixels + static_cast<std::size_t>(r - rows.first_row) * stride;
      evaluate_row(ptm, head_on, rows.x0, rows.y0 + r, rows.width, pixels);
      for (std::size_t i = 0; i < stride; ++i) {
        pixels[i] = static_cast<std::uint8_t>((k * pixels[i]) >> 8);
      }
    }
    return;
  }

  evaluate_rows(rows, ptm, light_weights_for(u, v), rows.first_row, rows.end_row);
  // The highlight is a second pass over the run just evaluated.
  if (mode.enhancement == Enhancement::specular) {
    RgbImage run{rows.width, rows.end_row - rows.first_row, rows.pixels};
    apply_specular_to_image(ptm, mode.specular, specular_half_vector(u, v), run, rows.x0,
                            rows.y0 + rows.first_row);
  }
}

std::int64_t render_block_rows(int width, const RenderMode& mode) {
  return rows_per_block(width) * (mode.enhancement == Enhancement::specular ? 16 : 1);
}

void render_ptm_image(RgbImage& out, const Ptm& ptm, const RenderMode& mode, float u, float v,
                      int x0, int y0, int threads) {
  parallel_blocks(threads, out.height, render_block_rows(out.width, mode),
                  [&](std::int64_t begin, std::int64_t end) {
                    const PictureRows rows{out.pixels + begin * row_bytes(out.width),
                                           out.width,
                                           out.height,
                                           static_cast<int>(begin),
                                           static_cast<int>(end),
                                           x0,
                                           y0};
                    render_ptm_rows(rows, ptm, mode, u, v);
                  });
}

void render_plain_image(RgbImage& out, const Ptm& ptm, float u, float v, int x0, int y0,
                        int threads) {
  render_ptm_image(out, ptm, RenderMode{}, u, v, x0, y0, threads);
}
