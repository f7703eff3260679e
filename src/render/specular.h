// Specular enhancement (a Phong-like highlight from the surface normals
// added to the evaluated colour) and the flat head-on texture the
// PTM-versus-texture comparison shows.
#pragma once

#include <cstdint>

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/evaluate.h"

// The highlight's parameters; the defaults are those specular enhancement
// starts with.
struct SpecularSettings {
  float kd = 0.4f;    // weight of the evaluated colour
  float ks = 1.0f;    // weight of the highlight
  int exponent = 60;  // highlight exponent
};

// The unit vector half-way between the light being rendered and the view
// (0, 0, 1).
struct HalfVector {
  double x;
  double y;
  double z;
};

// The half-way vector of the light (u, v); beyond the unit circle it is
// continued so the highlight keeps moving smoothly while extrapolating.
HalfVector specular_half_vector(float u, float v);

// Adds the highlight of pixel (x, y)'s normal for the half-way vector `half`
// to an evaluated colour.
void apply_specular(const Ptm& ptm, const SpecularSettings& settings, const HalfVector& half, int x,
                    int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);

// apply_specular on every pixel of `image`, which shows the rectangle of
// `ptm` at (x0, y0); the highlight of each distinct normal is computed once.
void apply_specular_to_image(const Ptm& ptm, const SpecularSettings& settings,
                             const HalfVector& half, RgbImage& image, int x0, int y0);

// Pixel (x, y) evaluated with the weights of the head-on light (0, 0) and
// scaled by k / 256, the real light's z.
void evaluate_texture_mapped(const Ptm& ptm, const LightWeights& head_on, int x, int y, int k,
                             std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);
