// The polynomial texture map in memory: its size, storage format, the six
// per-coefficient scales and biases, the coefficient bytes as stored in the
// file, the same coefficients converted once into the integer form the
// evaluators consume, the colour of the luminance formats, and two optional
// per-pixel layers (normals, mask).
//
// Every per-pixel array uses one order: pixel index = y * width + x, the
// first pixel stored in the file first. Row 0 is drawn at the bottom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/coef_representation.h"

enum PtmFormat : std::int32_t {
  PTM_FORMAT_RGB = 0,
  PTM_FORMAT_LUM = 1,
  PTM_FORMAT_LRGB = 2,
  PTM_FORMAT_PTM_LUT = 3,
  PTM_FORMAT_PTM_C_LUT = 4,
  PTM_FORMAT_JPEG_RGB = 5,
  PTM_FORMAT_JPEG_LRGB = 6,
  PTM_FORMAT_JPEGLS_RGB = 7,
  PTM_FORMAT_JPEGLS_LRGB = 8,
};

// One pixel of a packed LRGB map: the six luminance coefficients and the
// colour in one 16-byte record, so one aligned load fetches a whole pixel.
struct PackedLrgbTexel {
  std::int16_t coef[6];
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
  std::uint8_t zero;
};
static_assert(sizeof(PackedLrgbTexel) == 16);

// Packed RGB: per pixel, for red, green and blue in turn, eight int16:
// a0..a5 and two zero pads, so every channel group starts on a 16-byte step.
constexpr int packed_rgb_values_per_pixel = 24;

struct Ptm {
  std::int32_t width;
  std::int32_t height;
  std::int32_t format;            // PtmFormat: RGB, LUM or LRGB once loaded
  std::int32_t* scale_bias;       // [0..5] scale * 256 (truncated), [6..11] bias
  std::uint8_t* coef_planes[6];   // stored bytes, 3 per pixel: plane 2c = a0..a2, 2c+1 = a3..a5
  std::uint8_t* color_planes[3];  // LRGB wide: r, g, b; LUM: [0], [2] chroma
  std::int32_t* coef_int[3];      // RGB wide: 6 per pixel per channel
  std::int32_t* lum_coef_int;     // LRGB wide and LUM: 6 per pixel
  std::int16_t* packed_rgb;       // RGB packed: 24 per pixel
  PackedLrgbTexel* packed_lrgb;   // LRGB packed
  float* color_matrix;            // LUM: 16 floats in file order
  std::int8_t* normals;           // 3 per pixel, trunc(127 * component); null until computed
  std::uint8_t* mask;             // 1 per pixel, 0 outside the object; null without a mask image
};

// Number of pixels of a map, as an index type.
inline std::size_t pixel_count(const Ptm& ptm) {
  return static_cast<std::size_t>(ptm.width) * static_cast<std::size_t>(ptm.height);
}

// The representation a map was built in (both forms are never present).
inline bool uses_packed(const Ptm& ptm) {
  return ptm.packed_rgb != nullptr || ptm.packed_lrgb != nullptr;
}

// Allocates the record and every array of `format` (0, 1, 2, 5..8) in the
// given representation; contents undefined, normals and mask null. Any
// other format prints "create_ptm error: unrecognized format" and ends the
// program with status -1.
Ptm* create_ptm(int width, int height, int format, CoefRepresentation representation);
Ptm* create_ptm(int width, int height, int format);

// A map of its stored bytes alone, to be written rather than relit: the
// coefficient planes and, for the luminance formats, the colour planes of
// the wide layout, but no integer arrays, which no writer reads (and no
// evaluator can do without). Released by free_ptm.
Ptm* create_stored_ptm(int width, int height, int format);

// Bytes create_ptm would allocate for such a map, without allocating; used
// to refuse maps that cannot fit before touching memory.
std::uint64_t ptm_storage_bytes(std::uint64_t width, std::uint64_t height, int format,
                                CoefRepresentation representation);

// Whether a map of this size can exist here: every pixel index fits in 32
// bits and the arrays fit in this machine's memory. Checked before a reader
// allocates anything.
bool ptm_size_fits(std::int64_t width, std::int64_t height, int format,
                   CoefRepresentation representation);

// Releases a map made by create_ptm and everything it owns.
void free_ptm(Ptm* ptm);

// A map that frees itself with free_ptm.
struct PtmDeleter {
  void operator()(Ptm* ptm) const { free_ptm(ptm); }
};
using OwnedPtm = std::unique_ptr<Ptm, PtmDeleter>;

// The short name of a storage format (PtmFormat 0..8) in the order of the
// enumeration: rgb, lum, lrgb, lut, clut, jpeg-rgb, jpeg-lrgb, jpegls-rgb,
// jpegls-lrgb; "unknown" for any other number.
const char* ptm_format_name(int format);

// A map of the source's shape with its own integer arrays, own colour
// planes and unfilled scale_bias, no coefficient planes; LUM shares the
// source's colour matrix. Released by free_derived_ptm.
Ptm* create_derived_ptm(const Ptm& source);
void free_derived_ptm(Ptm* ptm);

// As create_derived_ptm, but the colour planes are the source's too.
// Released by free_derived_ptm_shared, which never frees what is shared.
// A derived map owns its normals.
Ptm* create_derived_ptm_shared(const Ptm& source);
void free_derived_ptm_shared(Ptm* ptm);

// Whether a map derived from `source` still reads the source's colour
// planes (LUM, and LRGB in the wide representation, made shared).
bool shares_color_planes(const Ptm& derived, const Ptm& source);
// Gives a derived map copies of the colour planes it shares, so that it can
// be rewritten without touching the source.
void own_color_planes(Ptm& derived, const Ptm& source);
// Releases a map derived from `source` by the rule that fits it.
void free_derived_ptm_of(Ptm* ptm, const Ptm& source);

// Bilinear interpolation of four corners (c00, c10 on one row, c01, c11 on
// the next) at fractions fx, fy: trunc(((1-fx) c00 + fx c10)(1-fy) +
// fy((1-fx) c01 + fx c11)) in extended precision. The members differ in how
// the corner values are taken from their integer arguments.
std::int32_t bilerp_s8(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                       float fx, float fy);
std::int32_t bilerp_u8(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                       float fx, float fy);
std::int32_t bilerp_s16(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                        float fx, float fy);
std::int32_t bilerp_s32(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                        float fx, float fy);

// The colour of pixel `pixel` of an LRGB map, wherever the representation
// keeps it (the packed record or the three colour planes).
inline void get_lrgb_color(const Ptm& ptm, std::size_t pixel, std::uint8_t rgb[3]) {
  if (ptm.packed_lrgb != nullptr) {
    const PackedLrgbTexel& texel = ptm.packed_lrgb[pixel];
    rgb[0] = texel.red;
    rgb[1] = texel.green;
    rgb[2] = texel.blue;
  } else {
    for (int c = 0; c < 3; ++c) rgb[c] = ptm.color_planes[c][pixel];
  }
}

inline void set_lrgb_color(Ptm& ptm, std::size_t pixel, const std::uint8_t rgb[3]) {
  if (ptm.packed_lrgb != nullptr) {
    PackedLrgbTexel& texel = ptm.packed_lrgb[pixel];
    texel.red = rgb[0];
    texel.green = rgb[1];
    texel.blue = rgb[2];
    texel.zero = 0;
  } else {
    for (int c = 0; c < 3; ++c) ptm.color_planes[c][pixel] = rgb[c];
  }
}
