#include "app/core/region.h"

#include <gtest/gtest.h>

#include <array>
#include <span>

#include "app/core/viewer_state.h"
#include "ptm/coefficients.h"
#include "render/diffuse_gain.h"

namespace {

// A 200 x 100 view of a 400 x 200 map: at zoom 1 the view shows half the
// map's width and height (rx = ry = 0.5). The map fits the window at 0.5.
class ViewerFixture : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = viewer;
    viewer = ViewerState{};
    map_.width = 400;
    map_.height = 200;
    viewer.current_ptm = &map_;
    viewer.view_image = new_rgb_image(200, 100);
    viewer.region_image = new_rgb_image(200, 100);
    viewer.fit_zoom = 0.5f;
  }
  void TearDown() override {
    free_rgb_image(viewer.view_image);
    free_rgb_image(viewer.region_image);
    viewer = saved_;
  }
  void select(int x0, int y0, int x1, int y1) {
    viewer.sel_x0 = x0;
    viewer.sel_y0 = y0;
    viewer.sel_x1 = x1;
    viewer.sel_y1 = y1;
  }
  void expect_region(int x0, int y0, int x1, int y1) {
    EXPECT_EQ(viewer.sel_x0, x0);
    EXPECT_EQ(viewer.sel_y0, y0);
    EXPECT_EQ(viewer.sel_x1, x1);
    EXPECT_EQ(viewer.sel_y1, y1);
    EXPECT_EQ(viewer.region_image->width, x1 - x0 + 1);
    EXPECT_EQ(viewer.region_image->height, y1 - y0 + 1);
    EXPECT_EQ(viewer.region_x, x0);
    EXPECT_EQ(viewer.region_y, y0);
  }

  ViewerState saved_;
  Ptm map_{};
};

using RegionTest = ViewerFixture;
using PendingZoomTest = ViewerFixture;
using ZoomKeysTest = ViewerFixture;

TEST_F(RegionTest, ClampForcesCornersIntoTheViewAndResetReturnsToTheWholeView) {
  select(-5, 10, 250, 120);
  clamp_region();
  expect_region(0, 10, 199, 99);
  reset_region();
  expect_region(0, 0, 199, 99);
}

// After a reshape the probe goes where its map position now shows, inside
// the view and, zoomed, off the black margin: view pixel x shows map
// column x / zoom + 400 pan_u, which the zoom resamples only strictly
// between 0 and 398 (and rows between 0 and 198).
TEST_F(RegionTest, ThePlacedProbeStaysOnTheMapInsideTheView) {
  const struct {
    int zoomed;
    float zoom, pan_u, pan_v;
    int view_width, view_height;
    MapPoint at;
    int x, y;
  } cases[] = {
      {0, 1, 0, 0, 200, 100, {150, 80}, 150, 80},
      {0, 1, 0, 0, 100, 50, {150, 80}, 99, 49},  // the view shrank under it
      // Zoom 1/4 with the map centred across the view: x shows 4x - 200,
      // so columns 51 .. 149 show the map, rows 1 .. 49.
      {1, 0.25f, -0.5f, 0, 200, 100, {100, 40}, 75, 10},
      {1, 0.25f, -0.5f, 0, 200, 100, {0, 0}, 51, 1},
      {1, 0.25f, -0.5f, 0, 200, 100, {399, 199}, 149, 49},
  };
  for (const auto& c : cases) {
    viewer.zoomed = c.zoomed;
    viewer.zoom_factor = c.zoom;
    viewer.pan_u = c.pan_u;
    viewer.pan_v = c.pan_v;
    viewer.view_image->width = c.view_width;
    viewer.view_image->height = c.view_height;
    place_probe(c.at);
    EXPECT_EQ(viewer.probe_x, c.x) << c.at.x << ", " << c.at.y;
    EXPECT_EQ(viewer.probe_y, c.y) << c.at.x << ", " << c.at.y;
    if (c.x == 75) {
      // And back: the probe shows the map position asked for.
      EXPECT_EQ(probe_map_position().x, 100.0f);
      EXPECT_EQ(probe_map_position().y, 40.0f);
    }
  }
}

TEST_F(RegionTest, SelectionLineRewritesItselfInPlace) {
  select(30, 40, 10, 20);
  testing::internal::CaptureStdout();
  print_selection();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\rSelected size: 21 x 21 at 10 20           ");
  select(5, 7, 5, 7);  // a click without a drag
  testing::internal::CaptureStdout();
  print_selection();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\rSelected size: 1 x 1 at 5 7           ");
}

TEST_F(PendingZoomTest, TheRelativelyLargerSideOfTheRegionFillsTheView) {
  // Wide: u 0.125 .. 0.3725, v 0.125 .. 0.37; zoom 0.5 / 0.2475, centred.
  compute_pending_zoom(50, 25, 149, 74);
  ASSERT_EQ(viewer.zoom_pending, 1);
  EXPECT_NEAR(viewer.pending_zoom, 2.020202f, 1e-5);
  EXPECT_NEAR(viewer.pending_pan_u, 0.125f, 1e-6);    // 0.24875 - 0.12375
  EXPECT_NEAR(viewer.pending_pan_v, 0.12375f, 1e-6);  // 0.2475 - 0.12375
  EXPECT_EQ(viewer.zoom_factor, 1.0f);

  // Tall, seen through zoom 2 and pan (0.1, 0.2): u 0.1 .. 0.11125,
  // v 0.2 .. 0.3975; zoom 0.5 / 0.1975 = 2.531646.
  viewer.zoom_factor = 2;
  viewer.pan_u = 0.1f;
  viewer.pan_v = 0.2f;
  compute_pending_zoom(0, 0, 9, 79);
  EXPECT_NEAR(viewer.pending_zoom, 2.531646f, 1e-5);
  EXPECT_NEAR(viewer.pending_pan_u, 0.105625f - 0.098750f, 1e-6);
  EXPECT_NEAR(viewer.pending_pan_v, 0.29875f - 0.098750f, 1e-6);
}

TEST_F(PendingZoomTest, AOnePixelRegionLeavesNoZoomPendingAndPlusStillDoubles) {
  viewer.zoom_pending = 1;  // from an earlier region
  viewer.pending_zoom = 3;
  compute_pending_zoom(10, 10, 10, 10);
  EXPECT_EQ(viewer.zoom_pending, 0);
  EXPECT_TRUE(zoom_in());
  EXPECT_EQ(viewer.zoom_factor, 2.0f);

  compute_pending_zoom(10, 10, 20, 10);  // one row still has a width
  EXPECT_EQ(viewer.zoom_pending, 1);
  EXPECT_NEAR(viewer.pending_zoom, 40.0f, 1e-3);  // 0.5 / (10 / 400 / 2)
}

TEST_F(ZoomKeysTest, PlusDoublesAboutTheCentreOrTakesThePendingRegionZoom) {
  EXPECT_TRUE(zoom_in());
  EXPECT_EQ(viewer.zoomed, 1);
  EXPECT_EQ(viewer.zoom_factor, 2.0f);
  EXPECT_EQ(viewer.pan_u, 0.125f);  // centre 0.25 stays 0.125 + 0.5 * 0.5 / 2
  EXPECT_EQ(viewer.pan_v, 0.125f);

  select(10, 20, 49, 59);
  clamp_region();
  viewer.zoom_pending = 1;
  viewer.pending_zoom = 5;
  viewer.pending_pan_u = 0.3f;
  viewer.pending_pan_v = 0.4f;
  EXPECT_TRUE(zoom_in());
  EXPECT_EQ(viewer.zoom_pending, 0);
  EXPECT_EQ(viewer.zoom_factor, 5.0f);
  EXPECT_EQ(viewer.pan_u, 0.3f);
  EXPECT_EQ(viewer.pan_v, 0.4f);
  expect_region(0, 0, 199, 99);
}

TEST_F(ZoomKeysTest, MinusHalvesAboutTheCentreThenStopsAtTheFitZoomCentred) {
  select(10, 20, 49, 59);
  clamp_region();
  viewer.zoom_pending = 1;
  viewer.zoomed = 1;
  viewer.zoom_factor = 4;
  viewer.pan_u = 0.1f;
  viewer.pan_v = 0.2f;
  EXPECT_TRUE(zoom_out());
  EXPECT_EQ(viewer.zoom_pending, 0);
  expect_region(0, 0, 199, 99);
  EXPECT_EQ(viewer.zoom_factor, 2.0f);
  EXPECT_NEAR(viewer.pan_u, 0.0375f, 1e-7);  // 0.1 - 0.25 * 0.5 / 2
  EXPECT_NEAR(viewer.pan_v, 0.1375f, 1e-7);

  viewer.fit_zoom = 0.6f;
  viewer.zoom_factor = 1;
  EXPECT_TRUE(zoom_out());
  EXPECT_EQ(viewer.zoom_factor, 0.6f);
  EXPECT_EQ(viewer.zoomed, 1);
  EXPECT_NEAR(viewer.pan_u, 0.5f - 0.25f / 0.6f, 1e-6);
}

TEST_F(ZoomKeysTest, MinusOnAMapThatFitsReturnsToTheUnzoomedView) {
  viewer.zoomed = 1;
  viewer.fit_zoom = 1.0f;
  viewer.zoom_factor = 2;
  viewer.pan_u = 0.3f;
  EXPECT_FALSE(zoom_out());
  EXPECT_EQ(viewer.zoomed, 0);
  EXPECT_EQ(viewer.zoom_factor, 1.0f);
  EXPECT_EQ(viewer.pan_u, 0.0f);
}

TEST_F(ZoomKeysTest, ArrowsPanAQuarterViewOnlyWhileZoomedAndDropAPendingZoom) {
  EXPECT_FALSE(pan_view(PanDirection::left));
  EXPECT_EQ(viewer.pan_u, 0.0f);

  viewer.zoomed = 1;
  viewer.zoom_factor = 2;
  EXPECT_TRUE(pan_view(PanDirection::left));
  EXPECT_TRUE(pan_view(PanDirection::up));
  EXPECT_EQ(viewer.pan_u, -0.125f);
  EXPECT_EQ(viewer.pan_v, 0.125f);
  pan_view(PanDirection::down);
  pan_view(PanDirection::down);
  pan_view(PanDirection::right);
  EXPECT_EQ(viewer.pan_u, 0.0f);
  EXPECT_EQ(viewer.pan_v, -0.125f);

  select(10, 20, 49, 59);
  clamp_region();
  viewer.zoom_pending = 1;
  pan_view(PanDirection::right);
  EXPECT_EQ(viewer.zoom_pending, 0);
  expect_region(0, 0, 199, 99);
}

TEST(ReflectanceMouse, OnlyPositionsStrictlyInsideTheSquareSteerTheLight) {
  float u = 9;
  float v = 9;
  EXPECT_TRUE(reflectance_position_to_light(125, 125, 1, u, v));
  EXPECT_EQ(u, 0.0f);
  EXPECT_EQ(v, 0.0f);
  EXPECT_TRUE(reflectance_position_to_light(1, 249, 2, u, v));  // y grows downward
  EXPECT_NEAR(u, -1.984f, 1e-6);
  EXPECT_NEAR(v, -1.984f, 1e-6);

  EXPECT_FALSE(reflectance_position_to_light(0, 125, 1, u, v));    // u = -1
  EXPECT_FALSE(reflectance_position_to_light(250, 125, 1, u, v));  // u = 1
  EXPECT_FALSE(reflectance_position_to_light(125, 0, 2, u, v));    // v = 1
  EXPECT_NEAR(u, -1.984f, 1e-6);
}

TEST(DiscardColor, LrgbGetsTheMeanConstantTermAndMidGreyInBothRepresentations) {
  Ptm* packed = create_ptm(2, 2, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  const std::int16_t small[4] = {10, 20, 31, -100};
  for (int p = 0; p < 4; ++p) packed->packed_lrgb[p] = {{1, 2, 3, 4, 5, small[p]}, 200, 10, 60, 0};
  float constant_term = 0;
  EXPECT_TRUE(discard_color(*packed, constant_term));
  EXPECT_EQ(constant_term, -9 * 256);
  for (const PackedLrgbTexel& t : std::span(packed->packed_lrgb, 4)) {
    EXPECT_EQ(t.coef[5], -9);  // -39 / 4 truncated toward zero
    EXPECT_EQ(t.coef[4], 5);
    EXPECT_EQ((std::array{t.red, t.green, t.blue}), (std::array<std::uint8_t, 3>{127, 127, 127}));
  }
  free_ptm(packed);

  Ptm* wide = create_ptm(2, 2, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  const std::int32_t large[4] = {2000000000, 2000000000, 2000000000, 1};  // sum beyond 32 bits
  for (int p = 0; p < 4; ++p) {
    for (int k = 0; k < 6; ++k) wide->lum_coef_int[p * 6 + k] = k == 5 ? large[p] : 7;
    for (auto* plane : wide->color_planes) plane[p] = 3;
  }
  EXPECT_TRUE(discard_color(*wide, constant_term));
  EXPECT_EQ(constant_term, 1500000000 / 64.0f);
  for (int p = 0; p < 4; ++p) {
    EXPECT_EQ(wide->lum_coef_int[p * 6 + 5], 1500000000);
    EXPECT_EQ(wide->lum_coef_int[p * 6], 7);
    for (auto* plane : wide->color_planes) EXPECT_EQ(plane[p], 127);
  }
  free_ptm(wide);
}

TEST(DiscardColor, OtherFormatsReportAndStayUnchanged) {
  for (const int format : {PTM_FORMAT_RGB, PTM_FORMAT_LUM}) {
    Ptm* ptm = create_ptm(1, 1, format, CoefRepresentation::wide);
    std::int32_t* a = format == PTM_FORMAT_RGB ? ptm->coef_int[0] : ptm->lum_coef_int;
    a[5] = 42;
    testing::internal::CaptureStdout();
    float constant_term = 0;
    EXPECT_FALSE(discard_color(*ptm, constant_term));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Discard color info command not implemented for this format of PTM\n");
    EXPECT_EQ(a[5], 42);
    free_ptm(ptm);
  }
}

// After 'd' the stored bytes stay as they were read, and the diffuse-gain
// transform, which works from them, takes the mean constant term in place
// of the stored a5, so it is grey with that term. With no normals (taken as
// facing the viewer, nu = nv = 0) the rewrite keeps a5 and only scales
// a0..a2, so the transform's a5 is the mean itself: stored a5 bytes 10, 20,
// 31, 200 at scale 1 and bias 0 have the mean 261 / 4 = 65.25, 65 in
// display units (packed) and 65.25 x 16384 = 1069056 in the wide form.
TEST(DiscardColor, TheDiffuseGainTransformOfTheDiscardedMapIsGreyWithTheMeanConstantTerm) {
  const std::uint8_t a5[4] = {10, 20, 31, 200};
  for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* map = create_ptm(2, 2, PTM_FORMAT_LRGB, representation);
    for (int k = 0; k < 6; ++k) {
      map->scale_bias[k] = 256;
      map->scale_bias[6 + k] = 0;
    }
    for (int p = 0; p < 4; ++p) {
      const std::uint8_t six[6] = {1, 2, 3, 4, 5, a5[p]};
      store_stored_bytes(map->coef_planes[0], map->coef_planes[1], p, six);
      const std::uint8_t rgb[3] = {200, 10, 60};
      set_lrgb_color(*map, p, rgb);
    }
    convert_all_coefficients(*map);
    float constant_term = 0;
    ASSERT_TRUE(discard_color(*map, constant_term));
    for (int p = 0; p < 4; ++p) {
      EXPECT_EQ(map->coef_planes[1][p * 3 + 2], a5[p]) << "stored a5 byte of pixel " << p;
    }
    EXPECT_EQ(map->scale_bias[5], 256);
    EXPECT_EQ(map->scale_bias[11], 0);
    Ptm* gained = create_derived_ptm(*map);
    diffuse_gain_transform(*map, *gained, 2.0f, &constant_term);
    for (std::size_t p = 0; p < 4; ++p) {
      std::uint8_t rgb[3];
      get_lrgb_color(*gained, p, rgb);
      EXPECT_EQ((std::array{rgb[0], rgb[1], rgb[2]}), (std::array<std::uint8_t, 3>{127, 127, 127}));
      if (representation == CoefRepresentation::packed) {
        EXPECT_EQ(gained->packed_lrgb[p].coef[5], 65) << p;
        EXPECT_EQ(gained->packed_lrgb[p].coef[0], 2) << p;  // 2 x 1
      } else {
        EXPECT_EQ(gained->lum_coef_int[p * 6 + 5], 1069056) << p;
        EXPECT_EQ(gained->lum_coef_int[p * 6], 2 * 16) << p;
      }
    }
    free_derived_ptm(gained);
    free_ptm(map);
  }
}

}  // namespace
