#include "render/relit_picture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/normals.h"
#include "common/checked_alloc.h"
#include "common/parallel.h"
#include "ptm/resized_ptm.h"
#include "render/diffuse_gain.h"
#include "render/light_sum.h"
#include "render/zoom.h"

namespace {

// The modes that show the normals of the map they render (diffuse gain
// reads them only to rewrite the map).
bool shows_normals(RelitMode mode) {
  return mode == RelitMode::specular || mode == RelitMode::normals;
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

// Picture rows first .. end - 1 of `map` (one map row per picture row)
// into `pixels`. Whatever the map lacks for these rows is made for them
// alone: the normals of the mode, the integer form of a stored map.
void relit_rows(const Ptm& map, const RelitSettings& settings, const RenderMode& mode, int first,
                int end, std::uint8_t* pixels) {
  Ptm band = ptm_rows_view(map, first, end - first);
  std::vector<std::int8_t> normals;
  if (shows_normals(settings.mode) && band.normals == nullptr) {
    normals.resize(pixel_count(band) * 3);
    compute_normal_field(band, normals.data());
    band.normals = normals.data();
  }
  if (settings.mode == RelitMode::normals) {
    RgbImage view{band.width, band.height, pixels};
    normal_image(band, view);
    return;
  }
  const bool converted = !has_integer_form(band);
  if (converted) add_integer_form(band, preferred_representation());
  render_light_sum_rows(PictureRows{pixels, map.width, map.height, first, end, 0, -first}, band,
                        settings.lights, mode);
  if (converted) release_integer_form(band);
}

// The map a picture is made of: the caller's, or the resampled map of the
// settings' size, or the diffuse-gain rewrite (of either), which needs the
// whole map's normals and an integer form to write into.
class PictureSource {
 public:
  PictureSource(const Ptm& map, const RelitSettings& settings) {
    const bool resized = settings.width > 0 && settings.height > 0 &&
                         (settings.width != map.width || settings.height != map.height);
    const Ptm* source = &map;
    if (resized) {
      resampled_ = resize_ptm(map, settings.width, settings.height);
      if (resampled_ == nullptr) {
        std::fprintf(stderr, "The map cannot be resampled to %d x %d: too large for this machine\n",
                     settings.width, settings.height);
        return;
      }
      source = resampled_;
    }
    if (settings.mode == RelitMode::gain) {
      // As the viewer's Diffuse Gain shows it: the transformed map, sharing
      // the colour of the loaded one, from the normals of the whole map.
      full_ = *source;
      if (full_.normals == nullptr) {
        full_.normals = own_normals_ = checked_alloc_array<std::int8_t>(pixel_count(full_) * 3);
        compute_normal_field(full_, own_normals_, settings.threads);
      }
      if (!has_integer_form(full_)) {
        add_integer_form(full_, preferred_representation());
        full_has_own_form_ = true;
      }
      transformed_ = create_derived_ptm_shared(full_);
      diffuse_gain_transform(full_, *transformed_, settings.gain);
      source = transformed_;
    }
    picture_map_ = source;
  }
  PictureSource(const PictureSource&) = delete;
  PictureSource& operator=(const PictureSource&) = delete;
  ~PictureSource() {
    free_derived_ptm_shared(transformed_);
    if (full_has_own_form_) release_integer_form(full_);
    checked_free(own_normals_);
    free_ptm(resampled_);
  }

  // Null when the map could not be made (after the message).
  const Ptm* map() const { return picture_map_; }

 private:
  const Ptm* picture_map_ = nullptr;
  Ptm* resampled_ = nullptr;
  Ptm full_{};
  std::int8_t* own_normals_ = nullptr;
  bool full_has_own_form_ = false;
  Ptm* transformed_ = nullptr;
};

// The rows of one block of work for the picture of `map`.
int block_rows(const Ptm& map, const RenderMode& mode) {
  return static_cast<int>(std::min<std::int64_t>(render_block_rows(map.width, mode), map.height));
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

void render_relit_rows(const Ptm& map, const RelitSettings& settings, int first, int end,
                       std::uint8_t* rgb) {
  relit_rows(map, settings, render_mode_of(settings), first, end, rgb);
}

RgbImage* render_relit_picture(const Ptm& map, const RelitSettings& settings) {
  const PictureSource source(map, settings);
  if (source.map() == nullptr) return nullptr;
  const Ptm& shown = *source.map();
  const RenderMode mode = render_mode_of(settings);
  RgbImage* image = new_rgb_image(shown.width, shown.height);
  const std::size_t row_bytes = static_cast<std::size_t>(shown.width) * 3;
  parallel_blocks(settings.threads, shown.height, block_rows(shown, mode),
                  [&](std::int64_t begin, std::int64_t end) {
                    relit_rows(shown, settings, mode, static_cast<int>(begin),
                               static_cast<int>(end), image->pixels + begin * row_bytes);
                  });
  return image;
}

namespace {

// Copies the rows of `patch` that fall in picture rows first .. end - 1
// (bottom-up, of a picture `height` rows tall and `width` wide) over
// `rgb`, which holds those rows.
void lay_patch(const PicturePatch& patch, int width, int height, int first, int end,
               std::uint8_t* rgb) {
  const RgbImage& piece = *patch.picture;
  const int left = std::max(0, patch.left);
  const int right = std::min(width, patch.left + piece.width);
  if (left >= right) return;
  const std::size_t bytes = static_cast<std::size_t>(right - left) * 3;
  for (int y = first; y < end; ++y) {
    // Picture row y counts from the bottom; the patch's row from its own
    // bottom, which lies at picture row height - top - piece.height.
    const int piece_row = y - (height - patch.top - piece.height);
    if (piece_row < 0 || piece_row >= piece.height) continue;
    std::memcpy(rgb + (static_cast<std::size_t>(y - first) * width + left) * 3,
                piece.pixels +
                    (static_cast<std::size_t>(piece_row) * piece.width + (left - patch.left)) * 3,
                bytes);
  }
}

}  // namespace

bool write_relit_picture(const Ptm& map, const RelitSettings& settings, PictureFormat format,
                         const char* path, const PngNotes& notes, const PicturePatch& patch) {
  const PictureSource source(map, settings);
  if (source.map() == nullptr) return false;
  const Ptm& shown = *source.map();
  const RenderMode mode = render_mode_of(settings);
  PictureWriter picture;
  if (!picture.open(path, format, shown.width, shown.height, notes, screenshot_id_text)) {
    return false;
  }
  return write_picture_bands(picture, shown.width, shown.height, block_rows(shown, mode),
                             settings.threads, [&](int first, int end, std::uint8_t* rgb) {
                               relit_rows(shown, settings, mode, first, end, rgb);
                               if (patch.picture != nullptr) {
                                 lay_patch(patch, shown.width, shown.height, first, end, rgb);
                               }
                             });
}
