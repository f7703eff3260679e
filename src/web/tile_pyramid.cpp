#include "web/tile_pyramid.h"

#include <algorithm>
#include <vector>

#include "common/parallel.h"

namespace {

constexpr std::size_t pixel_bytes = 3;

// Rows [first, last) of the level below a picture of src_width x
// src_height, whose rows src_top .. are held at `src`: each pixel the mean
// of its two-by-two block, rounded half up; at an odd right or bottom edge
// the block is one pixel wide or high.
void halve_rows(const std::uint8_t* src, int src_width, int src_height, int src_top,
                std::uint8_t* dst, int dst_width, int first, int last) {
  const std::size_t src_stride = static_cast<std::size_t>(src_width) * pixel_bytes;
  const std::size_t dst_stride = static_cast<std::size_t>(dst_width) * pixel_bytes;
  for (int j = first; j < last; ++j) {
    const int y = 2 * j;
    const bool two_rows = y + 1 < src_height;
    const std::uint8_t* upper = src + static_cast<std::size_t>(y - src_top) * src_stride;
    const std::uint8_t* lower = two_rows ? upper + src_stride : upper;
    std::uint8_t* out = dst + static_cast<std::size_t>(j) * dst_stride;
    for (int i = 0; i < dst_width; ++i) {
      const int x = 2 * i;
      const bool two_columns = x + 1 < src_width;
      const std::size_t left = static_cast<std::size_t>(x) * pixel_bytes;
      const std::size_t right = two_columns ? left + pixel_bytes : left;
      for (std::size_t c = 0; c < pixel_bytes; ++c) {
        // At an edge the lone row or column is read twice, which keeps
        // one rule: (2 a + 2 b + 2) / 4 is (a + b + 1) / 2, and 4 a / 4 is a.
        const int sum = upper[left + c] + upper[right + c] + lower[left + c] + lower[right + c];
        out[i * pixel_bytes + c] = static_cast<std::uint8_t>((sum + 2) >> 2);
      }
    }
  }
}

// The tiles of grid row `row` (or every row when `row` is -1) of a level
// whose rows top.. are held at `pixels`, handed to the sink in parallel.
void cut_tiles(const PyramidPlan& plan, int level, const TileGrid& grid, const std::uint8_t* pixels,
               int top, int row, const TileSink& sink) {
  const int columns = tile_columns(grid);
  const int first_row = row < 0 ? 0 : row;
  const int row_count = row < 0 ? tile_rows(grid) : 1;
  const std::size_t stride = static_cast<std::size_t>(grid.width) * pixel_bytes;
  parallel_blocks(plan.threads, static_cast<std::int64_t>(columns) * row_count, 1,
                  [&](std::int64_t begin, std::int64_t end) {
                    for (std::int64_t t = begin; t < end; ++t) {
                      const int r = first_row + static_cast<int>(t / columns);
                      const int c = static_cast<int>(t % columns);
                      const TileRect rect = tile_rect(grid, c, r);
                      const std::uint8_t* top_left =
                          pixels + static_cast<std::size_t>(rect.y - top) * stride +
                          static_cast<std::size_t>(rect.x) * pixel_bytes;
                      sink({level, c, r, top_left, stride, rect.width, rect.height});
                    }
                  });
}

TileGrid grid_of_level(const PyramidPlan& plan, int level) {
  return {level_side(plan.width, level), level_side(plan.height, level), plan.tile_size,
          plan.overlap};
}

}  // namespace

TileRect tile_rect(const TileGrid& grid, int column, int row) {
  const int x0 = std::max(0, column * grid.size - grid.overlap);
  const int y0 = std::max(0, row * grid.size - grid.overlap);
  const int x1 = std::min(grid.width, (column + 1) * grid.size + grid.overlap);
  const int y1 = std::min(grid.height, (row + 1) * grid.size + grid.overlap);
  return {x0, y0, x1 - x0, y1 - y0};
}

int level_side(int full_side, int k) {
  const std::int64_t factor = std::int64_t{1} << std::min(k, 40);
  return static_cast<int>((full_side + factor - 1) / factor);
}

std::int64_t pyramid_tile_count(const PyramidPlan& plan) {
  std::int64_t count = 0;
  for (int k = 0; k < plan.levels; ++k) {
    const TileGrid grid = grid_of_level(plan, k);
    count += static_cast<std::int64_t>(tile_columns(grid)) * tile_rows(grid);
  }
  return count;
}

void build_tile_pyramid(const PyramidPlan& plan, const PictureRowSource& source,
                        const TileSink& sink, const ProgressFn& progress,
                        const LevelSink& whole_level) {
  const std::uint64_t total = static_cast<std::uint64_t>(pyramid_tile_count(plan));
  std::uint64_t done = 0;
  const TileGrid full = grid_of_level(plan, 0);
  const std::size_t full_stride = static_cast<std::size_t>(full.width) * pixel_bytes;

  // The full picture, one row of tiles at a time (with the overlap rows of
  // the rows of tiles above and below), halved as it goes.
  TileGrid half = grid_of_level(plan, 1);
  std::vector<std::uint8_t> below;
  if (plan.levels > 1) below.resize(static_cast<std::size_t>(half.width) * half.height * pixel_bytes);
  std::vector<std::uint8_t> band;
  for (int r = 0; r < tile_rows(full); ++r) {
    const int top = std::max(0, r * full.size - full.overlap);
    const int bottom = std::min(full.height, (r + 1) * full.size + full.overlap);
    band.resize(static_cast<std::size_t>(bottom - top) * full_stride);
    parallel_blocks(plan.threads, bottom - top, rows_per_block(full.width),
                    [&](std::int64_t begin, std::int64_t end) {
                      source(top + static_cast<int>(begin), static_cast<int>(end - begin),
                             band.data() + static_cast<std::size_t>(begin) * full_stride);
                    });
    cut_tiles(plan, 0, full, band.data(), top, r, sink);
    if (plan.levels > 1) {
      // The band's own rows (without overlap) start at an even row, since
      // the tile size is even, so they halve into whole rows.
      const int own_top = r * full.size;
      const int own_bottom = std::min(full.height, (r + 1) * full.size);
      const int first = own_top / 2;
      const int last = (own_bottom + 1) / 2;
      parallel_blocks(plan.threads, last - first, rows_per_block(half.width),
                      [&](std::int64_t begin, std::int64_t end) {
                        halve_rows(band.data(), full.width, full.height, top, below.data(),
                                   half.width, first + static_cast<int>(begin),
                                   first + static_cast<int>(end));
                      });
    }
    done += static_cast<std::uint64_t>(tile_columns(full));
    report_progress(progress, done, total);
  }
  band = std::vector<std::uint8_t>();

  // Every smaller level is whole in memory.
  std::vector<std::uint8_t> level_pixels;
  for (int k = 1; k < plan.levels; ++k) {
    level_pixels.swap(below);
    const TileGrid grid = half;
    if (whole_level) whole_level(k, level_pixels.data(), grid.width, grid.height);
    cut_tiles(plan, k, grid, level_pixels.data(), 0, -1, sink);
    done += static_cast<std::uint64_t>(tile_columns(grid)) * tile_rows(grid);
    report_progress(progress, done, total);
    if (k + 1 == plan.levels) break;
    half = grid_of_level(plan, k + 1);
    below.resize(static_cast<std::size_t>(half.width) * half.height * pixel_bytes);
    parallel_blocks(plan.threads, half.height, rows_per_block(half.width),
                    [&](std::int64_t begin, std::int64_t end) {
                      halve_rows(level_pixels.data(), grid.width, grid.height, 0, below.data(),
                                 half.width, static_cast<int>(begin), static_cast<int>(end));
                    });
  }
}
