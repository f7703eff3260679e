// How a published pyramid's tiles are coded: PNG for planes that must
// arrive exactly, JPEG for smaller lossy ones and for pictures.
#pragma once

#include <cstdint>
#include <vector>

#include "imageio/jpeg_picture.h"
#include "web/tile_pyramid.h"

enum class TileKind { png, jpeg };

struct TileEncoding {
  TileKind kind = TileKind::png;
  int quality = 90;  // JPEG: libjpeg's scale, 1..100
  ChromaSampling chroma = ChromaSampling::full;
};

// "png" or "jpg": the tiles' file extension and Deep Zoom's format name.
const char* tile_extension(const TileEncoding& encoding);

// The tile's file. False only when the library refuses.
bool encode_tile(const TileEncoding& encoding, const TilePixels& tile,
                 std::vector<std::uint8_t>& bytes);
