// The arguments of `relumo-tool video`.
#pragma once

#include <string>

#include "render/light_sweep_video.h"
#include "tool/arguments.h"

struct VideoOptions {
  std::string map;
  std::string output;
  LightSweep sweep;  // the container from the output's extension
};

// A usage error for an unknown option, a missing or second map, no -o, an
// output other than .mp4 or .webm, a frame below 2 x 2, no frame at all,
// and values out of range.
VideoOptions parse_video_arguments(ArgumentList& arguments);
