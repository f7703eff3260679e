#include "render/light_sum.h"

#include <algorithm>

#include "render/render_image.h"

RgbImage* render_light_sum(const Ptm& ptm, std::span<const RelitLight> lights,
                           const RenderMode& mode) {
  RgbImage* sum = new_rgb_image(ptm.width, ptm.height);
  RgbImage* work = nullptr;
  const std::size_t bytes = pixel_count(ptm) * 3;
  bool empty = true;  // the sum is still all zero
  for (const RelitLight& light : lights) {
    if (!light.enabled) continue;
    if (empty && light.intensity == 1.0f) {
      // trunc(b * 1 + 0) is b: the first light at full intensity is its
      // render, made in place without a pass over the picture.
      render_ptm_image(*sum, ptm, mode, light.u, light.v, 0, 0);
      empty = false;
      continue;
    }
    if (empty) std::fill(sum->pixels, sum->pixels + bytes, 0);
    empty = false;
    if (work == nullptr) work = new_rgb_image(ptm.width, ptm.height);
    render_ptm_image(*work, ptm, mode, light.u, light.v, 0, 0);
    for (std::size_t b = 0; b < bytes; ++b) {
      const float value = work->pixels[b] * light.intensity + sum->pixels[b];
      sum->pixels[b] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
    }
  }
  if (empty) std::fill(sum->pixels, sum->pixels + bytes, 0);
  free_rgb_image(work);
  return sum;
}
