#include "web/deep_zoom.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

int deep_zoom_max_level(int width, int height) {
  const int side = std::max(width, height);
  int level = 0;
  while ((std::int64_t{1} << level) < side) ++level;
  return level;
}

std::string deep_zoom_descriptor(int width, int height, int tile_size, int overlap,
                                 const char* format) {
  char text[512];
  std::snprintf(text, sizeof text,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<Image xmlns=\"http://schemas.microsoft.com/deepzoom/2008\" Format=\"%s\" "
                "Overlap=\"%d\" TileSize=\"%d\">\n"
                "  <Size Width=\"%d\" Height=\"%d\"/>\n"
                "</Image>\n",
                format, overlap, tile_size, width, height);
  return text;
}

std::string deep_zoom_level_folder(const std::string& name, int level) {
  return name + "_files/" + std::to_string(level);
}

std::string deep_zoom_tile_path(const std::string& name, int level, int column, int row,
                                const char* extension) {
  return deep_zoom_level_folder(name, level) + "/" + std::to_string(column) + "_" +
         std::to_string(row) + "." + extension;
}
