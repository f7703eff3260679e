// How much a map's relit luminance varies across its pixels, for every
// light direction: the variance model.
//
// Pixel p's luminance is L_p(u, v) = a0 u^2 + a1 v^2 + a2 u v + a3 u + a4 v
// + a5 (its luminance coefficients in display units: plane pair 0 of LUM
// and LRGB maps, the 0.3 / 0.59 / 0.11 mix of the channels of RGB maps).
// Over the N pixels the variance at (u, v) is E[L^2] - E[L]^2. L^2 is a
// polynomial of degree four with fifteen monomials and L one of degree two
// with six, so both expectations are fixed combinations of 21 sums over the
// pixels, made once: afterwards each light direction costs a few dozen
// operations whatever the size of the map.
#pragma once

#include "common/rgb_image.h"
#include "ptm/ptm.h"

// A monomial u^u_power v^v_power.
struct Monomial {
  int u_power;
  int v_power;
};

// The monomials of L(u, v)^2, in the order of VarianceModel::quadratic:
// 1, u, u^2, u^3, u^4, v, u v, u^2 v, u^3 v, v^2, u v^2, u^2 v^2, v^3, u v^3,
// v^4.
constexpr int variance_monomial_count = 15;
inline constexpr Monomial variance_monomials[variance_monomial_count] = {
    {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1}, {1, 1}, {2, 1},
    {3, 1}, {0, 2}, {1, 2}, {2, 2}, {0, 3}, {1, 3}, {0, 4}};

struct VarianceModel {
  // Q[m]: the sum over the pixels of monomial m's coefficient in L^2 (for
  // u^2, a3^2 + 2 a0 a5; for u v, 2 (a3 a4 + a2 a5); ...).
  double quadratic[variance_monomial_count];
  double linear[6];  // S[k]: the sum over the pixels of a_k
  double pixels;     // N
};

// The model of every pixel of an RGB, LUM or LRGB map, in one pass. While
// the decoding (b - bias) * scale cannot wrap in 32 bits (any sensible
// scale), the sums come from exact integer moments of the stored bytes
// and are within a few roundings of the exact real sums; otherwise from
// each pixel's decoded coefficients. Another format prints "Unsupported ptm
// format for computing variance bounds" and returns false.
bool build_variance_model(const Ptm& ptm, VarianceModel& model);

// The same from every pixel's decoded luminance coefficients, summed in
// double precision block by block: the straightforward way, kept for maps
// whose decoding wraps.
bool build_variance_model_per_pixel(const Ptm& ptm, VarianceModel& model);

// The variance of the luminance over the pixels for light (lu, lv):
// E2 = (sum of Q[m] m(lu, lv)) / N, mean = (sum of S[k] times a_k's
// monomial) / N, variance = E2 - mean^2. A value within rounding of zero,
// of either sign (no more than 1e-9 of the magnitudes that cancel, the sum
// of |Q[m] m| / N plus the square of the sum of |S[k] monomial| / N), is
// 0, so a uniform map has variance 0 for every light. A variance cannot be
// negative: a clearly negative one means the sums
// do not describe any map: "lu=%f, lv=%f, variance=%f, first term= %f,
// second_term=%f" (lu, lv, the variance, E2, mean^2) and the program ends
// with status -1. A model of no pixels has variance 0.
double variance_at(const VarianceModel& model, float lu, float lv);

// The variance's range over the light disc; empty (min 1e32 above max
// -1e32) until a direction is seen.
struct VarianceRange {
  double min = 1e32;
  double max = -1e32;
};

// The range over the directions of a width x height plot with extent R:
// row i and column j stand for v = (i - H/2) R / (H/2) and u = R (j - W/2) /
// (W/2) (integer halves, float arithmetic); only directions strictly
// inside the disc, R^2 > u^2 + v^2, count.
VarianceRange scan_variance_range(const VarianceModel& model, int width, int height, float extent);

// (variance_at(lu, lv) - min) / (max - min); 0 when the range is empty or
// the variance constant (max = min). Directions outside the scanned ones
// may fall outside 0..1.
double normalised_variance(const VarianceModel& model, const VarianceRange& range, float lu,
                           float lv);

// The variance picture of the reflectance plot: each direction of the disc
// E^2 >= u^2 + v^2 (boundary included; u, v by the plot's geometry, see
// render/reflectance_plot.h) coloured (trunc(255 n), 0, trunc(255 (1 - n)))
// for its normalised variance n taken into 0..1, red the most contrast,
// blue the least; outside the disc mid grey 128.
void render_variance_picture(RgbImage& image, const VarianceModel& model,
                             const VarianceRange& range, float extent);
