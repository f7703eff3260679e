#include "render/light_sum.h"

#include <algorithm>
#include <vector>

#include "common/parallel.h"

void render_light_sum_rows(const PictureRows& rows, const Ptm& ptm,
                           std::span<const RelitLight> lights, const RenderMode& mode) {
  const std::size_t bytes = static_cast<std::size_t>(rows.width) * 3 *
                            static_cast<std::size_t>(std::max(0, rows.end_row - rows.first_row));
  std::uint8_t* sum = rows.pixels;
  std::vector<std::uint8_t> work;
  bool empty = true;  // the sum is still all zero
  for (const RelitLight& light : lights) {
    if (!light.enabled) continue;
    if (empty && light.intensity == 1.0f) {
      // trunc(b * 1 + 0) is b: the first light at full intensity is its
      // render, made in place without a pass over the rows.
      render_ptm_rows(rows, ptm, mode, light.u, light.v);
      empty = false;
      continue;
    }
    if (empty) std::fill(sum, sum + bytes, 0);
    empty = false;
    work.resize(bytes);
    PictureRows light_rows = rows;
    light_rows.pixels = work.data();
    render_ptm_rows(light_rows, ptm, mode, light.u, light.v);
    for (std::size_t b = 0; b < bytes; ++b) {
      const float value = work[b] * light.intensity + sum[b];
      sum[b] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
    }
  }
  if (empty) std::fill(sum, sum + bytes, 0);
}

RgbImage* render_light_sum(const Ptm& ptm, std::span<const RelitLight> lights,
                           const RenderMode& mode, int threads) {
  RgbImage* sum = new_rgb_image(ptm.width, ptm.height);
  const std::size_t row_bytes = static_cast<std::size_t>(ptm.width) * 3;
  parallel_blocks(
      threads, ptm.height, render_block_rows(ptm.width, mode),
      [&](std::int64_t begin, std::int64_t end) {
        const PictureRows rows{
            sum->pixels + begin * row_bytes, ptm.width, ptm.height, static_cast<int>(begin),
            static_cast<int>(end),           0,         0};
        render_light_sum_rows(rows, ptm, lights, mode);
      });
  return sum;
}
