// An 8-bit picture, grey or RGB, as a baseline JPEG stream in memory,
// through the libjpeg 6b interface: the tiles of a published map and the
// planes of JPEG-compressed maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How the two chroma components of an RGB picture are sampled. A
// photograph-like picture loses little at half resolution (libjpeg's
// default 2 x 2); coefficient planes are three unrelated quantities in the
// red, green and blue places, where subsampling would smear two of them
// across pixels, so they keep every sample.
enum class ChromaSampling { halved, full };

// Encodes width x height pixels of `components` bytes each (1 grey, 3 RGB),
// the top row first and each row `row_step` bytes after the one above (a
// bottom-up picture steps back), at `quality` (1..100, libjpeg's scale)
// into `stream`, replacing its content. False after libjpeg's message when
// the library refuses.
bool encode_jpeg(const std::uint8_t* top_row, std::ptrdiff_t row_step, int width, int height,
                 int components, int quality, ChromaSampling chroma,
                 std::vector<std::uint8_t>& stream);
