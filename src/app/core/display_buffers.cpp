#include "app/core/display_buffers.h"

#include <algorithm>

#include "app/core/viewer_state.h"

namespace {
constexpr int reflectance_view_size = 250;
}

void allocate_display_buffers(const Ptm& ptm, int screen_width, int screen_height) {
  viewer.reflectance_image = new_rgb_image(reflectance_view_size, reflectance_view_size);
  const int width = screen_width > 0 ? std::min(ptm.width, screen_width) : ptm.width;
  const int height = screen_height > 0 ? std::min(ptm.height, screen_height) : ptm.height;
  viewer.view_image = new_rgb_image(width, height);
  viewer.display_capacity = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  init_region();
}

void ensure_display_capacity(int width, int height) {
  const std::size_t pixels =
      static_cast<std::size_t>(std::max(0, width)) * static_cast<std::size_t>(std::max(0, height));
  if (pixels <= viewer.display_capacity) return;
  for (RgbImage** image : {&viewer.view_image, &viewer.region_image}) {
    RgbImage* larger = new_rgb_image(width, height);
    larger->width = (*image)->width;
    larger->height = (*image)->height;
    free_rgb_image(*image);
    *image = larger;
  }
  viewer.display_capacity = pixels;
}

void init_region() {
  const int width = viewer.view_image->width;
  const int height = viewer.view_image->height;
  viewer.sel_x0 = 0;
  viewer.sel_y0 = 0;
  viewer.sel_x1 = width - 1;
  viewer.sel_y1 = height - 1;
  viewer.region_image = new_rgb_image(width, height);
  viewer.region_image->width = viewer.sel_x1 - viewer.sel_x0 + 1;
  viewer.region_image->height = viewer.sel_y1 - viewer.sel_y0 + 1;
}
