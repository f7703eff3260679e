#include "render/relit_figure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imageio/png_image.h"
#include "ptm/reader.h"
#include "render/scale_bar.h"
#include "support/files.h"
#include "support/ptm_fixture.h"

namespace {

// The figure goes to its file a band of rows at a time with the bar laid
// over the bands it crosses; the picture must be the one made whole with
// the bar drawn on it. The sizes put the plate across band boundaries (a
// wide map has bands of a few rows), past the picture's edges (a picture
// smaller than the plate) and on a resampled picture.
TEST(RelitFigure, TheBandedFigureIsTheWholePictureWithItsScaleBar) {
  ScratchDirectory scratch{"relit-figure"};
  struct Case {
    int map_width, map_height;
    int width, height;  // 0: the map's own
    double pixels_per_mm;
    RelitMode mode;
  };
  const Case cases[] = {
      {40, 30, 0, 0, 2.0, RelitMode::plain},
      {3000, 60, 0, 0, 37.5, RelitMode::plain},
      {10, 8, 0, 0, 1.0, RelitMode::plain},
      {50, 40, 120, 90, 3.3, RelitMode::specular},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.map_width) + " x " + std::to_string(c.map_height));
    const std::string map_path = scratch.file("map.ptm");
    write_file_bytes(map_path,
                     ptm_fixture_bytes(random_ptm_fixture(2, 2, c.map_width, c.map_height, 31)));
    Ptm* map = read_ptm_file(map_path.c_str());
    ASSERT_NE(map, nullptr);
    RelitSettings settings = default_relit_settings();
    settings.lights = {{0.3f, -0.2f, 1.0f}};
    settings.mode = c.mode;
    settings.width = c.width;
    settings.height = c.height;
    settings.threads = 3;
    FigureExtras extras;
    extras.pixels_per_mm = c.pixels_per_mm;
    extras.scale_bar = true;
    const std::string out = scratch.file("figure.png");
    ASSERT_TRUE(write_relit_figure(*map, settings, PictureFormat::png, out.c_str(), extras));

    RgbImage* expected = render_relit_picture(*map, settings);
    ASSERT_NE(expected, nullptr);
    ASSERT_TRUE(draw_scale_bar(*expected, c.pixels_per_mm));
    RgbImage* written = read_png_rgb(out.c_str());
    ASSERT_NE(written, nullptr);
    ASSERT_EQ(written->width, expected->width);
    ASSERT_EQ(written->height, expected->height);
    const std::size_t bytes = static_cast<std::size_t>(expected->width) * expected->height * 3;
    EXPECT_EQ(std::memcmp(written->pixels, expected->pixels, bytes), 0);
    free_rgb_image(written);
    free_rgb_image(expected);
    free_ptm(map);
  }
}

}  // namespace
