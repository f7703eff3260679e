// A map relit into a picture file, as the viewer's full-size screenshot
// makes it: the same lights summed with saturation, the same modes and the
// same arithmetic, for scripts that render many maps.
#pragma once

#include <vector>

#include "common/rgb_image.h"
#include "imageio/png_image.h"
#include "ptm/ptm.h"
#include "render/lights.h"

enum class RelitMode {
  plain,     // the evaluated map
  specular,  // with the highlight of specular enhancement
  gain,      // the diffuse-gain transform of the map
  texture,   // the PTM-versus-texture comparison: lower half the head-on texture
  normals,   // the normal field as colours (no lights)
};

struct RelitSettings {
  // 1 .. light_count, summed in order; |u|, |v| <= 3, intensity >= 0.
  std::vector<RelitLight> lights;
  RelitMode mode = RelitMode::plain;
  float kd = 0;      // specular: weight of the evaluated colour
  float ks = 0;      // specular: weight of the highlight
  int exponent = 0;  // specular: highlight exponent
  float gain = 1;    // diffuse gain g
  // The picture's size; 0 keeps the map's own. Another size resamples the
  // map first (resize_ptm), and the mode works on the resampled map.
  int width = 0;
  int height = 0;
};

// The viewer's starting point: one light at (0, 0) with intensity 1, plain,
// Kd, Ks and Exp as specular enhancement starts, and the gain Diffuse Gain
// is switched on with.
RelitSettings default_relit_settings();

// The picture of `map` (bottom-up), or null after a message on standard
// error when a resampled map of that size does not fit in memory. When the
// mode needs normals and the map has none, they are computed for this
// picture alone (a caller making many pictures computes them into the map
// once, with compute_normal_field). Reads nothing but its arguments, so
// several pictures can be made at once. The caller frees the picture.
RgbImage* render_relit_picture(const Ptm& map, const RelitSettings& settings);

enum class PictureFormat { png, ppm, tga };

// The image-ID text of a TGA picture, the viewer's screenshots included.
constexpr char screenshot_id_text[] = "Korvex PTM";

// Writes a bottom-up picture as `format` (a PNG with `notes`), the whole
// file or nothing; false after a message on standard error.
bool write_picture_file(const RgbImage& picture, PictureFormat format, const char* path,
                        const PngNotes& notes = {});

// Renders as above and writes the picture to `path`: an 8-bit RGB PNG, a
// binary PPM, or a 24-bit TGA as the screenshot writes it. The file is whole
// or absent; false after a message on standard error.
bool write_relit_picture(const Ptm& map, const RelitSettings& settings, PictureFormat format,
                         const char* path);
