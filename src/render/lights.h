// The lights a picture is made with. A direction is its projection (u, v)
// on the image plane, u to the right, v upward; the light's z follows from
// unit length inside the unit circle and is continued beyond it while
// extrapolating.
#pragma once

// The viewer's keys 1..9 steer nine lights; a picture sums at most that
// many.
constexpr int light_count = 9;

struct RelitLight {
  float u;
  float v;
  float intensity = 1;  // 0..4; each channel is scaled by it before the sum
  bool enabled = true;  // a light switched off keeps its place and direction
};
