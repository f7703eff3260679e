// A picture cut into square tiles at every level of a pyramid: the full
// picture, then each level half the one before (sides rounded up), each
// cut into a grid of tiles that may overlap their neighbours by a pixel
// so that a viewer filtering across a tile's edge finds the neighbour's
// pixel there. Deep Zoom and IIIF's static tiles are both such pyramids.
//
// Pictures here are 8-bit RGB, three bytes a pixel, the top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/progress.h"

// The tiles of one level: side `size`, neighbours overlapping by `overlap`.
struct TileGrid {
  int width;   // the level's size in pixels
  int height;
  int size;
  int overlap;
};

inline int tile_columns(const TileGrid& grid) { return (grid.width + grid.size - 1) / grid.size; }
inline int tile_rows(const TileGrid& grid) { return (grid.height + grid.size - 1) / grid.size; }

// The pixels tile (column, row) covers, overlap included.
struct TileRect {
  int x;
  int y;
  int width;
  int height;
};
TileRect tile_rect(const TileGrid& grid, int column, int row);

// The side of level k, counted from the full picture (k = 0) down: the
// full side halved k times, rounding up, which is ceil(side / 2^k).
int level_side(int full_side, int k);

// A tile's pixels, handed to the sink: `top_left` is its first pixel and
// each row starts `row_bytes` after the one above.
struct TilePixels {
  int level;  // k: 0 the full picture
  int column;
  int row;
  const std::uint8_t* top_left;
  std::size_t row_bytes;
  int width;
  int height;
};

struct PyramidPlan {
  int width;  // of the full picture
  int height;
  int tile_size;  // even, so that a level's tile rows halve into whole rows
  int overlap;
  int levels;     // k = 0 .. levels - 1
  int threads;
};

// Fills `count` full-width rows of the full picture from row `top`
// (0 the top row) into `out`. Called from several threads at once for
// different rows.
using PictureRowSource = std::function<void(int top, int count, std::uint8_t* out)>;

// Called once per tile, from several threads at once; throws to stop the
// pyramid (the exception reaches build_tile_pyramid's caller).
using TileSink = std::function<void(const TilePixels& tile)>;

// Called with each level below the full picture once it is whole in
// memory (k >= 1), before its tiles are cut.
using LevelSink = std::function<void(int level, const std::uint8_t* pixels, int width, int height)>;

// Cuts every level of the plan into tiles and hands each to `sink`. The
// full picture is read from `source` one row of tiles at a time, and only
// the half picture is kept whole, so memory is a quarter of the picture
// plus a band of tiles. A level pixel is the mean of the two-by-two block
// above it (fewer at an odd edge), rounded half up. `progress` counts
// tiles, from the calling thread. Tiles never depend on the thread count.
void build_tile_pyramid(const PyramidPlan& plan, const PictureRowSource& source,
                        const TileSink& sink, const ProgressFn& progress = {},
                        const LevelSink& whole_level = {});

// The number of tiles build_tile_pyramid hands out for the plan.
std::int64_t pyramid_tile_count(const PyramidPlan& plan);
