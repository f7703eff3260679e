// A map relit into a picture file, as the viewer's full-size screenshot
// makes it: the same lights summed with saturation, the same modes and the
// same arithmetic, for scripts that render many maps.
#pragma once

#include <vector>

#include "common/rgb_image.h"
#include "imageio/picture_writer.h"
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
  // The threads the picture is made with (1 or more); the bytes are the
  // same for any number.
  int threads = 1;
};

// The viewer's starting point: one light at (0, 0) with intensity 1, plain,
// Kd, Ks and Exp as specular enhancement starts, and the gain Diffuse Gain
// is switched on with.
RelitSettings default_relit_settings();

// The picture of `map` (bottom-up), or null after a message on standard
// error when a resampled map of that size does not fit in memory. When the
// mode needs normals and the map has none, they are computed for this
// picture alone (a caller making many pictures computes them into the map
// once, with compute_normal_field). A map read in the stored
// representation (no integer form) is converted a band of rows at a time.
// Reads nothing but its arguments, so several pictures can be made at
// once. The caller frees the picture.
RgbImage* render_relit_picture(const Ptm& map, const RelitSettings& settings);

// Rows first .. end - 1 of the picture render_relit_picture makes, into
// `rgb` (bottom-up, three bytes per pixel), on the calling thread: for a
// caller that needs only some rows. The settings' own size and the
// diffuse-gain mode need the whole map prepared first and are not taken
// here (the map's own size, plain, specular, texture or normals only).
void render_relit_rows(const Ptm& map, const RelitSettings& settings, int first, int end,
                       std::uint8_t* rgb);

// The image-ID text of a TGA picture, the viewer's screenshots included.
constexpr char screenshot_id_text[] = "Korvex PTM";

// A small opaque picture laid over the relit one (a scale bar's plate):
// its top-left corner at (left, top) pixels from the picture's top-left
// corner; what falls outside the picture is cut off.
struct PicturePatch {
  const RgbImage* picture = nullptr;
  int left = 0;
  int top = 0;
};

// Renders as above and writes the picture to `path`: an 8-bit RGB PNG
// (with `notes` before its picture data), a binary PPM, or a 24-bit TGA as
// the screenshot writes it, with `patch` over it. The picture is made and
// written a band of rows at a time, never whole in memory (the
// diffuse-gain mode alone holds a rewritten map). The file is whole or
// absent; false after a message on standard error.
bool write_relit_picture(const Ptm& map, const RelitSettings& settings, PictureFormat format,
                         const char* path, const PngNotes& notes = {},
                         const PicturePatch& patch = {});
