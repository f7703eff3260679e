// The depth of a whole map as a file for other programs, by one of two
// methods:
//   rings    the viewer's reconstruction: a perspective camera read from a
//            camera file, depth grown ring by ring from the centre, one
//            smoothing pass (depth.h);
//   poisson  the least-squares integration of the slopes under an
//            orthographic view, pixel pitch 1 (poisson_depth.h), from the
//            unit normals before their truncation to bytes.
//
// Two steps may follow: the trend (plane or quadric, height_trend.h) is
// taken out of the Poisson heights, and the fine relief is the depth
// minus its Gaussian blur (gaussian_blur.h).
#pragma once

#include "analysis/camera_file.h"
#include "analysis/height_trend.h"
#include "imageio/png_image.h"
#include "ptm/ptm.h"

enum class DepthMethod { rings, poisson };

struct DepthSettings {
  DepthMethod method = DepthMethod::poisson;
  // Taken out of the Poisson heights; the rings depth follows the viewer's
  // reconstruction and is never changed.
  HeightTrend trend = HeightTrend::plane;
  // Above 0: the fine relief, the depth minus its blur of this sigma in
  // map pixels.
  double detail_sigma = 0;
  // Above 0: map pixels per millimetre; heights in millimetres.
  double pixels_per_mm = 0;
  // The colour picture: a scale bar (with pixels_per_mm).
  bool scale_bar = false;
  int threads = 1;
};

enum class DepthFileFormat {
  // 16-bit grey, top row first: the unmasked pixels' range from 0 (far) to
  // 65535 (near), rounded; pixels outside the mask 0. A map of one depth
  // is mid grey, 32768.
  png,
  // One float per pixel ("Pf"), little-endian, bottom row first; NaN
  // outside the mask. rings: the viewer's normalised depth, (distance -
  // initial distance) / estimated depth, larger farther; poisson: the
  // height in pixels (millimetres with a scale), larger nearer.
  pfm,
  // 8-bit colour: the heights through the relief colour map, low dark,
  // high light, over the central 99 % of the object's heights (the lowest
  // and highest 0.5 % take the end colours), outside the mask black; a
  // legend of that range in a band below the map's pixels.
  colour_png,
};

// The viewer's depth map of `ptm` after smoothing, for `camera`, from the
// map's byte normals (computed here when the map holds none): masked and
// unreached pixels at the far end as the viewer leaves them. A new array
// of the checked allocator (checked_free), or null after a message on
// standard error when the camera makes the reconstruction impossible.
float* rings_depth(const Ptm& ptm, const CameraParameters& camera);

// The height of every pixel in pixels (millimetres with a scale), larger
// nearer, NaN outside the mask, in a new array of the checked allocator,
// after the settings' trend and detail. poisson: poisson_depth's heights.
// rings: the viewer's depth turned into heights at the scale of the centre
// pixel, where a pixel of the image plane (image width / map width) covers
// that size times initial distance / focal length of the scene, and a
// depth step of 1 is estimated depth long. `camera` is used by rings only.
// Null after a message on standard error.
float* map_heights(const Ptm& ptm, const DepthSettings& settings, const CameraParameters& camera);

// Writes the depth of `ptm` as `format` to `path` with `notes` (PNG only),
// the whole file or nothing; `camera` is used by rings only. False after a
// message on standard error.
bool write_depth_file(const Ptm& ptm, const DepthSettings& settings,
                      const CameraParameters& camera, DepthFileFormat format, const char* path,
                      const PngNotes& notes = {});
