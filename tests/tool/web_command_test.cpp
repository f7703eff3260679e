// relumo-tool web: the folder's files and the tiles' bytes, the same site
// whatever the thread count, the single page, and replacing a folder (bad
// input is in bad_input_test.cpp). The page itself is driven in a browser
// by tests/web/browser_test.mjs.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imageio/png_image.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"

namespace {

ProgramRun run_web(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {RELUMO_TOOL_BINARY, "web"});
  return run_program(arguments);
}

// Every file under `folder` by its path relative to it, with its bytes.
std::map<std::string, std::string> folder_files(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    files[std::filesystem::relative(entry.path(), folder).string()] =
        read_file_bytes(entry.path().string());
  }
  return files;
}

// The PNG tile's pixels, top row first.
std::vector<int> tile_pixels(const std::string& path, int& width, int& height) {
  RgbImage* image = read_png_rgb(path.c_str());
  EXPECT_NE(image, nullptr) << path;
  if (image == nullptr) return {};
  width = image->width;
  height = image->height;
  std::vector<int> pixels;
  for (int r = height - 1; r >= 0; --r) {
    const std::uint8_t* row = image->pixels + static_cast<std::size_t>(r) * width * 3;
    pixels.insert(pixels.end(), row, row + width * 3);
  }
  free_rgb_image(image);
  return pixels;
}

TEST(WebCommand, AFolderHoldsThePageTheDescriptionsAndTilesOfTheStoredBytes) {
  ScratchDirectory scratch("web_folder");
  const int width = 300;
  const int height = 200;
  const PtmFixture fixture = random_ptm_fixture(2, 2, width, height, 11);
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(fixture));
  const ProgramRun run =
      run_web({map, "-o", scratch.file("site"), "--tile-size", "128", "--threads", "3"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const std::map<std::string, std::string> files = folder_files(scratch.file("site"));
  for (const char* name :
       {"index.html", "main.js", "shader.js", "style.css", "map.json", "coefficients_0.dzi",
        "coefficients_1.dzi", "color.dzi", "normals.dzi", "iiif/info.json",
        "iiif/full/max/0/default.jpg", "coefficients_1_files/9/1_1.png",
        "color_files/0/0_0.png", "normals_files/9/2_1.png"}) {
    EXPECT_EQ(files.count(name), 1u) << name;
  }
  // 300 x 200 in tiles of 128 at level 9: three columns, two rows; the
  // tile (1, 1) covers picture columns 127..256 and rows 127..199 with
  // its overlap. Picture row r is the map's row 199 - r, and the map's
  // row y is stored from pixel y * 300.
  int tile_width = 0;
  int tile_height = 0;
  const std::vector<int> high =
      tile_pixels(scratch.file("site/coefficients_1_files/9/1_1.png"), tile_width, tile_height);
  ASSERT_EQ(tile_width, 130);
  ASSERT_EQ(tile_height, 73);
  const std::vector<std::uint8_t>& stored = fixture.coefficients[0];
  int mismatches = 0;
  for (int r = 0; r < tile_height; ++r) {
    for (int x = 0; x < tile_width; ++x) {
      const std::size_t pixel = static_cast<std::size_t>(height - 1 - (127 + r)) * width + 127 + x;
      for (int j = 0; j < 3; ++j) {
        mismatches += high[(r * tile_width + x) * 3 + j] != stored[pixel * 6 + 3 + j] ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Level 8 halves the colour: its first pixel is the rounded mean of
  // picture pixels (0, 0), (1, 0), (0, 1), (1, 1), the map's top two rows.
  const std::vector<int> colour =
      tile_pixels(scratch.file("site/color_files/8/0_0.png"), tile_width, tile_height);
  ASSERT_EQ(tile_width, 129);
  const std::size_t top = static_cast<std::size_t>(height - 1) * width;
  const std::size_t below = top - width;
  for (int j = 0; j < 3; ++j) {
    const int sum = fixture.colour[top * 3 + j] + fixture.colour[(top + 1) * 3 + j] +
                    fixture.colour[below * 3 + j] + fixture.colour[(below + 1) * 3 + j];
    EXPECT_EQ(colour[j], (sum + 2) / 4) << j;
  }

  // The same site, byte for byte, on one thread; JPEG tiles when asked.
  ASSERT_EQ(run_web({map, "-o", scratch.file("site1"), "--tile-size", "128", "--threads", "1"})
                .exit_status,
            0);
  EXPECT_TRUE(folder_files(scratch.file("site1")) == files);
  ASSERT_EQ(run_web({map, "-o", scratch.file("lossy"), "--tiles", "jpeg", "--quality", "80"})
                .exit_status,
            0);
  EXPECT_TRUE(std::filesystem::exists(scratch.file("lossy/normals_files/9/0_0.jpg")));
  EXPECT_NE(read_file_bytes(scratch.file("lossy/map.json")).find("\"tile_format\": \"jpg\""),
            std::string::npos);
}

TEST(WebCommand, ASinglePageCarriesTheMapAndLoadsNoModuleNorFile) {
  ScratchDirectory scratch("web_page");
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(random_ptm_fixture(0, 2, 40, 30, 5)));
  ASSERT_EQ(run_web({map, "-o", scratch.file("page.html")}).exit_status, 0);
  const std::string page = read_file_bytes(scratch.file("page.html"));
  EXPECT_EQ(page.find("type=\"module\""), std::string::npos);
  // Whatever the page links to is in it.
  for (const std::string attribute : {" src=\"", " href=\""}) {
    for (std::size_t at = page.find(attribute); at != std::string::npos;
         at = page.find(attribute, at + 1)) {
      EXPECT_EQ(page.compare(at + attribute.size(), 5, "data:"), 0) << page.substr(at, 40);
    }
  }
  EXPECT_EQ(page.find("import "), std::string::npos);
  EXPECT_NE(page.find("<script type=\"application/json\" id=\"relumo-embedded\">{\"map\": {"),
            std::string::npos);
  EXPECT_NE(page.find("\"blue_1/6/0_0\": \"iVBORw0KGgo"), std::string::npos);  // a PNG
  EXPECT_EQ(file_names_in(scratch.path), (std::set<std::string>{"map.ptm", "page.html"}));
}

TEST(WebCommand, AFolderIsReplacedOnlyWhenForcedAndThenWhole) {
  ScratchDirectory scratch("web_force");
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(random_ptm_fixture(2, 2, 20, 10, 3)));
  std::filesystem::create_directory(scratch.file("site"));
  write_file_bytes(scratch.file("site/notes.txt"), "keep me");
  const ProgramRun refused = run_web({map, "-o", scratch.file("site")});
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_NE(refused.err.find("not empty"), std::string::npos) << refused.err;
  EXPECT_EQ(file_names_in(scratch.file("site")), (std::set<std::string>{"notes.txt"}));

  // A folder that holds the map is never replaced.
  write_file_bytes(scratch.file("site/inside.ptm"), read_file_bytes(map));
  const ProgramRun holding = run_web({scratch.file("site/inside.ptm"), "-o", scratch.file("site"),
                                      "--force"});
  EXPECT_EQ(holding.exit_status, 2);
  EXPECT_NE(holding.err.find("holds the map"), std::string::npos) << holding.err;
  std::filesystem::remove(scratch.file("site/inside.ptm"));

  ASSERT_EQ(run_web({map, "-o", scratch.file("site/"), "--force"}).exit_status, 0);
  EXPECT_FALSE(std::filesystem::exists(scratch.file("site/notes.txt")));
  EXPECT_TRUE(std::filesystem::exists(scratch.file("site/index.html")));
  // An empty folder is filled without --force.
  std::filesystem::create_directory(scratch.file("empty"));
  ASSERT_EQ(run_web({map, "-o", scratch.file("empty")}).exit_status, 0);
  EXPECT_TRUE(std::filesystem::exists(scratch.file("empty/map.json")));
  EXPECT_EQ(file_names_in(scratch.path), (std::set<std::string>{"map.ptm", "site", "empty"}));
}

}  // namespace
