// Bright spots on a sphere's disc: the clipped highlight's centre to a
// fraction of a pixel whatever the exposure, a dimmer second spot found
// and ranked after it, nothing found on a dark disc, and nothing outside
// the disc however white.
#include "analysis/highlight_spots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/srgb_curve.h"

namespace {

struct Spot {
  double x, y;
  double radius;     // of the source's image, pixels
  double intensity;  // linear, before clipping at 1
};

// A 120 x 120 crop at (40, 30) of a photograph: a dark glaze lit a little
// from the left, the spots (area-sampled 8 x 8 per pixel, each with a
// Gaussian halo of 2 pixels), white beyond the circle (100, 90, 50), the
// light scaled by `exposure`, clipped, sRGB-encoded, noise of about a
// level.
GreyPicture disc_picture(const std::vector<Spot>& spots, double exposure) {
  GreyPicture p;
  p.left = 40, p.top = 30, p.width = 120, p.height = 120;
  std::uint32_t noise = 7;
  for (int j = 0; j < p.height; ++j) {
    for (int i = 0; i < p.width; ++i) {
      const double cx = p.left + i + 0.5, cy = p.top + j + 0.5;
      double light = 0.004 + 0.006 * (100 - cx) / 50;
      if (std::hypot(cx - 100, cy - 90) > 50) light = 0.9;
      for (const Spot& s : spots) {
        int inside = 0;
        for (int v = 0; v < 8; ++v) {
          for (int u = 0; u < 8; ++u) {
            inside += std::hypot(p.left + i + (u + 0.5) / 8 - s.x,
                                 p.top + j + (v + 0.5) / 8 - s.y) < s.radius;
          }
        }
        const double d = std::hypot(cx - s.x, cy - s.y) - s.radius;
        light += s.intensity * inside / 64.0 + 0.3 * s.intensity * std::exp(-d * d / 8) * (d > 0);
      }
      noise = noise * 1664525u + 1013904223u;
      const double encoded = linear_to_srgb(std::min(1.0, light * exposure)) +
                             ((noise >> 24) / 255.0 - 0.5) * 2.0 / 255;
      p.samples.push_back(static_cast<float>(std::clamp(encoded, 0.0, 1.0)));
    }
  }
  return p;
}

}  // namespace

TEST(HighlightSpots, FindsTheClippedHighlightsCentreAndRanksTheOthersAfterIt) {
  const Circle circle{100, 90, 50};
  const Spot flash{112.37, 81.71, 3.3, 6.0};  // clipped with room to spare
  const Spot lamp{82.6, 104.2, 2.0, 0.25};    // unclipped, dimmer
  struct Case {
    const char* name;
    std::vector<Spot> spots;
    double exposure;
    std::size_t found;
    double within;  // pixels
  };
  const Case cases[] = {
      {"flash", {flash}, 1.0, 1, 0.05},
      {"flash, darker exposure", {flash}, 0.5, 1, 0.05},
      {"flash and lamp", {flash, lamp}, 1.0, 2, 0.05},
      // Unclipped and dim, its brightness-weighted centre leans a little
      // toward the glaze's lit side.
      {"lamp alone", {lamp}, 1.0, 1, 0.1},
      {"dark glaze", {}, 1.0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DiscSpots result = find_disc_spots(disc_picture(c.spots, c.exposure), circle);
    // The background is the glaze's level, not the white beyond the rim.
    EXPECT_LT(result.background, 0.2);
    ASSERT_EQ(result.spots.size(), c.found);
    if (c.found == 0) continue;
    const Spot& strongest = c.spots[0];
    EXPECT_NEAR(result.spots[0].x, strongest.x, c.within);
    EXPECT_NEAR(result.spots[0].y, strongest.y, c.within);
    if (c.found == 2) {
      EXPECT_GT(result.spots[0].strength, 4 * result.spots[1].strength);
      EXPECT_NEAR(result.spots[1].x, lamp.x, 0.1);
      EXPECT_NEAR(result.spots[1].y, lamp.y, 0.1);
    }
  }
}
