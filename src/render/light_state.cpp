#include "render/light_state.h"

float light_u = 0.0f;
float light_v = 0.0f;
int current_light = 0;
float light_u_of[light_count] = {};
float light_v_of[light_count] = {};
float light_intensity[light_count] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
int light_enabled[light_count] = {1, 0, 0, 0, 0, 0, 0, 0, 0};
float light_extent = 1.0f;
float saved_light_extent = 2.0f;
