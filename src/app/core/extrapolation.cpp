#include "app/core/extrapolation.h"

#include "render/light_state.h"

void stop_extrapolating() {
  saved_light_extent = light_extent;
  light_u /= light_extent;
  light_v /= light_extent;
  light_extent = 1.0f;
}

void resume_extrapolating() { light_extent = saved_light_extent; }
