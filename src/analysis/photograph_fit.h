// Fitting a map to photographs read a few at a time, for captures whose
// photographs would not fit in memory together (60 photographs of 240
// megapixels are 43 GB as RGB bytes).
//
// Per pixel the coefficients a solve the normal equations of the least
// squares fit (ptm_fit.h), (A^T A) a = A^T y. The normal matrix A^T A
// depends on the lights alone: it is inverted once. The right-hand side
// A^T y is a sum over the photographs of each one's design row times its
// sample, so it is accumulated as each photograph is read and the
// photograph is released at once; the sums are then turned into
// coefficients in place. Beside them y^T y, the sum of the squared
// samples, gives the fit's residual without a second look at the
// photographs.
//
// Samples count in grey levels, 0..255, whatever the photograph's
// precision: an 8-bit sample as it is, a 16-bit one as v / 257 with its
// fraction of a level kept, so that 8-bit photographs give exactly the
// sums they always did and 16-bit ones lose nothing to an early rounding.
// The sums are single precision: a sum of N products of a design term
// (|term| <= 1) and a sample (0..255) has a rounding error below
// N * 255 * 2^-24 (0.001 for 60 photographs), far under the quantisation
// step of one grey level.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/ptm_fit.h"
#include "imageio/photograph.h"
#include "ptm/ptm.h"

// What is fitted: LRGB, the luminance Y = max(R, G, B) and one colour per
// pixel (fit_lrgb's rule), or RGB, each channel on its own.
enum class FitLayout { lrgb, rgb };

// The channels a layout fits by least squares: LRGB the luminance alone,
// RGB red, green and blue.
inline int fitted_channels(FitLayout layout) { return layout == FitLayout::lrgb ? 1 : 3; }

struct PhotographFit {
  int width = 0;
  int height = 0;
  FitLayout layout = FitLayout::lrgb;
  int photographs = 0;  // the number of lights the fit was begun with
  int threads = 1;      // the threads each step may use
  // Per pixel, 6 values (LRGB: of Y) or 18 (RGB: red, green, blue, 6
  // each): the right-hand sides A^T y until solve_photograph_fit, the
  // coefficients in display units after.
  float* values = nullptr;
  // LRGB: per pixel the sums of R, G, B and Y over the photographs, for
  // the colour, in 16-bit units (an 8-bit sample v counts as v * 257, the
  // same fraction of full scale).
  std::uint32_t* color_sums = nullptr;
  // Per pixel and fitted channel, y^T y: the sum over the photographs of
  // the squared sample in grey levels, for the residual. Exact for 8-bit
  // photographs up to 258 of them (an integer below 2^24); otherwise
  // rounded like the other sums.
  float* squares = nullptr;
  double normal[6][6] = {};   // A^T A
  double inverse[6][6] = {};  // (A^T A)^-1
};

// The most photographs a fit sums: their 16-bit colour sums must fit 32
// bits (65536 x 65535 < 2^32).
constexpr int max_fit_photographs = 65536;

// Sets `fit` up for photographs of width x height pixels lit by the
// `count` lights, with every sum 0, its steps split over `threads`
// threads. False, leaving it empty, for more than max_fit_photographs or
// a light set that does not determine the six coefficients
// (make_fit_matrix's rule).
bool begin_photograph_fit(const LightDirection* lights, int count, int width, int height,
                          FitLayout layout, int threads, PhotographFit& fit);

// Adds one photograph (of the fit's size, 8 or 16 bits) lit from
// `light`: per pixel seven multiply-adds per fitted channel. Every pixel's
// sums are its own, so the result does not depend on the threads; only
// the order of the photographs counts.
void accumulate_photograph(PhotographFit& fit, const Photograph& photograph, LightDirection light);

// The residual of the least-squares fit before quantisation, per fitted
// channel: the sum over the measured pixels and the photographs of
// (y - a^T c)^2, by the identity
//   sum (y - a^T c)^2 = y^T y - 2 c^T A^T y + c^T A^T A c,
// from the sums alone, without a second look at the photographs.
struct FitResiduals {
  int channels = 0;           // 1 (LRGB: the luminance) or 3 (RGB)
  double squares[3] = {};     // in grey levels squared
  std::uint64_t samples = 0;  // per channel: measured pixels x photographs
};

// The root mean square of channel c's residual in grey levels (0 without
// samples; a sum that rounding took below 0 counts as 0).
double residual_rms(const FitResiduals& residuals, int channel);

// Turns the right-hand sides into coefficients (a 6 x 6 matrix-vector
// product per pixel and channel) and returns the residual over the pixels
// `object_mask` marks (null: all; one byte per pixel, non-zero on the
// object). The squares are released.
FitResiduals solve_photograph_fit(PhotographFit& fit, const std::uint8_t* object_mask);

// The quantised map of a solved fit, of its stored bytes alone
// (create_stored_ptm: what is written; relightable_ptm makes one to
// relight). `object_mask` (null: every pixel) holds one byte per pixel in
// the photographs' order, non-zero on the object; the coefficients and
// colour of every other pixel are set to 0 before the scales and biases
// are chosen, so that each coefficient's range holds 0 and those pixels
// store the bias byte (which decodes to 0) and relight black. The fit is
// used up: its colour sums go once the colour is made, its coefficients
// once they are quantised, and it is empty after.
Ptm* make_fitted_ptm(PhotographFit& fit, const std::uint8_t* object_mask);

void free_photograph_fit(PhotographFit& fit);

// The most a fit of `pixels` pixels holds at once, photographs aside:
// while the photographs are summed (the sums and squares), and while the
// map is made (make_fitted_ptm: the coefficients with the colour sums and
// the map's colour, then with the map's stored bytes), and the map it
// makes.
struct FitFootprint {
  std::uint64_t summing = 0;
  std::uint64_t mapping = 0;
  std::uint64_t map = 0;
};
FitFootprint photograph_fit_footprint(std::uint64_t pixels, FitLayout layout);

// The differences in grey levels between photographs and the map relit at
// their lights: per channel, how many samples differ by each of 0..255.
struct RelitErrors {
  std::uint64_t counts[3][256] = {};
};

// The differences of one photograph (of the map's size, lit from `light`;
// 16-bit samples rounded to grey levels) against the map relit there by
// the row evaluators, over the pixels `object_mask` marks (null: all),
// rows split over `threads` threads.
RelitErrors relit_errors(const Ptm& ptm, const Photograph& photograph, LightDirection light,
                         const std::uint8_t* object_mask, int threads);

void add_relit_errors(RelitErrors& total, const RelitErrors& part);

// Root mean square of channel c's differences (0 when there are none).
double relit_rms(const RelitErrors& errors, int channel);
// Over the three channels together.
double relit_rms(const RelitErrors& errors);

// The smallest difference d such that at least `fraction` of channel c's
// samples differ by d or less (the nearest-rank percentile: exact, as the
// differences are whole grey levels); 0 when there are none.
int relit_percentile(const RelitErrors& errors, int channel, double fraction);
