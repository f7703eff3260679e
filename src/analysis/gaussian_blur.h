// The Gaussian blur of a field of values with holes, for the fine relief
// (a depth minus its blur) and the smoothed curvature.
//
// The kernel exp(-k^2 / (2 sigma^2)) is sampled out to 3 sigma and applied
// along rows and then along columns (the 2-D Gaussian is the product of
// two 1-D ones), so the work per pixel grows with sigma and the work per
// picture with its size alone.
//
// Beyond the picture's border the field is continued by point reflection
// through the border value, v(-j) = 2 v(0) - v(j): a surface that slopes
// at the border keeps its slope there, so the blur of a plane is the plane
// itself up to the border, and the fine relief (the field minus its blur)
// shows no false rim along the edges. A field with holes (NaN: outside the
// object) is blurred as a normalised convolution instead: the blur of the
// values with the holes as 0, divided by the blur of the object's
// indicator, the weighted mean of the values that exist around each
// pixel (a slope at the object's edge then leaves a rim of about sigma).
#pragma once

// The largest sigma the blur takes (a kernel of 6 sigma + 1 taps).
inline constexpr double gaussian_blur_max_sigma = 1000;

// `out` = the blur of `values` (width x height floats, pixel index
// y * width + x) with standard deviation `sigma` pixels, 0 .. max_sigma
// (0 copies); NaN where the input is NaN. `out` may not be `values`. Rows
// are shared among `threads` threads; each output is computed the same way
// whatever their number.
void gaussian_blur(const float* values, int width, int height, double sigma, int threads,
                   float* out);
