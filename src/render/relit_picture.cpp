#include "render/relit_picture.h"

#include <cstdio>

#include "analysis/normals.h"
#include "common/checked_alloc.h"
#include "imageio/image_files.h"
#include "imageio/png_image.h"
#include "ptm/resized_ptm.h"
#include "render/diffuse_gain.h"
#include "render/light_sum.h"
#include "render/zoom.h"

namespace {

bool needs_normals(RelitMode mode) {
  return mode == RelitMode::specular || mode == RelitMode::gain || mode == RelitMode::normals;
}

RenderMode render_mode_of(const RelitSettings& settings) {
  RenderMode mode;
  switch (settings.mode) {
    case RelitMode::specular:
      mode.enhancement = Enhancement::specular;
      break;
    case RelitMode::gain:
      mode.enhancement = Enhancement::diffuse_gain;
      break;
    case RelitMode::texture:
      mode.enhancement = Enhancement::texture_comparison;
      break;
    case RelitMode::plain:
    case RelitMode::normals:
      break;
  }
  mode.specular = {settings.kd, settings.ks, settings.exponent};
  mode.diffuse_gain = settings.gain;
  return mode;
}

// The picture of a map that has the normals its mode needs.
RgbImage* picture_of(const Ptm& map, const RelitSettings& settings) {
  if (settings.mode == RelitMode::normals) {
    RgbImage* image = new_rgb_image(map.width, map.height);
    normal_image(map, *image);
    return image;
  }
  const RenderMode mode = render_mode_of(settings);
  if (mode.enhancement != Enhancement::diffuse_gain) {
    return render_light_sum(map, settings.lights, mode);
  }
  // As the viewer's Diffuse Gain shows it: the transformed map, sharing the
  // colour of the loaded one.
  Ptm* transformed = create_derived_ptm_shared(map);
  diffuse_gain_transform(map, *transformed, mode.diffuse_gain);
  RgbImage* image = render_light_sum(*transformed, settings.lights, mode);
  free_derived_ptm_shared(transformed);
  return image;
}

RgbImage* picture_with_normals(const Ptm& map, const RelitSettings& settings) {
  if (!needs_normals(settings.mode) || map.normals != nullptr) return picture_of(map, settings);
  // The map is the caller's, and other pictures of it may be in the making:
  // the normals go into a record of this call's own that borrows every
  // other array of the map.
  Ptm with_normals = map;
  with_normals.normals = checked_alloc_array<std::int8_t>(pixel_count(map) * 3);
  compute_normal_field(map, with_normals.normals);
  RgbImage* image = picture_of(with_normals, settings);
  checked_free(with_normals.normals);
  return image;
}

}  // namespace

RelitSettings default_relit_settings() {
  RelitSettings settings;
  settings.lights = {{0, 0, 1}};
  const SpecularSettings specular;
  settings.kd = specular.kd;
  settings.ks = specular.ks;
  settings.exponent = specular.exponent;
  settings.gain = gain_on_switching_on(starting_gain_position);
  return settings;
}

RgbImage* render_relit_picture(const Ptm& map, const RelitSettings& settings) {
  const bool resized = settings.width > 0 && settings.height > 0 &&
                       (settings.width != map.width || settings.height != map.height);
  if (!resized) return picture_with_normals(map, settings);
  Ptm* resampled = resize_ptm(map, settings.width, settings.height);
  if (resampled == nullptr) {
    std::fprintf(stderr, "The map cannot be resampled to %d x %d: too large for this machine\n",
                 settings.width, settings.height);
    return nullptr;
  }
  RgbImage* image = picture_with_normals(*resampled, settings);
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

bool write_relit_picture(const Ptm& map, const RelitSettings& settings, PictureFormat format,
                         const char* path) {
  RgbImage* image = render_relit_picture(map, settings);
  if (image == nullptr) return false;
  const bool written = write_picture_file(*image, format, path);
  free_rgb_image(image);
  return written;
}
