// A whole map lit by several lights at once: one picture per enabled light,
// added with saturation, as the viewer's screenshot and relumo-tool render
// make it.
#pragma once

#include <span>

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/lights.h"
#include "render/render_mode.h"

// The whole of `ptm` (one map pixel per picture pixel, rows bottom-up)
// rendered by render_ptm_image once per enabled light, in order, each byte
// added as trunc(rendered * intensity + sum) and kept within 0..255. No
// enabled light gives a black picture. The caller frees the picture.
RgbImage* render_light_sum(const Ptm& ptm, std::span<const RelitLight> lights,
                           const RenderMode& mode);
