#include "ptm/compressed_decoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PlaneArithmetic, InversionAndResidualAdditionWrapModulo256) {
  const Bytes source = {0, 1, 127, 128, 254, 255};
  Bytes inverted(source.size());
  invert_plane(source.data(), inverted.data(), source.size());
  EXPECT_EQ(inverted, (Bytes{255, 254, 128, 127, 1, 0}));

  const struct {
    int residual, prediction, expected;
  } cases[] = {
      {128, 0, 0},   {128, 200, 200}, {129, 255, 0},  // 129 + 255 - 128 = 256 -> 0
      {0, 0, 128},                                    // -128 -> 128
      {0, 100, 228}, {255, 255, 126}, {127, 0, 255},  // -1 -> 255
  };
  for (const auto& c : cases) {
    const std::uint8_t residual = static_cast<std::uint8_t>(c.residual);
    const std::uint8_t prediction = static_cast<std::uint8_t>(c.prediction);
    std::uint8_t out = 0;
    add_residual(&residual, &prediction, &out, 1);
    EXPECT_EQ(out, c.expected) << c.residual << " + " << c.prediction;
  }
}

// A 4 x 3 plane, row 0 first: S[y][x] = 40 y + 10 x.
const Bytes ramp = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110};

TEST(MotionCompensation, WholeAndHalfPixelShiftsClampAtTheEdges) {
  const struct {
    const char* name;
    int width, height;
    Bytes source;
    int mv_x, mv_y;
    Bytes expected;
  } cases[] = {
      // Each pixel takes its right neighbour; the last column repeats.
      {"(2, 0)", 4, 3, ramp, 2, 0, {10, 20, 30, 30, 50, 60, 70, 70, 90, 100, 110, 110}},
      // Mean of source pixels x - 2 and x - 1, clamped to the left edge.
      {"(-3, 0)", 4, 3, ramp, -3, 0, {0, 0, 5, 15, 40, 40, 45, 55, 80, 80, 85, 95}},
      // Mean with the next row; the last row is its own neighbour.
      {"(0, 1)", 4, 3, ramp, 0, 1, {20, 30, 40, 50, 60, 70, 80, 90, 80, 90, 100, 110}},
      // Horizontal half step first, then the vertical one toward row y - 1.
      {"(1, -1)", 4, 3, ramp, 1, -1, {5, 15, 25, 30, 25, 35, 45, 50, 65, 75, 85, 90}},
      // Two rows down, clamped to row 0.
      {"(0, -4)", 4, 3, ramp, 0, -4, {0, 10, 20, 30, 0, 10, 20, 30, 0, 10, 20, 30}},
      // Far outside the plane: every pixel is the clamped corner.
      {"(-2000000000, 2000000001)", 2, 2, {1, 2, 3, 4}, -2000000000, 2000000001, {3, 3, 3, 3}},
      // The halved sum is truncated: (1 + 4) / 2 = 2.
      {"(1, 0) truncates", 2, 1, {1, 4}, 1, 0, {2, 4}},
  };
  for (const auto& c : cases) {
    Bytes out(c.source.size(), 0xEE);
    Bytes temporary(c.source.size());
    motion_compensate(c.source.data(), out.data(), temporary.data(), c.width, c.height, c.mv_x,
                      c.mv_y);
    EXPECT_EQ(out, c.expected) << c.name;
  }
}

}  // namespace
