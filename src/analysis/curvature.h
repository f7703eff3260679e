// The mean curvature of a relief from its normal field, the picture in
// which incisions and tool marks show whatever the light.
//
// A surface z = h(x, y) has the normal (-h_x, -h_y, 1) / length, so the
// field (nx / nz, ny / nz) is minus its gradient, and half its divergence,
//   H = (d(nx / nz)/dx + d(ny / nz)/dy) / 2 = -(h_xx + h_yy) / 2,
// is the mean curvature of a gently sloping surface: positive on a dome
// (convex toward the viewer), negative in a groove. x runs to the right
// and y upward, the map's own axes. The slopes are blurred first (a
// Gaussian of sigma pixels, gaussian_blur.h), which is the curvature of
// the relief seen at that scale; derivatives are central differences,
// one-sided at the border of the picture or of the object.
#pragma once

#include <cstdint>

// The mean curvature in 1/pixel of every pixel (width x height floats in
// map order) from unit normals (x, y, z per pixel, map order); NaN outside
// the mask (byte 0 of `mask`, rows opposite to the map's; may be null).
// Normals nearly edge-on count with nz = poisson_smallest_nz, as in the
// depth. The same numbers for every thread count.
void mean_curvature(const float* normals, const std::uint8_t* mask, int width, int height,
                    double sigma, int threads, float* curvature);
