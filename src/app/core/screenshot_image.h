// The full-size screenshot without the windows: the whole map at one map
// pixel per image pixel, summed over every enabled light as the view sums
// them, and the free numbered name it is saved under.
#pragma once

#include <string>

#include "common/rgb_image.h"
#include "ptm/ptm.h"

// `ptm` rendered whole under the viewer's lights and modes by
// render_light_sum: every enabled light, the steered one at light_u,
// light_v and the others at their stored directions. Zoom and pan play no
// part. The caller frees the image.
RgbImage* render_screenshot(const Ptm& ptm);

// The first of `base_dir` + "screenshot000.tga" .. "screenshot999.tga" that
// names no file, or "" when all a thousand exist.
std::string free_screenshot_name(const std::string& base_dir);

// Renders the screenshot of `ptm` and saves it under the first free name,
// printing "Creating Screenshot <path>"; with no free name, prints "Unable
// to ouput screenshot. ..." on standard error and writes nothing.
void save_screenshot(const Ptm& ptm, const std::string& base_dir);
