// The lights: the direction being rendered or steered, and the nine lights
// the image view sums. A direction is its projection (u, v) on the image
// plane, u to the right, v upward.
#pragma once

constexpr int light_count = 9;

extern float light_u;  // direction currently rendered or steered
extern float light_v;
extern int current_light;  // 0..8, the light the mouse steers
extern float light_u_of[light_count];
extern float light_v_of[light_count];
extern float light_intensity[light_count];  // 0..4
extern int light_enabled[light_count];
// Half-width of the square of reachable light positions (1 .. 3 while
// extrapolating), and the extent kept while extrapolation is off.
extern float light_extent;
extern float saved_light_extent;
