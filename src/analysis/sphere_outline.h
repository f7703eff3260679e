// A sphere's circle to a tenth of a pixel from its outline against the
// background in full-resolution photographs.
//
// From a guessed circle, rays go out from its centre; along each the
// outline is the strongest step in brightness within a window around the
// guessed radius, placed where the profile crosses halfway between the
// levels on its two sides. The halfway crossing is taken in linear light
// (the samples decoded from the sRGB curve): a pixel that the outline
// cuts holds the mean of the light of its two parts only there, so the
// crossing falls on the outline whatever the pixel's share, and blur,
// compression and optics that spread an edge evenly leave it in place. A
// ray from anywhere inside the outline crosses it once, so the points lie
// on the outline even when the guess is off. Where the background is
// about as dark as the sphere (its shadow, the object's dark parts) the
// step is weak and the point is left out; a robust least-squares circle
// through the rest of the points of every photograph is the sphere's.
#pragma once

#include <vector>

#include "analysis/sphere_geometry.h"
#include "common/grey_picture.h"

struct OutlinePoint {
  double x = 0;
  double y = 0;
  double contrast = 0;  // the step's height in linear light
};

// Adds to `points` the outline found along rays from `guess`'s centre, each
// within `window` pixels of its radius, in `picture` (which must hold the
// circle and the window around it; rays that leave it are skipped).
void find_outline_points(const GreyPicture& picture, const Circle& guess, double window,
                         std::vector<OutlinePoint>& points);

// The circle through `points`: an algebraic fit to start, then geometric
// least squares with the outliers (weak steps, the object's edges, a
// shadow's rim) weighted down. False when fewer than eight strong points
// remain or they do not determine a circle.
bool fit_outline_circle(const std::vector<OutlinePoint>& points, Circle& circle);

// The circle refined on `pictures` from a rough guess that is within
// `window` pixels: points and fit three times, the window narrowing to a
// few pixels around the last fit. False as for fit_outline_circle.
bool refine_sphere_circle(const std::vector<const GreyPicture*>& pictures, Circle guess,
                          double window, Circle& refined);

// The window the final pass uses around a refined circle.
constexpr double refined_outline_window = 3.0;
