// A whole map lit by several lights at once: one picture per enabled light,
// added with saturation, as the viewer's screenshot and relumo-tool render
// make it.
#pragma once

#include <span>

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/lights.h"
#include "render/render_image.h"
#include "render/render_mode.h"

// The whole of `ptm` (one map pixel per picture pixel, rows bottom-up)
// rendered by render_ptm_image once per enabled light, in order, each byte
// added as trunc(rendered * intensity + sum) and kept within 0..255. No
// enabled light gives a black picture. Blocks of rows go to up to
// `threads` threads, with the same bytes for any count. The caller frees
// the picture.
RgbImage* render_light_sum(const Ptm& ptm, std::span<const RelitLight> lights,
                           const RenderMode& mode, int threads = 1);

// One run of rows of that sum (render_image.h), on the calling thread.
void render_light_sum_rows(const PictureRows& rows, const Ptm& ptm,
                           std::span<const RelitLight> lights, const RenderMode& mode);
