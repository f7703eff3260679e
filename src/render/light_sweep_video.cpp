#include "render/light_sweep_video.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "render/light_bearing.h"
#include "render/render_source.h"
#include "render/scale_bar.h"
#include "render/text_drawing.h"

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

// Renders the frames as many at once as there are threads and encodes
// them in order: at most that many frames are held at a time. `font`
// draws the scale bar, `frame_pixels_per_mm` above 0.
bool encode_sweep(const RenderSource& source, const LightSweep& sweep,
                  double frame_pixels_per_mm, TextFont* font, VideoFile& video) {
  const int threads = std::max(1, sweep.threads);
  for (int first = 0; first < sweep.frame_count; first += threads) {
    const int count = std::min(threads, sweep.frame_count - first);
    std::vector<RelitLight> lights;
    for (int k = 0; k < count; ++k) lights.push_back(sweep_light(sweep, first + k));
    std::vector<RgbImage*> frames = source.render_lit_by(sweep.view, lights, threads);
    bool added = true;
    for (RgbImage* frame : frames) {
      if (font != nullptr) draw_scale_bar(*font, *frame, frame_pixels_per_mm);
      added = added && video.add_frame(*frame);
      free_rgb_image(frame);
    }
    if (!added) return false;
    report_progress(sweep.progress, static_cast<std::uint64_t>(first + count),
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
  TextFont* font = nullptr;
  if (sweep.scale_bar && sweep.pixels_per_mm > 0) {
    font = open_text_font();
    if (font == nullptr) {
      std::fprintf(stderr, "Can't write video %s: no font for its scale bar\n", path);
      return false;
    }
  }
  const bool written = encode_sweep(source, sweep, sweep.pixels_per_mm * settings.width / map.width,
                                    font, video);
  close_text_font(font);
  return written;
}
