// Renders the sample relief under 48 lights, fits an LRGB map to the
// photographs and writes it as a version 1.2 PTM file, so that every build
// has a map to open.
//
//   relumo_make_sample output.ptm

#include <cstdio>

#include "analysis/ptm_fit.h"
#include "analysis/sample_relief.h"
#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "writers/ptm_writer.h"

namespace {

constexpr int sample_width = 512;
constexpr int sample_height = 384;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s output.ptm\n", argv[0]);
    return 2;
  }
  const char* path = argv[1];

  SampleRelief* relief = make_sample_relief(sample_width, sample_height);
  LightDirection lights[sample_light_count];
  sample_light_directions(lights);
  RgbImage* photographs[sample_light_count];
  for (int i = 0; i < sample_light_count; ++i) {
    photographs[i] = new_rgb_image(sample_width, sample_height);
    render_lambertian(*relief, lights[i], *photographs[i]);
  }

  LrgbFit fit;
  if (!fit_lrgb(photographs, lights, sample_light_count, fit)) {
    std::fprintf(stderr, "%s: the sample lights do not determine a fit\n", argv[0]);
    return 1;
  }
  Ptm* ptm = make_lrgb_ptm(fit, preferred_representation());
  const double rms = relit_rms_error(*ptm, photographs, lights, sample_light_count);

  const bool written = write_ptm_region(*ptm, path, 0, 0, ptm->width, ptm->height);
  if (written) {
    std::printf("%s: %d x %d LRGB map fitted to %d lights, RMS error %.2f grey levels\n", path,
                ptm->width, ptm->height, sample_light_count, rms);
  } else {
    std::fprintf(stderr, "%s: could not write %s\n", argv[0], path);
  }

  free_ptm(ptm);
  free_lrgb_fit(fit);
  for (RgbImage* photograph : photographs) free_rgb_image(photograph);
  free_sample_relief(relief);
  return written ? 0 : 1;
}
