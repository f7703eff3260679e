// Fitting a map of another kind to a map: RGB coefficients to a luminance
// map, luminance coefficients and a colour to an RGB or LUM map.
//
// The source is relit under a fixed set of light directions by the
// evaluator the viewer would use for it, and the target's coefficients are
// the per-pixel linear least-squares fit to those pictures, exactly as the
// sample-map fitter fits photographs (analysis/ptm_fit.h). Fitting what the
// viewer shows, rather than the source's unclamped polynomials, makes the
// target reproduce the source as it is seen, shadows and highlights clipped
// where the viewer clips them.
#pragma once

#include <vector>

#include "analysis/ptm_fit.h"
#include "common/progress.h"
#include "ptm/ptm.h"

// The lights of the fit: (u, v) = (i / 10, j / 10) for all integers i, j
// with i^2 + j^2 <= 100, the 0.1 grid of the unit disc, its rim included
// (317 lights). The rim lights graze the surface (elevation 0); the viewer
// lets the light reach the rim, so the fit covers it too. The test is made
// in integers, so that rim points such as (0.6, 0.8) are not lost to
// rounding.
std::vector<LightDirection> refit_light_grid();

struct RefitResult {
  Ptm* ptm = nullptr;  // the fitted map (create_ptm; free_ptm)
  int light_count = 0;
  // Root mean square over every pixel, light of the grid and colour
  // channel of the difference in grey levels between the source and the
  // fitted map, both relit by their evaluators.
  double rms_error = 0.0;
};

// Fits a map of `target_format` (PTM_FORMAT_RGB or PTM_FORMAT_LRGB) and
// `representation` to `source` (any map the evaluators can relight).
//
// RGB: each channel's six coefficients are the least-squares fit to that
// channel's samples.
// LRGB: the model is I_c = C_c L / 256 (the LRGB evaluator's rule), which is
// bilinear in the colour C and the luminance coefficients a. With P the 6 x 3
// matrix of the three channels' own fits and G = A^T A the normal matrix of
// the lights, the residual is a constant plus
//   sum_c (w_c a - p_c)^T G (w_c a - p_c)
// for a unit colour direction w, which is smallest for a = P w and w the
// principal eigenvector of the 3 x 3 matrix P^T G P (the best rank-one
// approximation of P in the metric of G; Eckart-Young). The colour is w
// scaled to a largest channel of 255 and rounded to bytes; the luminance
// coefficients are then the exact least-squares solution for that rounded
// colour, a = 256 sum_c C_c p_c / sum_c C_c^2 (G cancels). A pixel that is
// black under every light gets colour 0 and coefficients 0.
// Scales and biases come from choose_scale_bias (make_lrgb_ptm,
// make_rgb_ptm). `progress` counts rows: one pass for the fit, one for the
// error. Null result for another target format.
RefitResult refit_map(const Ptm& source, int target_format, CoefRepresentation representation,
                      const ProgressFn& progress = {});
