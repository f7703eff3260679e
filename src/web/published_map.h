// What a map publishes for the web page: the coefficient planes the page
// evaluates, in one of the two arithmetics it mirrors (LRGB or RGB, the
// evaluators of packed 16-bit coefficients), and the normal field.
//
// Maps read as LRGB (LRGB files and the table and compressed formats
// loaded as LRGB) and as RGB publish their stored bytes as they are. A LUM
// map is expanded to RGB: its colour matrix is affine in the luminance, so
// channel c relit is m_c1 Y + (m_c0 P0 + m_c2 P2 + m_c3) for its two chroma
// bytes P0, P2, a polynomial of the light with coefficients m_c1 a_k and
// constant m_c1 a5 + m_c0 P0 + m_c2 P2 + m_c3 (the chroma term taken to
// its floor when m_c1 is 1, as the LUM arithmetic's truncation of a whole
// Y plus the term does). The RGB arithmetic weights its constant by
// 1023/1024 where the LUM arithmetic weights it by 1, so the constant is
// stored 1024/1023 larger. The expansion still differs from the LUM
// picture by one grey level where the constant's rounding crosses a
// level, where the LUM arithmetic clips the luminance before the matrix
// (shadows below 0, highlights above 255), and by the new quantisation of
// the expanded coefficients.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ptm/ptm.h"

enum class PublishedFormat { lrgb, rgb };

struct PublishedMap {
  const Ptm* source;  // the map as read
  PublishedFormat format;
  std::int32_t scale_bias[12];  // of the published coefficient bytes
  // LUM: the expanded coefficients (display units) are made on demand from
  // the source, through this record.
  bool expanded;
};

// How `source` (RGB, LUM or LRGB in memory) is published. A LUM map's
// expansion is measured here (one pass over the map, on `threads`
// threads) to choose its scales and biases.
PublishedMap published_map_of(const Ptm& source, int threads);

// "lrgb" or "rgb".
const char* published_format_name(PublishedFormat format);

// The names of the published planes, in the order the page binds them:
// LRGB coefficients_0 (a0, a1, a2), coefficients_1 (a3, a4, a5), color;
// RGB red_0, red_1, green_0, green_1, blue_0, blue_1; then normals (the
// signed normal bytes plus 128, as the viewer shows the normal field).
std::vector<std::string> published_plane_names(const PublishedMap& published);

// `count` full-width rows of plane `plane` from picture row `top` (0 the
// top row of the picture, which is the map's last row) into `out`, three
// bytes per pixel. Safe to call from several threads at once.
void fill_plane_rows(const PublishedMap& published, int plane, int top, int count,
                     std::uint8_t* out);
