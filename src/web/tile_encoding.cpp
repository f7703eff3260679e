#include "web/tile_encoding.h"

#include "imageio/png_image.h"

const char* tile_extension(const TileEncoding& encoding) {
  return encoding.kind == TileKind::png ? "png" : "jpg";
}

bool encode_tile(const TileEncoding& encoding, const TilePixels& tile,
                 std::vector<std::uint8_t>& bytes) {
  const auto step = static_cast<std::ptrdiff_t>(tile.row_bytes);
  if (encoding.kind == TileKind::png) {
    return encode_png_rgb(tile.top_left, step, tile.width, tile.height, bytes);
  }
  return encode_jpeg(tile.top_left, step, tile.width, tile.height, 3, encoding.quality,
                     encoding.chroma, bytes);
}
