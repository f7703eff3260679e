#include "writers/cropped_ptm_writer.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "writers/ptm_writer.h"

namespace {

// One corner coordinate in map pixels, forced into 0 .. size - 1. The
// clamp comes before the conversion to int, so that no pan or zoom, however
// far off, can make the conversion overflow; for integer bounds clamping
// and truncating commute.
int map_coordinate(int view, bool zoomed, float zoom_factor, int size, float pan) {
  double position = view;
  if (zoomed) {
    const float single = static_cast<float>(size) * pan + static_cast<float>(view) / zoom_factor;
    position = static_cast<double>(single) + 0.5;
  }
  if (!(position >= 0)) return 0;  // also NaN
  return static_cast<int>(std::min(position, static_cast<double>(size - 1)));
}

bool supported(int format) {
  return format == PTM_FORMAT_RGB || format == PTM_FORMAT_LUM || format == PTM_FORMAT_LRGB;
}

}  // namespace

PtmRect crop_rectangle(const ViewSelection& s, int width, int height) {
  int x0 = map_coordinate(s.x0, s.zoomed, s.zoom_factor, width, s.pan_u);
  int x1 = map_coordinate(s.x1, s.zoomed, s.zoom_factor, width, s.pan_u);
  int y0 = map_coordinate(s.y0, s.zoomed, s.zoom_factor, height, s.pan_v);
  int y1 = map_coordinate(s.y1, s.zoomed, s.zoom_factor, height, s.pan_v);
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

bool write_cropped_ptm_file(const Ptm& ptm, const PtmRect& rect, const char* path) {
  if (!supported(ptm.format)) {
    std::printf("PTM write error: Unsupported ptm format\n");
    return false;
  }
  if (rect.w <= 0 || rect.h <= 0 || rect.xs < 0 || rect.ys < 0 || rect.xs > ptm.width - rect.w ||
      rect.ys > ptm.height - rect.h) {
    std::printf("PTM write error: region %d x %d at %d %d is not inside the %d x %d map\n", rect.w,
                rect.h, rect.xs, rect.ys, ptm.width, ptm.height);
    return false;
  }
  return write_ptm_region(ptm, path, rect.xs, rect.ys, rect.w, rect.h);
}
