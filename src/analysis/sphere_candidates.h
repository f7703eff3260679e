// Finding the spheres of a capture in its photographs decoded small: a
// sphere is a dark, round region with a bright spot that moves from
// photograph to photograph. It is dark in nearly every photograph, its
// highlight touching any one point in few, so the level per pixel that
// three quarters of the photographs stay below shows it whole; the table
// beside it lies in its shadow under many lights (a point at its foot
// under nearly half of them) but is lit under most, and shows lit.
//
// Dark regions are taken at several thresholds between that picture's
// darkest levels and its typical level, and kept where they are
// round: the spread of their pixels the same every way, the second moments
// and the area telling the same radius, and the disc of that radius
// filled. The circles are rough (a pixel of the small pictures); their
// outline refines them.
#pragma once

#include <vector>

#include "analysis/sphere_geometry.h"
#include "common/grey_picture.h"

// The spheres seen in `pictures` (photographs of one capture, of one size,
// decoded at 1 / `scale` of their size), as circles in the full
// photographs' coordinates, left to right. Empty when none is found.
std::vector<Circle> find_sphere_candidates(const std::vector<GreyPicture>& pictures, int scale);
