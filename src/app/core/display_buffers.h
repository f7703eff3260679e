// The pixel buffers of the two views and of the selected region, allocated
// at start-up at the size the view can have on this screen, and made larger
// only if a window grows beyond it: a view never needs more pixels than its
// window, however large the map.
#pragma once

#include "ptm/ptm.h"

// reflectance_image at 250 x 250, view_image at the map's size but no
// larger than the screen (screen_width x screen_height; 0 or less: no
// limit), and the region set to the whole view with region_image
// allocated.
void allocate_display_buffers(const Ptm& ptm, int screen_width, int screen_height);

// Makes view_image and region_image able to hold a width x height view,
// reallocating them when they are smaller (their shown sizes stay as they
// are).
void ensure_display_capacity(int width, int height);

// Selection corners (0, 0) and (view width - 1, view height - 1);
// region_image allocated at the view's size and sized to the region.
void init_region();
