// Depth from the normal field under a perspective camera.
//
// A plane z = gx X + gy Y + z0 (z the distance from the camera, X = px z /
// f and Y = py z / f for the image-plane point (px, py) at focal length f)
// lies at z0 f / (f - gx px - gy py). Between two image-plane points the
// depth therefore changes by the factor
//   z(p) / z(p + d) = 1 + (-d . g) / (f - g . p),
// the perspective ratio. Each pixel's gradient g = (nx / nz, ny / nz) comes
// from its normal; depth is grown outward from the image centre, ring by
// ring, each pixel taking the mean of what its already known neighbours
// predict through its own tangent plane.
//
// Maps hold one float per pixel in the map's pixel order (y * width + x,
// row 0 at the bottom).
#pragma once

#include <cstdint>

#include "analysis/camera_file.h"

// Marks a pixel whose depth is not known yet: the most negative float.
inline constexpr float unknown_depth = -3.4028235e38f;

// (dx gx + dy gy) / (f - gx px - gy py): the relative change of depth from
// a neighbour at image-plane offset (-dx, -dy) to the point (px, py) whose
// gradient is (gx, gy). The offsets may also be vectors of floats (GCC's
// vector extension), giving the ratios of several neighbours at once, each
// lane computed as the single float would be.
template <typename Offset>
inline Offset perspective_ratio(float px, float py, Offset dx, Offset dy, float gx, float gy,
                                float focal_length) {
  return (dx * gx + dy * gy) / (focal_length - gx * px - gy * py);
}

// The gradient of every pixel from its normal bytes (n / 127 each): nx /
// nz, ny / nz, or, where |nz| < 0.5 (a surface seen nearly edge-on), nx /
// (1 - nz) and ny / (1 - nz), which stay bounded. Pixels outside the mask
// (byte 0; the mask's rows run opposite to the map's, so pixel (x, y) is
// mask[(height - 1 - y) * width + x]) face the camera: gradient 0. `mask`
// may be null.
void depth_gradients(const std::int8_t* normals, const std::uint8_t* mask, int width, int height,
                     float* gx, float* gy);

enum class GrowthStep {
  grown,
  // No neighbour of the pixel was known: the pixel stays unknown.
  no_points,
  // f - gx px - gy py is 0 at the pixel: its depth would be infinite.
  zero_denominator,
};

// The depth of pixel (x, y), at image-plane position (px, py) with pixel
// pitch (sx, sy): the mean over its known neighbours (x + k, y + j), in
// the order j = -1, 0, 1 and k = -1, 0, 1 within each, of
//   (1 + perspective_ratio(px, py, -k sx, -j sy, gx(x, y), gy(x, y), f)) * depth(x + k, y + j).
GrowthStep GrowTo(int x, int y, int width, int height, float px, float py, float sx, float sy,
                  float focal_length, const float* gx, const float* gy, float* depth);

struct DepthGrowth {
  bool complete;  // false: stopped at pixel (x, y) with a zero denominator
  int x;
  int y;
  std::uint64_t no_points;  // pixels grown without a known neighbour
};

// Fills `depth` with unknown_depth, sets the centre (width / 2, height / 2)
// to the initial distance, and grows square rings of side 3, 5, 7, ... up
// to the smaller of width and height, each ring as its right side upward,
// its top leftward, its left side downward and its bottom rightward (so
// corners are computed twice, the second result kept). A side that is
// even leaves column 0 (or row 0) to a last pass: column 0 upward when the
// width is even, then row 0 rightward when the height is even. Pixels the
// rings never reach (outside the central square of a map that is not
// square) stay unknown.
DepthGrowth grow_depth(const float* gx, const float* gy, int width, int height,
                       const CameraParameters& camera, float* depth);

// Every known depth becomes (depth - initial distance) / estimated depth.
// Then the pixels outside the mask, and those the growth never reached,
// get the largest of these values: the far end of the depth range, like a
// backdrop. False when a value is not a finite float, or so large that
// smoothing would overflow (the map is left part way).
bool normalise_depth(float* depth, const std::uint8_t* mask, int width, int height,
                     const CameraParameters& camera);

// The normalised depth map of a map's normals (gradients, growth,
// normalisation), in a new array of the checked allocator that the caller
// releases with checked_free; every value finite. Pixels that had no known
// neighbour are counted in one line on standard error, "GrowTo Error: no
// points to grow from, at N pixels". Null, after a message on
// standard error, when a denominator of the perspective ratio is 0 (the
// focal length equals gx px + gy py at some pixel) or the values leave the
// range of single precision.
float* reconstruct_depth(const std::int8_t* normals, const std::uint8_t* mask, int width,
                         int height, const CameraParameters& camera);

// One pass of the 3 x 3 filter 1 2 1 / 2 4 2 / 1 2 1 in place: each value
// becomes the weighted mean of the unsmoothed values of its neighbourhood,
// over the neighbours inside the map (divided by the weights used).
void smooth_depth(float* depth, int width, int height);
