#include "web/iiif_level0.h"

#include <algorithm>

#include "common/json_text.h"
#include "web/tile_pyramid.h"

namespace {

std::string pixels_region(int x, int y, int w, int h) {
  return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," +
         std::to_string(h);
}

std::string size_text(int w, int h) { return std::to_string(w) + "," + std::to_string(h); }

std::string image_path(const std::string& region, const std::string& size) {
  return region + "/" + size + "/0/default.jpg";
}

}  // namespace

IiifLayout iiif_layout(int width, int height, int tile_size) {
  IiifLayout layout{width, height, tile_size, 1, 0};
  while (level_side(width, layout.levels - 1) > tile_size ||
         level_side(height, layout.levels - 1) > tile_size) {
    ++layout.levels;
  }
  while (level_side(width, layout.max_level) > iiif_max_whole_side ||
         level_side(height, layout.max_level) > iiif_max_whole_side) {
    ++layout.max_level;
  }
  return layout;
}

std::vector<std::string> iiif_tile_paths(const IiifLayout& layout, int level, int column,
                                         int row) {
  const std::int64_t span = static_cast<std::int64_t>(layout.tile_size) << level;
  const int x = static_cast<int>(column * span);
  const int y = static_cast<int>(row * span);
  const int w = static_cast<int>(std::min<std::int64_t>(span, layout.width - x));
  const int h = static_cast<int>(std::min<std::int64_t>(span, layout.height - y));
  // ceil(w / s): the edge tiles of a level are narrower.
  const int scaled_w = std::min(layout.tile_size, level_side(layout.width - x, level));
  const int scaled_h = std::min(layout.tile_size, level_side(layout.height - y, level));
  const bool whole = x == 0 && y == 0 && w == layout.width && h == layout.height;
  const bool full_size = scaled_w == layout.width && scaled_h == layout.height;
  const std::string size = full_size ? "max" : size_text(scaled_w, scaled_h);
  if (!whole) return {image_path(pixels_region(x, y, w, h), size)};
  std::vector<std::string> paths = {image_path("full", size),
                                    image_path(pixels_region(0, 0, w, h), size)};
  if (full_size) paths.push_back(image_path("full", size_text(scaled_w, scaled_h)));
  return paths;
}

std::vector<std::string> iiif_whole_picture_paths(const IiifLayout& layout) {
  const int w = level_side(layout.width, layout.max_level);
  const int h = level_side(layout.height, layout.max_level);
  return {image_path("full", "max"), image_path("full", size_text(w, h))};
}

std::string iiif_info_json(const IiifLayout& layout, const std::string& id) {
  const int last = layout.levels - 1;
  std::string json = "{\n";
  json += "  \"@context\": \"http://iiif.io/api/image/3/context.json\",\n";
  json += "  \"id\": " + json_string(id) + ",\n";
  json += "  \"type\": \"ImageService3\",\n";
  json += "  \"protocol\": \"http://iiif.io/api/image\",\n";
  json += "  \"profile\": \"level0\",\n";
  json += "  \"width\": " + std::to_string(layout.width) + ",\n";
  json += "  \"height\": " + std::to_string(layout.height) + ",\n";
  if (layout.max_level > 0) {
    json += "  \"maxWidth\": " + std::to_string(level_side(layout.width, layout.max_level)) + ",\n";
    json +=
        "  \"maxHeight\": " + std::to_string(level_side(layout.height, layout.max_level)) + ",\n";
  }
  json += "  \"sizes\": [{\"width\": " + std::to_string(level_side(layout.width, last)) +
          ", \"height\": " + std::to_string(level_side(layout.height, last)) + "}],\n";
  json += "  \"tiles\": [{\"width\": " + std::to_string(layout.tile_size) +
          ", \"height\": " + std::to_string(layout.tile_size) + ", \"scaleFactors\": [";
  for (int k = 0; k <= last; ++k) {
    if (k > 0) json += ", ";
    json += std::to_string(1 << k);
  }
  json += "]}]\n}\n";
  return json;
}
