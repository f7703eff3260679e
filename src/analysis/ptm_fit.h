// Fitting a polynomial texture map to photographs of one surface, each lit
// from a known direction.
//
// Per pixel the luminance under light (u, v) is modelled as
//   L(u, v) = a0 u^2 + a1 v^2 + a2 u v + a3 u + a4 v + a5,
// and a0..a5 are the linear least-squares solution over the N >= 6
// photographs. The design matrix A (row i = u_i^2, v_i^2, u_i v_i, u_i,
// v_i, 1) depends only on the lights, so its pseudo-inverse
// (A^T A)^-1 A^T is computed once and applied to every pixel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/rgb_image.h"
#include "ptm/ptm.h"

// A light direction as its projection on the image plane: u to the right,
// v upward, the third component sqrt(1 - u^2 - v^2) implied.
struct LightDirection {
  float u;
  float v;
};

// The least-squares operator of one light set: coefficient k of a pixel is
// sum over i of rows[k * light_count + i] * sample_i.
struct FitMatrix {
  int light_count;
  double* rows;  // 6 x light_count
};

// Row i of the design matrix for light i: u^2, v^2, u v, u, v, 1.
void design_row(const LightDirection& light, double row[6]);

// The inverse of the normal matrix A^T A of the light set, for solving
// A^T A x = A^T y from right-hand sides summed one photograph at a time.
// False for the light sets make_fit_matrix refuses.
bool invert_normal_matrix(const LightDirection* lights, int count, double inverse[6][6]);

// Builds the pseudo-inverse from the normal equations A^T A x = A^T y.
// Returns false, leaving `matrix` empty, for fewer than six lights or a
// light set that does not determine all six coefficients (for example all
// lights on one ring of equal elevation, where u^2 + v^2 is constant, or
// all on one line).
bool make_fit_matrix(const LightDirection* lights, int count, FitMatrix& matrix);
void free_fit_matrix(FitMatrix& matrix);

// The least-squares coefficients a0..a5 for one pixel's light_count samples.
void fit_coefficients(const FitMatrix& matrix, const float* samples, double coefficients[6]);

// The fit of an LRGB map: luminance coefficients in display units (255 is
// full brightness) and one colour per pixel, pixel index y * width + x.
struct LrgbFit {
  int width;
  int height;
  float* coefficients;  // 6 per pixel: a0..a5
  std::uint8_t* color;  // 3 per pixel: red, green, blue
};

// Fits RGB photographs (all of one size, `count` of them, lit by
// lights[i]). The luminance sample of a pixel in photograph i is
// Y = max(R, G, B); its colour is C_c = round(255 * sum I_c / sum Y),
// clamped to 0..255 (black where every sample is black), so that the
// relit colour C * L / 256 reproduces the photographs. Returns false for a
// light set make_fit_matrix refuses or photographs of different sizes.
bool fit_lrgb(const RgbImage* const* photographs, const LightDirection* lights, int count,
              LrgbFit& fit);
void free_lrgb_fit(LrgbFit& fit);

// The colour byte of one channel by fit_lrgb's rule, from the sums over
// the photographs of that channel and of the luminance Y.
std::uint8_t lrgb_color_byte(double sum_channel, double sum_luminance);

// The fit of an RGB map: six coefficients per channel in display units,
// channel c of pixel p at coefficients[18 * p + 6 * c].
struct RgbFit {
  int width;
  int height;
  float* coefficients;
};

// Quantisation to stored bytes. A stored byte b of coefficient k decodes
// to q = trunc((b - B) * S / 256), S = scale_bias[k] the fixed-point scale
// (scale * 256), B = scale_bias[6 + k] the bias. Chooses per coefficient
// the smallest S >= 256 and a B for which the decoded values of bytes
// 0..255 reach from round(min) to round(max) of that coefficient over all
// `pixels` pixels of `coefficients` (6 per pixel). The range is clamped to
// -32768..32767, what the packed representation holds; NaN is ignored.
// The ranges are found over blocks of pixels on up to `threads` threads.
void choose_scale_bias(const float* coefficients, std::size_t pixels, std::int32_t scale_bias[12],
                       int threads = 1);

// The byte whose decoded value is closest to `value` (NaN counts as 0), for
// a fixed-point scale of 256 or more.
std::uint8_t quantize_coefficient(double value, std::int32_t scale, std::int32_t bias);

// The stored bytes of `pixels` pixels' coefficients a0..a5, whose groups
// of six start `stride` floats apart, by quantize_coefficient with the
// scales and biases: a0..a2 into `low`, a3..a5 into `high`, three bytes a
// pixel (a map's coefficient planes 2c and 2c + 1), split over `threads`
// threads.
void quantize_coefficient_planes(const float* coefficients, std::size_t pixels, std::size_t stride,
                                 const std::int32_t scale_bias[12], std::uint8_t* low,
                                 std::uint8_t* high, int threads);

// A map to relight from one of stored bytes alone (create_stored_ptm, an
// LRGB or RGB map): the same scales, biases, stored bytes and colour, in
// the given representation, the integer coefficients converted.
Ptm* relightable_ptm(const Ptm& stored, CoefRepresentation representation);

// A new LRGB map of the fit in the given representation: scales and biases
// from choose_scale_bias, quantised coefficient planes 0 and 1, the colour,
// and the integer coefficients converted.
Ptm* make_lrgb_ptm(const LrgbFit& fit, CoefRepresentation representation);

// A new RGB map of the fit in the same way: one scale and bias per
// coefficient for the three channels together (the file has six), chosen
// over every channel's values.
Ptm* make_rgb_ptm(const RgbFit& fit, CoefRepresentation representation);

// Root-mean-square difference in grey levels between the photographs and
// the map relit by its evaluator at each photograph's light, over every
// pixel, photograph and colour channel.
double relit_rms_error(const Ptm& ptm, const RgbImage* const* photographs,
                       const LightDirection* lights, int count);
