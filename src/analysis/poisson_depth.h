// Height from a normal field by a least-squares (Poisson) integration of
// its slopes, under an orthographic view with a pixel pitch of 1.
//
// A surface z = h(x, y) has the normal (-dh/dx, -dh/dy, 1) / length, so a
// unit normal (nx, ny, nz) gives the slopes p = -nx / nz and q = -ny / nz,
// x to the right and y upward (the map's row order: row 0 at the bottom).
// Slopes rarely integrate exactly, so the height is the h that fits them
// best: it minimises, over every pair of horizontal and vertical
// neighbours,
//   sum (h(x + 1, y) - h(x, y) - ex(x, y))^2 + sum (h(x, y + 1) - h(x, y) - ey(x, y))^2
// where the difference expected along a step is the mean of the slopes at
// its two ends (the trapezoid rule, exact for quadratic surfaces):
// ex = (p(x, y) + p(x + 1, y)) / 2, ey = (q(x, y) + q(x, y + 1)) / 2.
// Setting the derivatives to zero gives the discrete Poisson equation
//   h(x - 1, y) + h(x + 1, y) + h(x, y - 1) + h(x, y + 1) - 4 h(x, y)
//     = ex(x, y) - ex(x - 1, y) + ey(x, y) - ey(x, y - 1),
// the divergence of the step field, where a step that would leave the map
// does not exist (its term is 0): the Neumann boundary. The cosine basis
// of the type-II discrete cosine transform diagonalises this Laplacian,
// with the eigenvalue 2 cos(pi k / W) + 2 cos(pi l / H) - 4 for the basis
// function (k, l); the one zero eigenvalue, (0, 0), is the free constant,
// chosen so that the mean height is 0. The transforms are FFTW's REDFT10
// (type II) and REDFT01 (type III, its inverse up to a factor 2n per axis).
// Single precision keeps the analytic surfaces of the tests within a few
// 1e-5 pixels; it halves the memory of the solve, which is what limits the
// size of a map it can take.
#pragma once

#include <cstdint>
#include <functional>

// Below this nz a normal is nearly edge-on and -nx / nz would grow without
// bound (infinite at nz = 0, the wrong sign below it): such a normal keeps
// its direction in the image plane but is treated as having nz = 0.1, so
// its slope is at most about 10 pixels per pixel (84 degrees).
inline constexpr float poisson_smallest_nz = 0.1f;

// The unit normals of rows first .. end - 1 of a field (x, y, z per pixel,
// row first first). Called from several threads at once.
using NormalRowsFn = std::function<void(int first, int end, float* normals)>;

// The height of every pixel (width x height floats in map order, mean 0,
// larger values nearer the viewer) from unit normals (x, y, z per pixel,
// map order). Pixels outside the mask have slopes 0 (byte 0 of `mask`,
// whose rows run opposite to the map's: pixel (x, y) is mask[(height - 1 -
// y) * width + x]); `mask` may be null. They still get a height, that of
// the flat surface filling the hole. The transforms are FFTW's in single
// precision, done in `depth` itself: the solve needs no memory beyond the
// heights. Up to `threads` threads (FFTW's threaded plans, chosen by
// estimate, so the heights are the same bytes for any count).
void poisson_depth(const float* normals, const std::uint8_t* mask, int width, int height,
                   float* depth, int threads = 1);

// The same from normals made a band of rows at a time (each row's normals
// are asked for once, or twice where a band meets the next), so that no
// normal field is ever whole in memory.
void poisson_depth(const NormalRowsFn& normals, const std::uint8_t* mask, int width, int height,
                   float* depth, int threads = 1);
