#include "render/light_sweep_video.h"

#include <cstdio>

#include "render/light_bearing.h"
#include "render/render_source.h"

void sweep_frame_size(const LightSweep& sweep, int map_width, int map_height, int& width,
                      int& height) {
  const bool sized = sweep.view.width > 0 && sweep.view.height > 0;
  width = (sized ? sweep.view.width : map_width) & ~1;
  height = (sized ? sweep.view.height : map_height) & ~1;
}

RelitLight sweep_light(const LightSweep& sweep, int index) {
  return light_from_bearing(360.0 * index / sweep.frame_count, sweep.elevation_degrees);
}

namespace {

bool encode_sweep(Ptm& map, const LightSweep& sweep, VideoFile& video) {
  RelitSettings frame_view = sweep.view;
  frame_view.width = 0;
  frame_view.height = 0;
  for (int index = 0; index < sweep.frame_count; ++index) {
    frame_view.lights = {sweep_light(sweep, index)};
    RgbImage* frame = render_relit_picture(map, frame_view);
    if (frame == nullptr) return false;
    const bool added = video.add_frame(*frame);
    free_rgb_image(frame);
    if (!added) return false;
    report_progress(sweep.progress, static_cast<std::uint64_t>(index + 1),
                    static_cast<std::uint64_t>(sweep.frame_count));
  }
  return video.finish();
}

}  // namespace

bool write_light_sweep_video(Ptm& map, const LightSweep& sweep, const char* path) {
  VideoSettings settings;
  settings.container = sweep.container;
  sweep_frame_size(sweep, map.width, map.height, settings.width, settings.height);
  settings.frames_per_second = sweep.frames_per_second;
  settings.threads = sweep.threads;
  if (sweep.frame_count < 1) {
    std::fprintf(stderr, "Can't write video %s: it would have no frame\n", path);
    return false;
  }
  VideoFile video;
  if (!video.open(path, settings)) return false;
  RenderSource source;
  if (!source.prepare(map, sweep.view, settings.width, settings.height, sweep.threads)) {
    return false;
  }
  return encode_sweep(source.map(), sweep, video);
}
