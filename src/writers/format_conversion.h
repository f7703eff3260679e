// Writing a map, or a rectangle of it, in another of the nine storage
// formats.
//
// The formats come in two families by what they store per pixel: RGB (rgb,
// jpeg-rgb, jpegls-rgb: six coefficients per colour channel) and luminance
// and colour (lrgb, lut, clut, jpeg-lrgb, jpegls-lrgb: six luminance
// coefficients and an RGB colour); LUM (six luminance coefficients, two
// chroma bytes and a colour matrix) stands alone. Once read, every map is
// RGB, LRGB or LUM in memory, with the stored coefficient bytes as the file
// held them.
//
//   - Within a family the stored bytes are kept wherever the target can
//     hold them: the uncompressed formats and lossless JPEG-LS reproduce
//     them exactly; JPEG and near-lossless JPEG-LS code them with loss; lut
//     and clut replace them by the viewer's k-means palette.
//   - LRGB to RGB is exact arithmetic before requantisation: channel c's
//     coefficient k is a_k C_c / 256 (the LRGB evaluator's product), a_k
//     the decoded luminance coefficient and C_c the colour byte.
//   - RGB to the luminance family and LUM to anything but LUM are fitted by
//     least squares over a grid of lights (analysis/map_refit.h).
#pragma once

#include <memory>

#include "common/progress.h"
#include "ptm/ptm.h"
#include "writers/compressed_ptm_writer.h"
#include "writers/cropped_ptm_writer.h"

// Which conversion takes a map of in-memory format `source_format` (RGB,
// LUM or LRGB) to the file format `target_format` (0..8).
enum class ConversionKind {
  copy,          // the stored bytes themselves, written as they are or compressed
  palettize,     // LRGB to lut or clut
  requantize,    // LRGB to an RGB format
  fit,           // least squares over the light grid, then written
  unsupported,   // to LUM from anything but LUM, or an unknown format
};
ConversionKind conversion_kind(int source_format, int target_format);

struct ConversionOptions {
  int format = PTM_FORMAT_LRGB;  // PtmFormat of the file written, 0..8
  int quality = 90;              // JPEG formats: libjpeg's quality, 1..100
  int near = 0;                  // JPEG-LS formats: the loss bound NEAR, 0..127
  bool whole_map = true;         // otherwise only `region`
  PtmRect region{0, 0, 0, 0};    // columns xs.., rows ys.. in the map's own row order
  // Fraction of the whole conversion done, over every step it takes
  // (fit, palette or plane coding).
  ProgressFn progress;
};

struct ConversionReport {
  ConversionKind kind = ConversionKind::unsupported;
  // A fitted conversion: the grid's light count and the fitted map's RMS
  // error against the source in grey levels (before any JPEG or palette
  // step).
  int fit_lights = 0;
  double rms_error = 0.0;
};

// A new map of `rect` of `ptm` (RGB, LUM or LRGB) in the same format and
// representation: the same scales, biases and colour matrix, the stored
// bytes and colour of those pixels, coefficients converted. The caller keeps
// `rect` inside the map.
Ptm* crop_ptm(const Ptm& ptm, const PtmRect& rect);

// The RGB map of an LRGB map (see above), in the source's representation,
// scales and biases chosen afresh (make_rgb_ptm).
Ptm* rgb_from_lrgb(const Ptm& lrgb);

// The plane coding of the compressed files this conversion writes: P-planes
// where a plane predicts another well, measured rather than guessed.
//   - Within a group of six coefficients, a1 is predicted from a0 and a5
//     from a1 inverted: the u^2 and v^2 terms of a reflectance field move
//     together, and its constant term against them (a brighter top is a
//     more curved lobe). LRGB, lossless JPEG-LS: the fitted sample relief
//     (512 x 384) 246580 bytes with I-planes only, 224647 so (-8.9 %); a map
//     fitted to a real 72-photograph capture (402 x 395) -4.8 %; JPEG at
//     quality 90 -6.8 % and -6.5 %. The colour planes stay I-planes:
//     predicting red or blue from green made both maps larger.
//   - RGB: the green group is coded so, and every red and blue coefficient
//     plane is predicted from green's plane of the same coefficient, the
//     channels of one surface being alike. Lossless JPEG-LS: the capture
//     fitted per channel 1135814 bytes with I-planes only, 751996 so
//     (-33.8 %), against 1063623 with the groups' own chains alone; the
//     sample relief as RGB 533048, 465032 (-12.8 %); JPEG at quality 90
//     -36.5 % and -13.9 %.
// A map whose planes are unrelated (the benchmarks' synthetic waves with
// noise) loses: +2.9 % for LRGB at 1024 x 1024.
CompressedPtmOptions conversion_plane_coding(int target_format, int quality, int near);

// Writes `source` (as read: RGB, LUM or LRGB) to `path` as options.format,
// converting as above; a region is cut out before anything else. False
// after a message on standard output when the conversion is unsupported,
// the region leaves the map, or a writer fails (the writers leave no file
// behind then). A fit's error is in `report`.
bool write_converted_ptm(const Ptm& source, const ConversionOptions& options, const char* path,
                         ConversionReport& report);
