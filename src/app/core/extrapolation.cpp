#include "app/core/extrapolation.h"

#include "app/core/viewer_state.h"

void stop_extrapolating() {
  viewer.saved_light_extent = viewer.light_extent;
  viewer.light_u /= viewer.light_extent;
  viewer.light_v /= viewer.light_extent;
  viewer.light_extent = 1.0f;
}

void resume_extrapolating() { viewer.light_extent = viewer.saved_light_extent; }
