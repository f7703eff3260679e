// The map under a light that circles it once: a video in which the relief
// shows from every side in turn, as a conservator turns a raking lamp.
#pragma once

#include "common/progress.h"
#include "imageio/video_file.h"
#include "ptm/ptm.h"
#include "render/relit_picture.h"

struct LightSweep {
  // The mode and its parameters; the lights are the sweep's one light.
  // width x height is the frame size (0: the map's), each side rounded
  // down to even for the 4:2:0 chroma.
  RelitSettings view;
  double elevation_degrees = 20;
  int frame_count = 250;
  int frames_per_second = 25;
  VideoContainer container = VideoContainer::mp4;
  // Map pixels per millimetre; above 0 with scale_bar, every frame has a
  // scale bar.
  double pixels_per_mm = 0;
  bool scale_bar = false;
  int threads = 1;  // the normals' and the encoder's
  ProgressFn progress;  // frames encoded out of frame_count
};

// The frame size of the sweep of a width x height map: the view's size or
// the map's, each side rounded down to even.
void sweep_frame_size(const LightSweep& sweep, int map_width, int map_height, int& width,
                      int& height);

// The light of frame `index`: azimuth 360 index / frame_count degrees
// (from the top, clockwise), at the sweep's elevation, intensity 1.
RelitLight sweep_light(const LightSweep& sweep, int index);

// Renders every frame of the sweep and encodes it to `path`. The map is
// resampled once when the frame size differs from its own. The whole file
// or nothing; false after a message on standard error.
bool write_light_sweep_video(Ptm& map, const LightSweep& sweep, const char* path);
