#include "app/core/display_buffers.h"

#include "app/core/viewer_state.h"

namespace {
constexpr int reflectance_view_size = 250;
}

void allocate_display_buffers(const Ptm& ptm) {
  viewer.reflectance_image = new_rgb_image(reflectance_view_size, reflectance_view_size);
  viewer.view_image = new_rgb_image(ptm.width, ptm.height);
  init_region();
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
