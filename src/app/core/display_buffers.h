// The pixel buffers of the two views and of the selected region, allocated
// once at start-up at their largest size.
#pragma once

#include "ptm/ptm.h"

// reflectance_image at 250 x 250, view_image at the map's size, and the
// region set to the whole view with region_image allocated.
void allocate_display_buffers(const Ptm& ptm);

// Selection corners (0, 0) and (view width - 1, view height - 1);
// region_image allocated at the view's size and sized to the region.
void init_region();
