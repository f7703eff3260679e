// map.json: what the page needs to know about a published map before it
// fetches a tile: the arithmetic and its scales and biases, the size, the
// pyramids, and the view it opens with.
#pragma once

#include <string>
#include <vector>

#include "render/relit_picture.h"
#include "web/published_map.h"

struct MapDescription {
  const PublishedMap* published;
  int tile_size;
  int overlap;
  int levels;               // Deep Zoom levels 0 .. levels - 1
  const char* tile_format;  // "png" or "jpg"
  std::vector<std::string> planes;
  // The default view: the first light, the mode, and the values the
  // enhancements start from (the viewer's own starting values unless the
  // publisher chose others).
  RelitSettings view;
  std::string title;
  std::string iiif;  // the IIIF service's info.json, relative; empty when none
};

// The page's names of the modes it shows (plain, specular, gain,
// normals); null for a mode it does not show.
const char* page_mode_name(RelitMode mode);

// The JSON text: format, width, height, scale (six numbers: the fixed-point
// scales over 256, exactly), bias (six integers), tile_size, overlap,
// tile_format, levels, planes, default_view {light [u, v], mode, kd, ks,
// exp, gain, intensity}, title and, with a picture service, iiif.
std::string map_description_json(const MapDescription& description);
