#include "app/core/viewer_state.h"

ViewerState viewer;

RenderMode viewer_render_mode() {
  RenderMode mode;
  if (viewer.ptm_vs_texture_on) {
    mode.enhancement = Enhancement::texture_comparison;
  } else if (viewer.specular_on) {
    mode.enhancement = Enhancement::specular;
  } else if (viewer.diffuse_gain_on) {
    mode.enhancement = Enhancement::diffuse_gain;
  }
  mode.specular = viewer.specular;
  mode.diffuse_gain = viewer.diffuse_gain;
  mode.light_extent = viewer.light_extent;
  return mode;
}
