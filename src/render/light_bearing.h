// A light direction given as people describe raking light: its azimuth, a
// compass bearing in degrees (0 from the top of the picture, 90 from the
// right, 180 from the bottom, 270 from the left), and its elevation above
// the object's plane in degrees. The map's u runs to the right and v
// upward, so the light's projection on the plane is
//   u = cos(elevation) sin(azimuth),  v = cos(elevation) cos(azimuth).
#pragma once

#include "render/relit_picture.h"

RelitLight light_from_bearing(double azimuth_degrees, double elevation_degrees,
                              float intensity = 1);
