#include "app/core/screenshot_image.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/core/viewer_state.h"
#include "imageio/image_files.h"
#include "render/light_sum.h"
#include "render/relit_picture.h"

RgbImage* render_screenshot(const Ptm& ptm) {
  RelitLight lights[light_count];
  for (int i = 0; i < light_count; ++i) {
    const bool steered = i == viewer.current_light;
    lights[i] = {steered ? viewer.light_u : viewer.light_u_of[i],
                 steered ? viewer.light_v : viewer.light_v_of[i], viewer.light_intensity[i],
                 viewer.light_enabled[i] != 0};
  }
  return render_light_sum(ptm, lights, viewer_render_mode());
}

std::string free_screenshot_name(const std::string& base_dir) {
  for (int k = 0; k < 1000; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "screenshot%.3i.tga", k);
    const std::string candidate = base_dir + name;
    // Any file of that name is kept, even one this user cannot read.
    struct stat info {};
    if (stat(candidate.c_str(), &info) != 0 && errno == ENOENT) return candidate;
  }
  return "";
}

void save_screenshot(const Ptm& ptm, const std::string& base_dir) {
  RgbImage* image = render_screenshot(ptm);
  const std::string path = free_screenshot_name(base_dir);
  if (path.empty()) {
    std::fprintf(stderr,
                 "Unable to ouput screenshot. Too many screenshots in directory, or invalid "
                 "directory\n");
  } else {
    std::printf("Creating Screenshot %s\n", path.c_str());
    write_tga(image->pixels, path.c_str(), image->width, image->height, screenshot_id_text);
  }
  free_rgb_image(image);
}
