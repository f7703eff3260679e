#include "render/relit_picture.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "analysis/normals.h"
#include "app/core/screenshot_image.h"
#include "app/core/slider_values.h"
#include "app/core/viewer_state.h"
#include "common/checked_alloc.h"
#include "imageio/image_files.h"
#include "imageio/png_image.h"
#include "ptm/resized_ptm.h"
#include "render/diffuse_gain.h"
#include "render/light_state.h"
#include "render/specular.h"
#include "render/zoom.h"

namespace {

// The process-wide state render_screenshot reads, set from the settings
// for one picture and put back as it was, so that a render leaves the
// viewer's lights and modes alone.
class RenderStateScope {
 public:
  explicit RenderStateScope(const RelitSettings& settings)
      : light_u_(light_u),
        light_v_(light_v),
        current_light_(current_light),
        specular_on_(viewer.specular_on),
        ptm_vs_texture_on_(viewer.ptm_vs_texture_on),
        kd_(specular_kd),
        ks_(specular_ks),
        exponent_(specular_exponent) {
    std::copy(std::begin(light_u_of), std::end(light_u_of), u_of_);
    std::copy(std::begin(light_v_of), std::end(light_v_of), v_of_);
    std::copy(std::begin(light_intensity), std::end(light_intensity), intensity_);
    std::copy(std::begin(light_enabled), std::end(light_enabled), enabled_);

    for (int i = 0; i < light_count; ++i) {
      const bool used = i < static_cast<int>(settings.lights.size());
      light_enabled[i] = used;
      light_u_of[i] = used ? settings.lights[i].u : 0;
      light_v_of[i] = used ? settings.lights[i].v : 0;
      light_intensity[i] = used ? settings.lights[i].intensity : 1;
    }
    current_light = 0;
    light_u = light_u_of[0];
    light_v = light_v_of[0];
    viewer.specular_on = settings.mode == RelitMode::specular;
    viewer.ptm_vs_texture_on = settings.mode == RelitMode::texture;
    specular_kd = settings.kd;
    specular_ks = settings.ks;
    specular_exponent = settings.exponent;
  }

  ~RenderStateScope() {
    std::copy(std::begin(u_of_), std::end(u_of_), light_u_of);
    std::copy(std::begin(v_of_), std::end(v_of_), light_v_of);
    std::copy(std::begin(intensity_), std::end(intensity_), light_intensity);
    std::copy(std::begin(enabled_), std::end(enabled_), light_enabled);
    light_u = light_u_;
    light_v = light_v_;
    current_light = current_light_;
    viewer.specular_on = specular_on_;
    viewer.ptm_vs_texture_on = ptm_vs_texture_on_;
    specular_kd = kd_;
    specular_ks = ks_;
    specular_exponent = exponent_;
  }

  RenderStateScope(const RenderStateScope&) = delete;
  RenderStateScope& operator=(const RenderStateScope&) = delete;

 private:
  float light_u_;
  float light_v_;
  int current_light_;
  int specular_on_;
  int ptm_vs_texture_on_;
  float kd_;
  float ks_;
  int exponent_;
  float u_of_[light_count];
  float v_of_[light_count];
  float intensity_[light_count];
  int enabled_[light_count];
};

bool needs_normals(RelitMode mode) {
  return mode == RelitMode::specular || mode == RelitMode::gain || mode == RelitMode::normals;
}

void ensure_normals(Ptm& map) {
  if (map.normals != nullptr) return;
  map.normals = checked_alloc_array<std::int8_t>(pixel_count(map) * 3);
  compute_normal_field(map, map.normals);
}

RgbImage* picture_of(Ptm& map, const RelitSettings& settings) {
  if (needs_normals(settings.mode)) ensure_normals(map);
  if (settings.mode == RelitMode::normals) {
    RgbImage* image = new_rgb_image(map.width, map.height);
    normal_image(map, *image);
    return image;
  }
  const RenderStateScope state(settings);
  if (settings.mode != RelitMode::gain) return render_screenshot(map);
  // As the viewer's Diffuse Gain shows it: the transformed map, sharing the
  // colour of the loaded one.
  Ptm* transformed = create_derived_ptm_shared(map);
  diffuse_gain_transform(map, *transformed, settings.gain);
  RgbImage* image = render_screenshot(*transformed);
  free_derived_ptm_shared(transformed);
  return image;
}

}  // namespace

RelitSettings default_relit_settings() {
  RelitSettings settings;
  settings.lights = {{0, 0, 1}};
  settings.kd = specular_kd;
  settings.ks = specular_ks;
  settings.exponent = specular_exponent;
  settings.gain = gain_on_switching_on(diffuse_gain_slider);
  return settings;
}

RgbImage* render_relit_picture(Ptm& map, const RelitSettings& settings) {
  const bool resized = settings.width > 0 && settings.height > 0 &&
                       (settings.width != map.width || settings.height != map.height);
  if (!resized) return picture_of(map, settings);
  Ptm* resampled = resize_ptm(map, settings.width, settings.height);
  if (resampled == nullptr) {
    std::fprintf(stderr, "The map cannot be resampled to %d x %d: too large for this machine\n",
                 settings.width, settings.height);
    return nullptr;
  }
  RgbImage* image = picture_of(*resampled, settings);
  free_ptm(resampled);
  return image;
}

bool write_picture_file(const RgbImage& picture, PictureFormat format, const char* path,
                        const PngNotes& notes) {
  switch (format) {
    case PictureFormat::png:
      return write_png_rgb(picture, path, notes);
    case PictureFormat::ppm:
      return write_ppm(picture.pixels, path, picture.width, picture.height);
    case PictureFormat::tga:
      return write_tga(picture.pixels, path, picture.width, picture.height,
                       screenshot_id_text) == 0;
  }
  return false;
}

bool write_relit_picture(Ptm& map, const RelitSettings& settings, PictureFormat format,
                         const char* path) {
  RgbImage* image = render_relit_picture(map, settings);
  if (image == nullptr) return false;
  const bool written = write_picture_file(*image, format, path);
  free_rgb_image(image);
  return written;
}
