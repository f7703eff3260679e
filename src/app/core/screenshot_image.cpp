#include "app/core/screenshot_image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "imageio/image_files.h"
#include "render/light_state.h"
#include "render/render_image.h"

RgbImage* render_screenshot(const Ptm& ptm) {
  RgbImage* sum = new_rgb_image(ptm.width, ptm.height);
  RgbImage* work = nullptr;
  const std::size_t bytes = pixel_count(ptm) * 3;
  bool empty = true;  // the sum is still all zero
  for (int i = 0; i < light_count; ++i) {
    if (!light_enabled[i]) continue;
    const bool steered = i == current_light;
    const float u = steered ? light_u : light_u_of[i];
    const float v = steered ? light_v : light_v_of[i];
    const float intensity = light_intensity[i];
    if (empty && intensity == 1.0f) {
      // trunc(b * 1 + 0) is b: the first light at full intensity is its
      // render, made in place without a pass over the picture.
      render_ptm_image(*sum, ptm, u, v, 0, 0);
      empty = false;
      continue;
    }
    if (empty) std::fill(sum->pixels, sum->pixels + bytes, 0);
    empty = false;
    if (work == nullptr) work = new_rgb_image(ptm.width, ptm.height);
    render_ptm_image(*work, ptm, u, v, 0, 0);
    for (std::size_t b = 0; b < bytes; ++b) {
      const float value = work->pixels[b] * intensity + sum->pixels[b];
      sum->pixels[b] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
    }
  }
  if (empty) std::fill(sum->pixels, sum->pixels + bytes, 0);
  free_rgb_image(work);
  return sum;
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
