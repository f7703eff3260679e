// relumo-tool video: the map under a light circling it once.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imageio/video_file.h"
#include "ptm/ptm.h"
#include "render/light_sweep_video.h"
#include "tool/commands.h"
#include "tool/map_arguments.h"
#include "tool/progress_bar.h"
#include "tool/tool_io.h"
#include "tool/video_options.h"
#include "tool/picture_options.h"
#include "tool/view_options.h"

const char video_usage[] =
    "Usage: relumo-tool video MAP -o OUT.mp4|OUT.webm [--elevation DEG] [--seconds S]\n"
    "                         [--fps F] [--size WxH] [--mode M ...]\n"
    "                         [--ppmm N | --dpi N] [--scale-bar]\n"
    "\n"
    "A video of the map under one light that starts at azimuth 0 (from the top of\n"
    "the picture) and circles it clockwise once, at the elevation DEG above the\n"
    "object's plane (default 20): round(S x F) frames (default 10 s at 25 frames\n"
    "per second), frame i lit from azimuth 360 i / frames.\n"
    "  .mp4   H.264 (libx264, constant quality 18), playable in every browser\n"
    "  .webm  VP9 (libvpx, constant quality 30)\n"
    "  --size WxH   the frame size (default the map's); a side that is odd is\n"
    "               rounded down to even, as 4:2:0 video needs\n"
    "  --mode M, --kd K, --ks K, --exp N, --gain G   as for 'relumo-tool render'\n"
    "  --ppmm N, --dpi N, --scale-bar   the map's scale (pixels per millimetre\n"
    "               or per inch) and a scale bar on every frame\n"
    "--threads N renders that many frames at once and sets the encoder's threads;\n"
    "the file is the same for any N.\n";

namespace {

constexpr double max_seconds = 3600;
constexpr int max_frames_per_second = 120;

double parse_range(const char* text, double lo, double hi, const char* what) {
  const double value = parse_number(text, what);
  if (!(value >= lo && value <= hi)) {
    throw UsageError(std::string(what) + " \"" + text + "\" is not within " +
                     shortest_text(static_cast<float>(lo)) + ".." +
                     shortest_text(static_cast<float>(hi)));
  }
  return value;
}

}  // namespace

VideoOptions parse_video_arguments(ArgumentList& arguments) {
  VideoOptions options;
  options.sweep.view = default_relit_settings();
  double seconds = 10;
  std::vector<std::string> mode_options;
  ScaleOptions scale;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* argument) {
    if (mode_option(arguments, argument, options.sweep.view, mode_options)) return true;
    if (scale_option(arguments, argument, scale)) return true;
    if (std::strcmp(argument, "--elevation") == 0) {
      options.sweep.elevation_degrees = parse_range(arguments.value(), 0, 90, "--elevation");
    } else if (std::strcmp(argument, "--seconds") == 0) {
      seconds = parse_range(arguments.value(), 0, max_seconds, "--seconds");
    } else if (std::strcmp(argument, "--fps") == 0) {
      options.sweep.frames_per_second = static_cast<int>(
          parse_integer(arguments.value(), 1, max_frames_per_second, "--fps"));
    } else if (std::strcmp(argument, "--size") == 0) {
      const PictureSize size = parse_picture_size(arguments.value(), max_picture_side, "--size");
      if (size.width < 2 || size.height < 2) {
        throw UsageError("--size: a video frame is at least 2 x 2 pixels");
      }
      options.sweep.view.width = size.width;
      options.sweep.view.height = size.height;
    } else {
      return false;
    }
    return true;
  });
  check_mode_options_apply(mode_options, options.sweep.view.mode);
  check_scale_options(scale);
  options.sweep.pixels_per_mm = scale.pixels_per_mm;
  options.sweep.scale_bar = scale.scale_bar;
  const std::string extension = file_extension(options.output.c_str());
  if (extension == "mp4") {
    options.sweep.container = VideoContainer::mp4;
  } else if (extension == "webm") {
    options.sweep.container = VideoContainer::webm;
  } else {
    throw UsageError("the output " + options.output + " does not end in .mp4 or .webm");
  }
  options.sweep.frame_count =
      static_cast<int>(std::lround(seconds * options.sweep.frames_per_second));
  if (options.sweep.frame_count < 1) {
    throw UsageError("--seconds " + shortest_text(static_cast<float>(seconds)) + " at " +
                     std::to_string(options.sweep.frames_per_second) +
                     " frames per second makes no frame");
  }
  options.sweep.threads = arguments.threads();
  return options;
}

int run_video(ArgumentList& arguments) {
  VideoOptions options = parse_video_arguments(arguments);
  Ptm* map = read_map(options.map.c_str());
  if (map == nullptr) return 1;
  int width = 0;
  int height = 0;
  sweep_frame_size(options.sweep, map->width, map->height, width, height);
  if (width < 2 || height < 2) {
    report_file_error(options.map.c_str(),
                      "the map is too small for a video (frames of at least 2 x 2 pixels); give "
                      "--size");
    free_ptm(map);
    return 1;
  }
  show_video_library_errors_only();
  ProgressBar bar("Encoding frames");
  options.sweep.progress = bar.callback();
  const bool written = write_light_sweep_video(*map, options.sweep, options.output.c_str());
  bar.finish();
  free_ptm(map);
  return written ? 0 : 1;
}
