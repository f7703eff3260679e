// How a picture is made beyond plain relighting: the enhancement in force
// (the viewer's menu keeps at most one on) and the parameters of every
// enhancement, so that a render depends on its arguments alone.
#pragma once

#include "render/specular.h"

enum class Enhancement {
  none,
  specular,            // the highlight of each pixel's normal added to its colour
  diffuse_gain,        // the map is the diffuse-gain rewrite (diffuse_gain_transform)
  texture_comparison,  // the lower half the head-on texture, dimmed by the light's z
};

struct RenderMode {
  Enhancement enhancement = Enhancement::none;
  SpecularSettings specular;
  // The gain g of the diffuse-gain rewrite. A render of one light direction
  // does not rewrite the map itself: its caller passes the rewritten map,
  // which it keeps while only the light moves.
  float diffuse_gain = 1;
  // Half-width of the square of reachable light directions: 1, or 1..3
  // while extrapolating. The reflectance plot spans it.
  float light_extent = 1;
};
