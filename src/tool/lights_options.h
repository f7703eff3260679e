// The arguments of "relumo-tool lights", parsed into a plain record.
#pragma once

#include <string>
#include <vector>

#include "analysis/sphere_geometry.h"
#include "tool/arguments.h"

struct LightsOptions {
  std::vector<std::string> photographs;  // in capture order
  std::string output;                    // the light-position file
  std::vector<Circle> spheres;           // --sphere X,Y,R (empty: find them)
  double focal_px = 0;                   // --focal-px (0: orthographic)
  bool json = false;
  std::string contact_sheet;  // empty: none
  bool skip_missing = false;
};

// Parses the arguments after "lights". Usage errors (no photographs, no
// -o, a circle that is not three numbers with a positive radius, a focal
// length that is not positive, an output that names an input or the other
// output) throw UsageError; "--help" throws HelpRequested.
LightsOptions parse_lights_options(ArgumentList& arguments);
