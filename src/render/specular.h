// Specular enhancement (a Phong-like highlight from the surface normals
// added to the evaluated colour) and the flat head-on texture the
// PTM-versus-texture comparison shows.
#pragma once

#include <cstdint>

#include "common/rgb_image.h"
#include "ptm/ptm.h"

extern float specular_kd;      // weight of the evaluated colour
extern float specular_ks;      // weight of the highlight
extern int specular_exponent;  // highlight exponent

// The half-way vector of the light being rendered: set once per image and
// once per reflectance sample.
extern double specular_half_x;
extern double specular_half_y;
extern double specular_half_z;

// The unit vector half-way between the light and the view (0, 0, 1); beyond
// the unit circle it is continued so the highlight keeps moving smoothly
// while extrapolating.
void set_specular_half_vector(float u, float v);

// Adds the highlight of pixel (x, y)'s normal to an evaluated colour.
void apply_specular(const Ptm& ptm, int x, int y, std::uint8_t& r, std::uint8_t& g,
                    std::uint8_t& b);

// apply_specular on every pixel of `image`, which shows the rectangle of
// `ptm` at (x0, y0); the highlight of each distinct normal is computed once.
void apply_specular_to_image(const Ptm& ptm, RgbImage& image, int x0, int y0);

// Pixel (x, y) evaluated with the current light weights (the caller has
// set them for the head-on light) and scaled by k / 256, the real light's z.
void evaluate_texture_mapped(const Ptm& ptm, int x, int y, int k, std::uint8_t& r, std::uint8_t& g,
                             std::uint8_t& b);
