// The bright spots on a sphere in one photograph: the flash's mirror
// image, and whatever else the glaze reflects (room lights, a window, the
// object's white areas near the rim).
//
// Only the sphere's disc is searched, so nothing beside the sphere counts
// however white it is. The threshold adapts to the photograph: the disc's
// own background level (its median) and noise (from its median absolute
// deviation) and the brightest sample in it, never a fixed grey level, so
// that exposure, a grey or black glaze and 8- or 16-bit samples all read
// alike.
#pragma once

#include <vector>

#include "analysis/sphere_geometry.h"
#include "common/grey_picture.h"

struct HighlightSpot {
  // The centre in picture coordinates: the centroid of the spot's pixels
  // weighted by how far each rises from the threshold toward the spot's
  // top, so a clipped spot is the centre of its clipped plateau with its
  // soft rim around it (whose pixels weigh by their partial brightness),
  // and an unclipped one its brightness-weighted centre.
  double x = 0;
  double y = 0;
  double peak = 0;      // its brightest sample above the background, 0..1
  double strength = 0;  // the sum of its samples' excess over the background
  int pixels = 0;
};

struct DiscSpots {
  double background = 0;             // the disc's median sample
  double noise = 0;                  // its robust standard deviation
  std::vector<HighlightSpot> spots;  // strongest first
};

// Finds the spots within the disc of `circle` (less a thin rim, where the
// outline blends with the background) in `picture`, which holds the disc
// or the part of it inside the photograph: 8-connected groups of samples
// above the adaptive threshold whose peak stands clear of the noise.
DiscSpots find_disc_spots(const GreyPicture& picture, const Circle& circle);
