// A map published for the web: a static folder that any web server serves
// under any path, or one HTML file that opens from disk, relit in the
// browser by WebGL with the desktop's arithmetic.
//
// The folder holds the page (index.html, its style sheet and script
// modules), map.json (published_map.h, map_description.h), the planes as
// Deep Zoom pyramids (NAME.dzi and NAME_files/LEVEL/COL_ROW.png or .jpg),
// and under iiif/ the map lit from its default view as an IIIF Image API
// 3.0 level 0 service (info.json and static JPEG tiles), for image servers
// and IIIF viewers that show pictures but cannot relight them.
#pragma once

#include <cstdint>
#include <string>

#include "common/progress.h"
#include "ptm/ptm.h"
#include "render/relit_picture.h"
#include "web/tile_encoding.h"

struct WebPublishOptions {
  TileEncoding tiles;        // of the planes
  int tile_size = 510;       // Deep Zoom tile side, even; tiles are 512 with their overlap
  RelitSettings view;        // the default view: its first light, mode and settings
  std::string iiif_base;     // the URL the folder is served from; empty: a relative id
  std::string title;         // shown by the page (the map's file name)
  int threads = 1;
  bool replace = false;      // an existing folder that is not empty is replaced
  ProgressFn progress;       // counts tiles
};

// The largest map a single-file page holds: 2^23 pixels (8 megapixels).
constexpr std::int64_t max_single_page_pixels = std::int64_t{1} << 23;

// Tile sides the page and the pyramids take.
constexpr int min_tile_size = 64;
constexpr int max_tile_size = 2046;

// The IIIF service's tiles.
constexpr int iiif_tile_size = 512;
constexpr int iiif_quality = 90;

// Writes the folder `path`, built beside it under a temporary name and
// renamed at the end (an existing folder that is not empty is refused
// unless options.replace). `map` is RGB, LUM or LRGB; its normals are
// computed into it when the default view needs them. False after a
// message on standard error naming the path.
bool publish_web_folder(Ptm& map, const WebPublishOptions& options, const char* path);

// Writes the single HTML file `path` (whole or not at all), for a map of
// at most max_single_page_pixels pixels. False after a message on standard
// error.
bool publish_web_page(Ptm& map, const WebPublishOptions& options, const char* path);
