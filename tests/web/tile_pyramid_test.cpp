#include "web/tile_pyramid.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "web/deep_zoom.h"
#include "web/iiif_level0.h"

namespace {

TEST(TilePyramid, LevelsHalveRoundingUpAndTilesOverlapTheirNeighbours) {
  EXPECT_EQ(level_side(1000, 0), 1000);
  EXPECT_EQ(level_side(1000, 3), 125);
  EXPECT_EQ(level_side(601, 1), 301);
  EXPECT_EQ(level_side(601, 10), 1);
  EXPECT_EQ(deep_zoom_max_level(1, 1), 0);
  EXPECT_EQ(deep_zoom_max_level(1024, 3), 10);
  EXPECT_EQ(deep_zoom_max_level(600, 1025), 11);

  const TileGrid grid{1000, 600, 254, 1};
  EXPECT_EQ(tile_columns(grid), 4);
  EXPECT_EQ(tile_rows(grid), 3);
  const struct {
    int column, row;
    TileRect rect;
  } cases[] = {
      {0, 0, {0, 0, 255, 255}},       // no neighbour above or to the left
      {1, 0, {253, 0, 256, 255}},     // a pixel of each neighbour
      {3, 2, {761, 507, 239, 93}},    // the corner, cut by the picture
  };
  for (const auto& c : cases) {
    const TileRect r = tile_rect(grid, c.column, c.row);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{c.rect.x, c.rect.y, c.rect.width, c.rect.height}))
        << c.column << "," << c.row;
  }
  EXPECT_EQ(deep_zoom_tile_path("normals", 9, 3, 2, "png"), "normals_files/9/3_2.png");
  EXPECT_EQ(deep_zoom_descriptor(1000, 600, 254, 1, "jpg"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Image xmlns=\"http://schemas.microsoft.com/deepzoom/2008\" Format=\"jpg\" "
            "Overlap=\"1\" TileSize=\"254\">\n"
            "  <Size Width=\"1000\" Height=\"600\"/>\n"
            "</Image>\n");
}

// The tiles of a pyramid put back together, level by level; each pixel
// must come out the same from every tile that holds it.
struct Levels {
  std::mutex mutex;
  std::map<int, std::map<std::pair<int, int>, std::vector<int>>> pixels;
  int conflicts = 0;
};

void collect(Levels& levels, const TilePixels& tile, int overlap_left, int overlap_top, int size) {
  const std::lock_guard<std::mutex> lock(levels.mutex);
  for (int y = 0; y < tile.height; ++y) {
    for (int x = 0; x < tile.width; ++x) {
      const std::uint8_t* p = tile.top_left + y * tile.row_bytes + x * 3;
      const std::pair<int, int> at{tile.column * size - overlap_left + x,
                                   tile.row * size - overlap_top + y};
      const std::vector<int> value{p[0], p[1], p[2]};
      auto [entry, inserted] = levels.pixels[tile.level].emplace(at, value);
      if (!inserted && entry->second != value) ++levels.conflicts;
    }
  }
}

TEST(TilePyramid, EachLevelIsTheMeanOfTheTwoByTwoBlockAboveRoundedHalfUp) {
  // 5 x 5 pixels, (x, y) = (10 x + y, 255 - 10 x - y, 7), cut into tiles of
  // 2 with an overlap of 1: the full picture arrives in three bands.
  const int width = 5;
  const int height = 5;
  const PyramidPlan plan{width, height, 2, 1, 4, 3};
  Levels levels;
  build_tile_pyramid(
      plan,
      [&](int top, int count, std::uint8_t* out) {
        for (int y = top; y < top + count; ++y) {
          for (int x = 0; x < width; ++x) {
            std::uint8_t* p = out + ((y - top) * width + x) * 3;
            p[0] = static_cast<std::uint8_t>(10 * x + y);
            p[1] = static_cast<std::uint8_t>(255 - 10 * x - y);
            p[2] = 7;
          }
        }
      },
      [&](const TilePixels& tile) {
        collect(levels, tile, tile.column > 0 ? 1 : 0, tile.row > 0 ? 1 : 0, 2);
      });
  EXPECT_EQ(levels.conflicts, 0);
  ASSERT_EQ(levels.pixels.size(), 4u);
  EXPECT_EQ(levels.pixels[0].size(), 25u);
  EXPECT_EQ(levels.pixels[1].size(), 9u);   // 3 x 3
  EXPECT_EQ(levels.pixels[2].size(), 4u);   // 2 x 2
  EXPECT_EQ(levels.pixels[3].size(), 1u);
  EXPECT_EQ((levels.pixels[0][{4, 3}]), (std::vector<int>{43, 212, 7}));
  // Level 1: (0, 1, 10, 11) -> 22 / 4 = 5.5 -> 6; (245 + 244 + 255 + 254 +
  // 2) / 4 = 250.
  EXPECT_EQ((levels.pixels[1][{0, 0}]), (std::vector<int>{6, 250, 7}));
  // The lone column x = 4, rows 2, 3: (42 + 43 + 1) / 2 = 43.
  EXPECT_EQ((levels.pixels[1][{2, 1}]), (std::vector<int>{43, 213, 7}));
  // The lone corner pixel (4, 4).
  EXPECT_EQ((levels.pixels[1][{2, 2}]), (std::vector<int>{44, 211, 7}));
  // Level 2 from level 1's (2, 2) alone, and level 3 from the 2 x 2 of
  // level 2, all rounded half up at every step.
  EXPECT_EQ((levels.pixels[2][{1, 1}]), (std::vector<int>{44, 211, 7}));
  EXPECT_EQ(pyramid_tile_count(plan), 9 + 4 + 1 + 1);
}

TEST(IiifLevel0, TilesAreNamedByTheirRegionAndScaledSizeInCanonicalForm) {
  // 1200 x 700 in tiles of 512: scale factors 1, 2, 4 (300 x 175 fits one
  // tile), served whole ("max") up to 4096 pixels a side.
  const IiifLayout layout = iiif_layout(1200, 700, 512);
  EXPECT_EQ(layout.levels, 3);
  EXPECT_EQ(layout.max_level, 0);
  const struct {
    int level, column, row;
    std::vector<std::string> paths;
  } cases[] = {
      {0, 0, 0, {"0,0,512,512/512,512/0/default.jpg"}},
      {0, 2, 1, {"1024,512,176,188/176,188/0/default.jpg"}},
      {1, 1, 0, {"1024,0,176,700/88,350/0/default.jpg"}},
      {2, 0, 0, {"full/300,175/0/default.jpg", "0,0,1200,700/300,175/0/default.jpg"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(iiif_tile_paths(layout, c.level, c.column, c.row), c.paths) << c.level;
  }
  EXPECT_EQ(iiif_whole_picture_paths(layout),
            (std::vector<std::string>{"full/max/0/default.jpg", "full/1200,700/0/default.jpg"}));

  // A picture of one tile is the full picture at its full size.
  const IiifLayout small = iiif_layout(400, 300, 512);
  EXPECT_EQ(small.levels, 1);
  EXPECT_EQ(iiif_tile_paths(small, 0, 0, 0),
            (std::vector<std::string>{"full/max/0/default.jpg", "0,0,400,300/max/0/default.jpg",
                                      "full/400,300/0/default.jpg"}));

  // Larger than 4096 a side: "max" is the first level that fits, and
  // info.json says so.
  const IiifLayout large = iiif_layout(16000, 15000, 512);
  EXPECT_EQ(large.levels, 6);     // 500 x 469 at scale factor 32
  EXPECT_EQ(large.max_level, 2);  // 4000 x 3750
  const std::string info = iiif_info_json(large, "https://example.org/maps/stone/iiif");
  for (const char* field : {"\"id\": \"https://example.org/maps/stone/iiif\"",
                            "\"type\": \"ImageService3\"", "\"profile\": \"level0\"",
                            "\"maxWidth\": 4000", "\"maxHeight\": 3750",
                            "\"scaleFactors\": [1, 2, 4, 8, 16, 32]",
                            "\"sizes\": [{\"width\": 500, \"height\": 469}]"}) {
    EXPECT_NE(info.find(field), std::string::npos) << field << " in\n" << info;
  }
}

}  // namespace
