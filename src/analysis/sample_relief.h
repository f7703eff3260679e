// A synthetic relief to look at and to fit: raised lettering "RELUMO" in a
// small stroke font, smooth bumps, a ring groove around a painted medallion
// and a groove frame, on a terracotta ground with a few painted areas.
// Its photographs are rendered with Lambertian shading, so the whole chain
// photograph -> fit -> map -> relit image can be checked against the
// shading that made it.
#pragma once

#include "analysis/ptm_fit.h"
#include "common/rgb_image.h"

struct SampleRelief {
  int width;
  int height;
  float* normals;  // 3 per pixel: unit (x right, y up, z toward the viewer)
  float* albedo;   // 3 per pixel: red, green, blue reflectance, 0..1
};

// The relief laid out on a width x height raster (pixel index y * width +
// x, row 0 at the bottom); designed for about 512 x 384.
SampleRelief* make_sample_relief(int width, int height);
void free_sample_relief(SampleRelief* relief);

// The lights of the sample photographs: four rings of twelve at
// elevations 18, 36, 54 and 72 degrees, each ring turned 7.5 degrees
// against the one below.
constexpr int sample_light_count = 48;
void sample_light_directions(LightDirection lights[sample_light_count]);

// One photograph: I_c = round(albedo_c * max(0, n . l) * 255) with
// l = (u, v, sqrt(1 - u^2 - v^2)); `out` has the relief's size.
void render_lambertian(const SampleRelief& relief, LightDirection light, RgbImage& out);
