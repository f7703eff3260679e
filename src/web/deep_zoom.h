// Deep Zoom's layout of a tile pyramid (the .dzi format of Seadragon and
// its successors): levels numbered from 0, a single pixel, up to the full
// picture at level ceil(log2(longest side)); each level the next one
// halved with the sides rounded up; tiles of NAME_files/LEVEL/COL_ROW.EXT
// beside the descriptor NAME.dzi.
#pragma once

#include <string>

// The full picture's Deep Zoom level: ceil(log2(max(width, height))), 0
// for a single pixel.
int deep_zoom_max_level(int width, int height);

// The Deep Zoom level of pyramid level k (k = 0 the full picture).
inline int deep_zoom_level(int max_level, int k) { return max_level - k; }

// The XML descriptor: format ("png" or "jpg"), overlap, tile size and the
// full picture's size.
std::string deep_zoom_descriptor(int width, int height, int tile_size, int overlap,
                                 const char* format);

// "NAME_files/LEVEL/COL_ROW.EXT"; the folder alone is "NAME_files/LEVEL".
std::string deep_zoom_level_folder(const std::string& name, int level);
std::string deep_zoom_tile_path(const std::string& name, int level, int column, int row,
                                const char* extension);
