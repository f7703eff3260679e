#include "render/zoom.h"

#include <cstdio>

#include "common/checked_alloc.h"
#include "common/parallel.h"

namespace {

using BilerpFn = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, float,
                                  float);

// The four source pixels around a fractional position (c00, c10 on its
// row, c01, c11 on the next) and the position's fractions between them.
struct Corners {
  std::size_t p00;
  std::size_t p10;
  std::size_t p01;
  std::size_t p11;
  float dx;
  float dy;
};

// Calls visit(destination pixel, &corners) for every pixel of a
// destination_width x destination_height picture whose position in the
// width x height source lies strictly inside it, keeping one pixel of margin
// on the far sides so that the +1 neighbours exist, and visit(pixel,
// nullptr) for the rest. Blocks of rows go to up to `threads` threads.
template <typename Visit>
void for_each_zoomed_pixel(int width, int height, int destination_width, int destination_height,
                           float zoom_factor, float pan_u, float pan_v, int threads, Visit visit) {
  const float pan_x = static_cast<float>(width) * pan_u;
  const float pan_y = static_cast<float>(height) * pan_v;
  parallel_blocks(threads, destination_height, rows_per_block(destination_width),
                  [&](std::int64_t first, std::int64_t end) {
                    for (int y = static_cast<int>(first); y < end; ++y) {
                      const float fy = static_cast<float>(y) / zoom_factor + pan_y;
                      const bool row_inside = inside_zoom_margin(fy, height);
                      for (int x = 0; x < destination_width; ++x) {
                        const std::size_t to = static_cast<std::size_t>(y) * destination_width + x;
                        const float fx = static_cast<float>(x) / zoom_factor + pan_x;
                        if (!row_inside || !inside_zoom_margin(fx, width)) {
                          visit(to, nullptr);
                          continue;
                        }
                        const int x0 = static_cast<int>(fx);
                        const int y0 = static_cast<int>(fy);
                        const std::size_t p00 = static_cast<std::size_t>(y0) * width + x0;
                        const Corners corners{p00,
                                              p00 + 1,
                                              p00 + width,
                                              p00 + width + 1,
                                              fx - static_cast<float>(x0),
                                              fy - static_cast<float>(y0)};
                        visit(to, &corners);
                      }
                    }
                  });
}

// `count` elements from element `offset` of every pixel's `stride`
// elements: resampled into destination pixel `to`, or zeroed when there are
// no corners. Results keep the element's own width.
template <typename T>
void resample_run(const T* source, T* destination, std::size_t stride, std::size_t offset,
                  int count, std::size_t to, const Corners* corners, BilerpFn bilerp) {
  T* out = destination + to * stride + offset;
  if (corners == nullptr) {
    for (int k = 0; k < count; ++k) out[k] = 0;
    return;
  }
  const T* c00 = source + corners->p00 * stride + offset;
  const T* c10 = source + corners->p10 * stride + offset;
  const T* c01 = source + corners->p01 * stride + offset;
  const T* c11 = source + corners->p11 * stride + offset;
  for (int k = 0; k < count; ++k) {
    out[k] = static_cast<T>(bilerp(c00[k], c10[k], c01[k], c11[k], corners->dx, corners->dy));
  }
}

// The packed LRGB record: coefficients and colour bytes both through the
// 16-bit interpolation, the pad byte always 0.
void resample_packed_lrgb(const PackedLrgbTexel* source, PackedLrgbTexel* destination,
                          std::size_t to, const Corners* corners) {
  PackedLrgbTexel& out = destination[to];
  if (corners == nullptr) {
    out = PackedLrgbTexel{};
    return;
  }
  const PackedLrgbTexel& t00 = source[corners->p00];
  const PackedLrgbTexel& t10 = source[corners->p10];
  const PackedLrgbTexel& t01 = source[corners->p01];
  const PackedLrgbTexel& t11 = source[corners->p11];
  const float dx = corners->dx;
  const float dy = corners->dy;
  for (int k = 0; k < 6; ++k) {
    out.coef[k] = static_cast<std::int16_t>(
        bilerp_s16(t00.coef[k], t10.coef[k], t01.coef[k], t11.coef[k], dx, dy));
  }
  out.red = static_cast<std::uint8_t>(bilerp_s16(t00.red, t10.red, t01.red, t11.red, dx, dy));
  out.green =
      static_cast<std::uint8_t>(bilerp_s16(t00.green, t10.green, t01.green, t11.green, dx, dy));
  out.blue = static_cast<std::uint8_t>(bilerp_s16(t00.blue, t10.blue, t01.blue, t11.blue, dx, dy));
  out.zero = 0;
}

// Every element one pixel of the format and representation stores.
void resample_pixel(const Ptm& source, Ptm& destination, std::size_t to, const Corners* corners) {
  switch (source.format) {
    case PTM_FORMAT_RGB:
      for (int c = 0; c < 3; ++c) {
        if (source.packed_rgb != nullptr) {
          // Six coefficients of each eight-value channel group; the pads
          // are never read by the evaluators.
          resample_run(source.packed_rgb, destination.packed_rgb, packed_rgb_values_per_pixel,
                       8 * c, 6, to, corners, bilerp_s16);
        } else {
          resample_run(source.coef_int[c], destination.coef_int[c], 6, 0, 6, to, corners,
                       bilerp_s32);
        }
      }
      break;
    case PTM_FORMAT_LUM:
      resample_run(source.color_planes[0], destination.color_planes[0], 1, 0, 1, to, corners,
                   bilerp_u8);
      resample_run(source.color_planes[2], destination.color_planes[2], 1, 0, 1, to, corners,
                   bilerp_u8);
      resample_run(source.lum_coef_int, destination.lum_coef_int, 6, 0, 6, to, corners,
                   bilerp_s32);
      break;
    case PTM_FORMAT_LRGB:
      if (source.packed_lrgb != nullptr) {
        resample_packed_lrgb(source.packed_lrgb, destination.packed_lrgb, to, corners);
        break;
      }
      for (int c = 0; c < 3; ++c) {
        resample_run(source.color_planes[c], destination.color_planes[c], 1, 0, 1, to, corners,
                     bilerp_u8);
      }
      resample_run(source.lum_coef_int, destination.lum_coef_int, 6, 0, 6, to, corners,
                   bilerp_s32);
      break;
    default:
      break;
  }
}

bool same_size(const Ptm& a, const Ptm& b) { return a.width == b.width && a.height == b.height; }

}  // namespace

ZoomResult zoom_ptm_view(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                         float pan_v, int threads) {
  if (source.format != PTM_FORMAT_RGB && source.format != PTM_FORMAT_LUM &&
      source.format != PTM_FORMAT_LRGB) {
    std::fprintf(stderr,
                 "Sorry, zoom with this type of surface not supported yet.  Please report bug.\n");
    return ZoomResult::unsupported_format;
  }
  for_each_zoomed_pixel(source.width, source.height, destination.width, destination.height,
                        zoom_factor, pan_u, pan_v, threads,
                        [&](std::size_t to, const Corners* corners) {
                          resample_pixel(source, destination, to, corners);
                        });
  return ZoomResult::done;
}

ZoomResult zoom_ptm_into(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                         float pan_v) {
  if (!same_size(source, destination)) {
    std::fprintf(stderr, "zoom error:  src and destination sizes must be equal\n");
    return ZoomResult::size_mismatch;
  }
  return zoom_ptm_view(source, destination, zoom_factor, pan_u, pan_v, 1);
}

bool zoom_normals_view(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                       float pan_v, int threads) {
  if (source.normals == nullptr) return false;
  if (destination.normals == nullptr) {
    destination.normals = checked_alloc_array<std::int8_t>(pixel_count(destination) * 3);
  }
  for_each_zoomed_pixel(source.width, source.height, destination.width, destination.height,
                        zoom_factor, pan_u, pan_v, threads,
                        [&](std::size_t to, const Corners* corners) {
                          resample_run(source.normals, destination.normals, 3, 0, 3, to, corners,
                                       bilerp_s8);
                        });
  return true;
}

bool zoom_normals_into(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                       float pan_v) {
  if (!same_size(source, destination)) return false;
  return zoom_normals_view(source, destination, zoom_factor, pan_u, pan_v, 1);
}

void normal_image(const Ptm& ptm, RgbImage& view) {
  for (int y = 0; y < view.height; ++y) {
    const std::int8_t* normal = ptm.normals + static_cast<std::size_t>(y) * ptm.width * 3;
    std::uint8_t* pixel = view.pixels + static_cast<std::size_t>(y) * view.width * 3;
    for (int k = 0; k < view.width * 3; ++k) {
      pixel[k] = static_cast<std::uint8_t>(normal[k] + 128);
    }
  }
}
