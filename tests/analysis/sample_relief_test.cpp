#include "analysis/sample_relief.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "analysis/ptm_fit.h"
#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/evaluate.h"

namespace {

struct Errors {
  double mean;
  double beyond_bound;  // fraction of samples off by more than 16 grey levels
};

// Relights `ptm` at `light` and compares every channel of every pixel with
// the Lambertian photograph of the relief under the same light.
Errors relit_errors(const Ptm& ptm, const SampleRelief& relief, LightDirection light) {
  RgbImage* photograph = new_rgb_image(relief.width, relief.height);
  render_lambertian(relief, light, *photograph);
  const LightWeights weights = light_weights_for(light.u, light.v);
  const EvaluatePtmFn evaluate = select_evaluator(ptm);
  double sum = 0.0;
  long beyond = 0;
  for (int y = 0; y < ptm.height; ++y) {
    for (int x = 0; x < ptm.width; ++x) {
      std::uint8_t rgb[3];
      evaluate(ptm, weights, x, y, rgb[0], rgb[1], rgb[2]);
      const std::uint8_t* expected =
          photograph->pixels + 3 * (static_cast<std::size_t>(y) * ptm.width + x);
      for (int c = 0; c < 3; ++c) {
        const int error = std::abs(rgb[c] - expected[c]);
        sum += error;
        if (error > 16) ++beyond;
      }
    }
  }
  free_rgb_image(photograph);
  const double samples = 3.0 * ptm.width * ptm.height;
  return {sum / samples, beyond / samples};
}

}  // namespace

// The biquadratic cannot be Lambertian shading exactly. On flat ground the
// shading is albedo * sqrt(1 - u^2 - v^2), and the least-squares quadratic
// in u^2 + v^2 through the four rings of elevation 18..72 degrees misses it
// by up to 4.5% of full scale at those elevations and 5.6% straight
// overhead: up to 14 grey levels at albedo 1, plus one for the byte
// quantisation and one for the colour's 255 / 256. Hence the mean error
// over all pixels stays below 8 and at most 3% of the samples lie beyond 16
// grey levels: those sit where a letter flank or bump turns into its own
// shadow, a kink max(0, n . l) that no polynomial follows.
TEST(SampleRelief, FittedMapRelitStaysCloseToTheLambertianPhotographs) {
  SampleRelief* relief = make_sample_relief(512, 384);
  LightDirection lights[sample_light_count];
  sample_light_directions(lights);
  std::vector<RgbImage*> photographs;
  for (const LightDirection& light : lights) {
    photographs.push_back(new_rgb_image(relief->width, relief->height));
    render_lambertian(*relief, light, *photographs.back());
  }
  LrgbFit fit;
  ASSERT_TRUE(fit_lrgb(photographs.data(), lights, sample_light_count, fit));
  for (RgbImage* photograph : photographs) free_rgb_image(photograph);

  // Sample lights of the lowest and highest ring, lights between the
  // rings, and the zenith, which no photograph saw.
  const LightDirection probes[] = {lights[0],     lights[47],    {0.5f, 0.5f},
                                   {-0.6f, 0.3f}, {0.2f, -0.7f}, {0.0f, 0.0f}};
  for (CoefRepresentation representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* ptm = make_lrgb_ptm(fit, representation);
    for (const LightDirection& light : probes) {
      const Errors errors = relit_errors(*ptm, *relief, light);
      EXPECT_LT(errors.mean, 8.0) << "light " << light.u << ", " << light.v;
      EXPECT_LT(errors.beyond_bound, 0.03) << "light " << light.u << ", " << light.v;
    }
    free_ptm(ptm);
  }
  free_lrgb_fit(fit);
  free_sample_relief(relief);
}
