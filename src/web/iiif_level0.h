// A picture published as an IIIF Image API 3.0 service of compliance level
// 0: static files that any web server serves, at the paths a client builds
// from the service's info.json (Image API 3.0, sections 4 and 5).
//
// The picture is cut into square tiles without overlap at scale factors
// 1, 2, 4, ... down to the first that puts the whole picture in one tile.
// A tile of scale factor s at (column, row) covers the full-size region
// x = column * tile * s, y = row * tile * s, w = min(tile * s, width - x),
// h likewise, delivered at ceil(w / s) x ceil(h / s) pixels; its file is
// REGION/SIZE/0/default.jpg in the canonical form of section 4.7: REGION
// "full" for the whole picture and "x,y,w,h" otherwise, SIZE "max" for the
// full size and "w,h" otherwise.
#pragma once

#include <string>
#include <vector>

struct IiifLayout {
  int width;
  int height;
  int tile_size;
  int levels;  // scale factors 2^0 .. 2^(levels - 1)
  // The largest size served whole ("full/max"): the first level that fits
  // in max_whole_side x max_whole_side (the full picture when it does).
  int max_level;
};

// Pictures larger than this on a side are served whole ("full/max") only
// reduced, and info.json says so with maxWidth and maxHeight.
constexpr int iiif_max_whole_side = 4096;

IiifLayout iiif_layout(int width, int height, int tile_size);

// The canonical path of the tile (relative to the service), and for a
// tile that is the whole picture also the same request with its region
// given as pixels, which clients that never say "full" ask for.
std::vector<std::string> iiif_tile_paths(const IiifLayout& layout, int level, int column, int row);

// The paths of the whole picture at level `max_level`: "full/max/0/default.jpg"
// and the same size given in pixels.
std::vector<std::string> iiif_whole_picture_paths(const IiifLayout& layout);

// info.json: the service `id` (an absolute URL, or the relative one used
// when the address is not known), the size, the tiles and their scale
// factors, the smallest level as a size, and the limits of "max" when the
// picture is served reduced.
std::string iiif_info_json(const IiifLayout& layout, const std::string& id);
