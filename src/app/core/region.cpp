#include "app/core/region.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/core/viewer_state.h"
#include "render/zoom.h"

namespace {

// The view's size as a fraction of the map's: how much of the map one
// view-width shows at zoom 1.
struct ViewRatio {
  float x;
  float y;
};

ViewRatio view_ratio() {
  const RgbImage& view = *viewer.view_image;
  const Ptm& map = *viewer.current_ptm;
  return {static_cast<float>(view.width) / static_cast<float>(map.width),
          static_cast<float>(view.height) / static_cast<float>(map.height)};
}

void size_region_image() {
  viewer.region_image->width = viewer.sel_x1 - viewer.sel_x0 + 1;
  viewer.region_image->height = viewer.sel_y1 - viewer.sel_y0 + 1;
}

// A region zoom not taken is dropped together with its region.
void drop_pending_zoom() {
  if (!viewer.zoom_pending) return;
  viewer.zoom_pending = 0;
  reset_region();
}

// The reflectance window is 250 pixels wide; 0.008 = 1 / 125 maps its
// half-width to the unit light square.
constexpr int reflectance_centre = 125;
constexpr double reflectance_step = 0.008;

constexpr std::uint8_t discarded_grey = 127;

}  // namespace

void reset_region() {
  viewer.sel_x0 = 0;
  viewer.sel_y0 = 0;
  viewer.sel_x1 = viewer.view_image->width - 1;
  viewer.sel_y1 = viewer.view_image->height - 1;
  size_region_image();
  viewer.region_x = 0;
  viewer.region_y = 0;
}

void clamp_region() {
  const int x_max = viewer.view_image->width - 1;
  const int y_max = viewer.view_image->height - 1;
  viewer.sel_x0 = std::clamp(viewer.sel_x0, 0, x_max);
  viewer.sel_x1 = std::clamp(viewer.sel_x1, 0, x_max);
  viewer.sel_y0 = std::clamp(viewer.sel_y0, 0, y_max);
  viewer.sel_y1 = std::clamp(viewer.sel_y1, 0, y_max);
  size_region_image();
  viewer.region_x = viewer.sel_x0;
  viewer.region_y = viewer.sel_y0;
}

void print_selection() {
  std::printf("\rSelected size: %d x %d at %d %d           ",
              std::abs(viewer.sel_x1 - viewer.sel_x0) + 1,
              std::abs(viewer.sel_y1 - viewer.sel_y0) + 1, std::min(viewer.sel_x0, viewer.sel_x1),
              std::min(viewer.sel_y0, viewer.sel_y1));
  std::fflush(stdout);
}

void compute_pending_zoom(int x0, int y0, int x1, int y1) {
  const float width = static_cast<float>(viewer.current_ptm->width);
  const float height = static_cast<float>(viewer.current_ptm->height);
  const float zoom = viewer.zoom_factor;
  const ViewRatio r = view_ratio();
  // The corners as fractions of the map.
  const float u_left = viewer.pan_u + static_cast<float>(x0) / width / zoom;
  const float u_right = viewer.pan_u + static_cast<float>(x1) / width / zoom;
  const float v_bottom = viewer.pan_v + static_cast<float>(y0) / height / zoom;
  const float v_top = viewer.pan_v + static_cast<float>(y1) / height / zoom;
  const float du = u_right - u_left;
  const float dv = v_top - v_bottom;
  // The region's larger extent relative to the view fills the view.
  const float pending = dv / r.y < du / r.x ? r.x / du : r.y / dv;
  if (!(pending > 0) || !std::isfinite(pending)) {
    // A single pixel (du = dv = 0) would ask for an infinite zoom.
    viewer.zoom_pending = 0;
    return;
  }
  viewer.pending_zoom = pending;
  viewer.pending_pan_u = (u_left + u_right) * 0.5f - 0.5f * r.x / pending;
  viewer.pending_pan_v = (v_bottom + v_top) * 0.5f - 0.5f * r.y / pending;
  viewer.zoom_pending = 1;
}

bool reflectance_position_to_light(int x, int y, float extent, float& u, float& v) {
  const auto unit_u = static_cast<float>((x - reflectance_centre) * reflectance_step);
  const auto unit_v = static_cast<float>((reflectance_centre - y) * reflectance_step);
  if (!(-1 < unit_u && unit_u < 1 && -1 < unit_v && unit_v < 1)) return false;
  u = extent * unit_u;
  v = extent * unit_v;
  return true;
}

namespace {

// The view pixel nearest to `wanted` along one axis of `view_size` pixels
// whose map coordinate c / zoom + pan (`pan` in map pixels) is one the
// zoom resamples; unzoomed every view pixel shows the map. A view with no
// such pixel keeps the pixel clamped into the view.
int nearest_shown_pixel(float wanted, int view_size, int map_size, float pan) {
  const int clamped = std::clamp(static_cast<int>(std::lround(wanted)), 0, view_size - 1);
  if (!viewer.zoomed) return clamped;
  auto shown = [&](int c) {
    return inside_zoom_margin(static_cast<float>(c) / viewer.zoom_factor + pan, map_size);
  };
  for (int step = 0; step < view_size; ++step) {
    if (clamped - step >= 0 && shown(clamped - step)) return clamped - step;
    if (clamped + step < view_size && shown(clamped + step)) return clamped + step;
  }
  return clamped;
}

}  // namespace

MapPoint probe_map_position() {
  const auto x = static_cast<float>(viewer.probe_x);
  const auto y = static_cast<float>(viewer.probe_y);
  if (!viewer.zoomed) return {x, y};
  const Ptm& map = *viewer.current_ptm;
  return {x / viewer.zoom_factor + static_cast<float>(map.width) * viewer.pan_u,
          y / viewer.zoom_factor + static_cast<float>(map.height) * viewer.pan_v};
}

void place_probe(MapPoint at) {
  const RgbImage& view = *viewer.view_image;
  if (view.width <= 0 || view.height <= 0) {
    viewer.probe_x = 0;
    viewer.probe_y = 0;
    return;
  }
  const Ptm& map = *viewer.current_ptm;
  const float pan_x = viewer.zoomed ? static_cast<float>(map.width) * viewer.pan_u : 0.0f;
  const float pan_y = viewer.zoomed ? static_cast<float>(map.height) * viewer.pan_v : 0.0f;
  const float zoom = viewer.zoomed ? viewer.zoom_factor : 1.0f;
  viewer.probe_x = nearest_shown_pixel((at.x - pan_x) * zoom, view.width, map.width, pan_x);
  viewer.probe_y = nearest_shown_pixel((at.y - pan_y) * zoom, view.height, map.height, pan_y);
}

bool zoom_in() {
  viewer.zoomed = 1;
  if (viewer.zoom_pending) {
    viewer.zoom_pending = 0;
    viewer.zoom_factor = viewer.pending_zoom;
    viewer.pan_u = viewer.pending_pan_u;
    viewer.pan_v = viewer.pending_pan_v;
    reset_region();
    return true;
  }
  // Doubling the zoom halves the part of the map shown; moving the pan by
  // half the new view keeps the view's centre where it was.
  const ViewRatio r = view_ratio();
  viewer.zoom_factor *= 2;
  viewer.pan_u += 0.5f * r.x / viewer.zoom_factor;
  viewer.pan_v += 0.5f * r.y / viewer.zoom_factor;
  return true;
}

bool zoom_out() {
  drop_pending_zoom();
  const ViewRatio r = view_ratio();
  viewer.zoom_factor *= 0.5f;
  if (viewer.zoom_factor > viewer.fit_zoom) {
    viewer.pan_u -= 0.25f * r.x / viewer.zoom_factor;
    viewer.pan_v -= 0.25f * r.y / viewer.zoom_factor;
    return true;
  }
  if (viewer.fit_zoom < 0.99f) {
    // The map is larger than the window: the whole of it, centred.
    viewer.zoom_factor = viewer.fit_zoom;
    viewer.zoomed = 1;
    viewer.pan_u = 0.5f - 0.5f * r.x / viewer.fit_zoom;
    viewer.pan_v = 0.5f - 0.5f * r.y / viewer.fit_zoom;
    return true;
  }
  viewer.zoomed = 0;
  viewer.zoom_factor = 1.0f;
  viewer.pan_u = 0;
  viewer.pan_v = 0;
  return false;
}

bool pan_view(PanDirection direction) {
  if (!viewer.zoomed) return false;
  const float step = 0.25f / viewer.zoom_factor;
  switch (direction) {
    case PanDirection::left:
      viewer.pan_u -= step;
      break;
    case PanDirection::right:
      viewer.pan_u += step;
      break;
    case PanDirection::up:
      viewer.pan_v += step;
      break;
    case PanDirection::down:
      viewer.pan_v -= step;
      break;
  }
  drop_pending_zoom();
  return true;
}

bool discard_color(Ptm& ptm, float& constant_term) {
  if (ptm.format != PTM_FORMAT_LRGB) {
    std::printf("Discard color info command not implemented for this format of PTM\n");
    return false;
  }
  const std::size_t pixels = pixel_count(ptm);
  if (pixels == 0) return true;
  // 64-bit sums hold any map: at most 2^31 pixels of 32-bit terms.
  const auto count = static_cast<std::int64_t>(pixels);
  const std::uint8_t grey[3] = {discarded_grey, discarded_grey, discarded_grey};
  std::int64_t sum = 0;
  // The mean also in the units of a stored byte's value (b - bias) * scale,
  // display units times 256, which the diffuse-gain transform works in:
  // packed a5 is in display units, wide a5 in display units times 16384.
  if (ptm.packed_lrgb != nullptr) {
    for (std::size_t p = 0; p < pixels; ++p) sum += ptm.packed_lrgb[p].coef[5];
    const auto mean = static_cast<std::int16_t>(sum / count);
    for (std::size_t p = 0; p < pixels; ++p) ptm.packed_lrgb[p].coef[5] = mean;
    constant_term = static_cast<float>(mean) * 256;
  } else {
    for (std::size_t p = 0; p < pixels; ++p) sum += ptm.lum_coef_int[p * 6 + 5];
    const auto mean = static_cast<std::int32_t>(sum / count);
    for (std::size_t p = 0; p < pixels; ++p) ptm.lum_coef_int[p * 6 + 5] = mean;
    constant_term = static_cast<float>(mean / 64.0);
  }
  for (std::size_t p = 0; p < pixels; ++p) set_lrgb_color(ptm, p, grey);
  return true;
}
