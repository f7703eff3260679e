#include "analysis/depth.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/checked_alloc.h"

namespace {

// One unit of a stored normal component: the bytes are trunc(127 c).
constexpr float normal_unit = 0.007874016f;

// The largest normalised depth kept: the smoothing adds up sixteen times
// a value, which must stay a finite float.
constexpr float largest_depth = 3.4028235e38f / 16;

// Below this |nz| the surface is seen nearly edge-on and nx / nz would
// grow without bound.
constexpr float edge_on_nz = 0.5f;

std::size_t index_of(int x, int y, int width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

bool outside_mask(const std::uint8_t* mask, int x, int y, int width, int height) {
  return mask != nullptr && mask[index_of(x, height - 1 - y, width)] == 0;
}

// Four floats, computed lane by lane.
typedef float FloatLanes __attribute__((vector_size(16)));

// GrowTo's work, inlined into the ring loops: the growth is one chain of
// pixels, each waiting for the one before, so every cycle of it counts.
[[gnu::always_inline]] inline GrowthStep grow_pixel(int x, int y, int width, int height, float px,
                                                    float py, float sx, float sy,
                                                    float focal_length, const float* gx,
                                                    const float* gy, float* depth) {
  const std::size_t i = index_of(x, y, width);
  const float g_x = gx[i];
  const float g_y = gy[i];
  // The ratio of offset (-k, -j) is minus that of (k, j) (the numerator
  // changes sign, exactly), so four divisions, in one vector, serve all
  // eight neighbours: from below-left, below, below-right and left.
  const FloatLanes dx = {sx, 0.0f, -sx, sx};
  const FloatLanes dy = {sy, sy, sy, 0.0f};
  const FloatLanes ratios = perspective_ratio(px, py, dx, dy, g_x, g_y, focal_length);
  const float below_left = ratios[0];
  const float below = ratios[1];
  const float below_right = ratios[2];
  const float left = ratios[3];

  const bool has_left = x > 0;
  const bool has_right = x + 1 < width;
  const bool has_below = y > 0;
  const bool has_above = y + 1 < height;
  float sum = 0.0f;
  int count = 0;
  auto add = [&](bool inside, std::size_t neighbour, float ratio) {
    if (!inside) return;
    const float d = depth[neighbour];
    if (d == unknown_depth) return;
    sum += (1.0f + ratio) * d;
    ++count;
  };
  const std::size_t w = static_cast<std::size_t>(width);
  if (has_below) {
    add(has_left, i - w - 1, below_left);
    add(true, i - w, below);
    add(has_right, i - w + 1, below_right);
  }
  add(has_left, i - 1, left);
  add(has_right, i + 1, -left);
  if (has_above) {
    add(has_left, i + w - 1, -below_right);
    add(true, i + w, -below);
    add(has_right, i + w + 1, -below_left);
  }
  if (count == 0) {
    // Kept unknown rather than 0: a depth of 0 would put the pixel at the
    // camera and pass that on to every pixel grown from it.
    depth[i] = unknown_depth;
    return GrowthStep::no_points;
  }
  // Most pixels have four known neighbours (three on the ring inside, the
  // one grown before); dividing by 4 is multiplying by 0.25, exactly, and
  // much sooner done.
  depth[i] = count == 4 ? sum * 0.25f : sum / static_cast<float>(count);
  if (focal_length - g_x * px - g_y * py == 0.0f) return GrowthStep::zero_denominator;
  return GrowthStep::grown;
}

// How many pixels ahead a column's data are fetched.
constexpr int column_lookahead = 12;

// The image centre and pixel pitch of the growth.
struct Grid {
  int width;
  int height;
  int cx;
  int cy;
  float sx;
  float sy;
  float focal_length;
  const float* gx;
  const float* gy;
  float* depth;

  // The sides that climb or descend a column step a whole row between
  // pixels, so each pixel's gradients and the row beyond it sit in cache
  // lines of their own, far from the last ones. They are fetched a few
  // pixels ahead, while the growth waits on its previous pixel.
  void prefetch(int x, int y) const {
    if (y < 0 || y >= height) return;
    const std::size_t i = index_of(x, y, width);
    __builtin_prefetch(gx + i);
    __builtin_prefetch(gy + i);
    __builtin_prefetch(depth + i, 1);
  }

  [[gnu::always_inline]] GrowthStep grow(int x, int y) const {
    const float px = static_cast<float>(x - cx) * sx;
    const float py = static_cast<float>(y - cy) * sy;
    return grow_pixel(x, y, width, height, px, py, sx, sy, focal_length, gx, gy, depth);
  }
};

}  // namespace

void depth_gradients(const std::int8_t* normals, const std::uint8_t* mask, int width, int height,
                     float* gx, float* gy) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  // Every pixel from its normal, then the pixels outside the mask, whose
  // normal (0, 0, 1) has gradient 0 / 1 = 0.
  for (std::size_t i = 0; i < pixels; ++i) {
    const float nx = normals[3 * i] * normal_unit;
    const float ny = normals[3 * i + 1] * normal_unit;
    const float nz = normals[3 * i + 2] * normal_unit;
    const float divisor = std::fabs(nz) < edge_on_nz ? 1.0f - nz : nz;
    gx[i] = nx / divisor;
    gy[i] = ny / divisor;
  }
  if (mask == nullptr) return;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!outside_mask(mask, x, y, width, height)) continue;
      gx[index_of(x, y, width)] = 0.0f;
      gy[index_of(x, y, width)] = 0.0f;
    }
  }
}

GrowthStep GrowTo(int x, int y, int width, int height, float px, float py, float sx, float sy,
                  float focal_length, const float* gx, const float* gy, float* depth) {
  return grow_pixel(x, y, width, height, px, py, sx, sy, focal_length, gx, gy, depth);
}

DepthGrowth grow_depth(const float* gx, const float* gy, int width, int height,
                       const CameraParameters& camera, float* depth) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < pixels; ++i) depth[i] = unknown_depth;
  const Grid grid{width,
                  height,
                  width / 2,
                  height / 2,
                  camera.image_width / static_cast<float>(width),
                  camera.image_height / static_cast<float>(height),
                  camera.focal_length,
                  gx,
                  gy,
                  depth};
  depth[index_of(grid.cx, grid.cy, width)] = camera.initial_distance;

  DepthGrowth result{true, 0, 0, 0};
  auto grow = [&](int x, int y) {
    const GrowthStep step = grid.grow(x, y);
    if (step == GrowthStep::no_points) ++result.no_points;
    if (step != GrowthStep::zero_denominator) return true;
    result.complete = false;
    result.x = x;
    result.y = y;
    return false;
  };
  // Square rings of odd side n around the centre, while they fit.
  for (int n = 3; n <= width && n <= height; n += 2) {
    const int h = n / 2;
    const int right = grid.cx + h;
    const int left = grid.cx - h;
    const int top = grid.cy + h;
    const int bottom = grid.cy - h;
    for (int y = bottom; y <= top; ++y) {
      grid.prefetch(right, y + column_lookahead);
      if (!grow(right, y)) return result;
    }
    for (int x = right; x >= left; --x) {
      if (!grow(x, top)) return result;
    }
    for (int y = top; y >= bottom; --y) {
      grid.prefetch(left, y - column_lookahead);
      if (!grow(left, y)) return result;
    }
    for (int x = left; x <= right; ++x) {
      if (!grow(x, bottom)) return result;
    }
  }
  // An even side puts the centre right of (or above) the middle, and the
  // odd rings stop one short of column 0 (row 0).
  if (width % 2 == 0) {
    for (int y = 0; y < height; ++y) {
      grid.prefetch(0, y + column_lookahead);
      if (!grow(0, y)) return result;
    }
  }
  if (height % 2 == 0) {
    for (int x = 0; x < width; ++x) {
      if (!grow(x, 0)) return result;
    }
  }
  return result;
}

bool normalise_depth(float* depth, const std::uint8_t* mask, int width, int height,
                     const CameraParameters& camera) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  float deepest = -3.4028235e38f;
  bool in_range = true;
  std::size_t unreached = 0;
  // Unknown pixels keep their marker for the second pass.
  for (std::size_t i = 0; i < pixels; ++i) {
    const float d = depth[i];
    const bool known = d != unknown_depth;
    const float normalised = (d - camera.initial_distance) / camera.estimated_depth;
    const bool small = std::fabs(normalised) <= largest_depth;
    in_range &= !known | small;
    const bool deeper = known & (normalised > deepest);
    deepest = deeper ? normalised : deepest;
    unreached += known ? 0 : 1;
    depth[i] = known ? normalised : d;
  }
  if (!in_range) return false;
  if (mask == nullptr && unreached == 0) return true;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float& d = depth[index_of(x, y, width)];
      if (d == unknown_depth || outside_mask(mask, x, y, width, height)) d = deepest;
    }
  }
  return true;
}

float* reconstruct_depth(const std::int8_t* normals, const std::uint8_t* mask, int width,
                         int height, const CameraParameters& camera) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  float* gx = checked_alloc_array<float>(pixels + 1);
  float* gy = checked_alloc_array<float>(pixels + 1);
  float* depth = checked_alloc_array<float>(pixels + 1);
  depth_gradients(normals, mask, width, height, gx, gy);
  const DepthGrowth growth = grow_depth(gx, gy, width, height, camera, depth);
  checked_free(gx);
  checked_free(gy);
  // One line for them all: whole columns and rows can be without a known
  // neighbour (column 0 of an even width when column 1 was never reached).
  if (growth.no_points > 0) {
    std::fprintf(stderr, "GrowTo Error: no points to grow from, at %llu pixels\n",
                 static_cast<unsigned long long>(growth.no_points));
  }
  if (!growth.complete) {
    std::fprintf(stderr,
                 "The focal length %g makes the perspective ratio's denominator 0 at pixel "
                 "(%d, %d): no depth there; aborting depth calculation\n",
                 static_cast<double>(camera.focal_length), growth.x, growth.y);
    checked_free(depth);
    return nullptr;
  }
  if (!normalise_depth(depth, mask, width, height, camera)) {
    std::fprintf(stderr,
                 "Depth values beyond the range of single precision (the camera puts the "
                 "surface too far away, or the focal length %g is too close to where the "
                 "perspective ratio's denominator is 0); aborting depth calculation\n",
                 static_cast<double>(camera.focal_length));
    checked_free(depth);
    return nullptr;
  }
  return depth;
}

void smooth_depth(float* depth, int width, int height) {
  if (width <= 0 || height <= 0) return;
  const std::size_t w = static_cast<std::size_t>(width);
  // Copies of the unsmoothed rows y - 1 and y; row y + 1 is still
  // unsmoothed in the map itself, so the filter runs in place.
  float* previous = checked_alloc_array<float>(w);
  float* current = checked_alloc_array<float>(w);
  for (int y = 0; y < height; ++y) {
    float* row = depth + static_cast<std::size_t>(y) * w;
    std::memcpy(current, row, w * sizeof(float));
    const float* rows[3] = {y > 0 ? previous : nullptr, current,
                            y + 1 < height ? row + w : nullptr};
    // The weighted sum in one order everywhere: rows y - 1, y, y + 1,
    // columns from the left; weights 1 2 1 / 2 4 2 / 1 2 1.
    auto smoothed = [&](int x) {
      float sum = 0.0f;
      float weight = 0.0f;
      for (int j = 0; j < 3; ++j) {
        if (rows[j] == nullptr) continue;
        const float row_weight = j == 1 ? 2.0f : 1.0f;
        for (int k = -1; k <= 1; ++k) {
          if (x + k < 0 || x + k >= width) continue;
          const float wk = row_weight * (k == 0 ? 2.0f : 1.0f);
          sum += wk * rows[j][x + k];
          weight += wk;
        }
      }
      return sum / weight;
    };
    if (rows[0] != nullptr && rows[2] != nullptr && width > 2) {
      row[0] = smoothed(0);
      const float* a = rows[0];
      const float* c = rows[1];
      const float* b = rows[2];
      // All nine neighbours, in the order above, with the full weight 16.
      for (int x = 1; x + 1 < width; ++x) {
        float sum = a[x - 1];
        sum += 2.0f * a[x];
        sum += a[x + 1];
        sum += 2.0f * c[x - 1];
        sum += 4.0f * c[x];
        sum += 2.0f * c[x + 1];
        sum += b[x - 1];
        sum += 2.0f * b[x];
        sum += b[x + 1];
        row[x] = sum / 16.0f;
      }
      row[width - 1] = smoothed(width - 1);
    } else {
      for (int x = 0; x < width; ++x) row[x] = smoothed(x);
    }
    std::swap(previous, current);
  }
  checked_free(previous);
  checked_free(current);
}
