// A picture of a map for one light direction.
#pragma once

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/render_mode.h"

// Fills all out.width x out.height pixels from the rectangle of `ptm` whose
// lower-left pixel is (x0, y0): output pixel (x, y) is map pixel
// (x0 + x, y0 + y). The caller keeps the rectangle inside the map. With
// specular enhancement adds the highlight of the map's normals; with the
// PTM-versus-texture comparison shows the lower half as the head-on
// texture dimmed by the light's elevation. Diffuse gain is in the map the
// caller passes.
void render_ptm_image(RgbImage& out, const Ptm& ptm, const RenderMode& mode, float u, float v,
                      int x0, int y0);

// The same picture in plain relighting alone: the evaluators' bytes for the
// light (u, v), for products made without a window.
void render_plain_image(RgbImage& out, const Ptm& ptm, float u, float v, int x0, int y0);
