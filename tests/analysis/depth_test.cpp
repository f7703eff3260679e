// Depth from normals: analytic surfaces under the perspective camera, the
// growth order against the growth rule written out here, the mask, the
// failures of a camera that cannot see the surface, the smoothing and the
// grey picture.
#include "analysis/depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "analysis/depth_image.h"
#include "common/checked_alloc.h"
#include "support/files.h"

using namespace std::string_literals;

namespace {

constexpr float unknown = -3.4028235e38f;

struct DepthMap {
  std::vector<float> values;
  bool reconstructed = false;
};

// reconstruct_depth's answer as a vector (and whether there was one).
DepthMap reconstruct(const std::vector<std::int8_t>& normals, const std::uint8_t* mask, int width,
                     int height, const CameraParameters& camera) {
  float* depth = reconstruct_depth(normals.data(), mask, width, height, camera);
  DepthMap map;
  if (depth == nullptr) return map;
  map.values.assign(depth, depth + static_cast<std::size_t>(width) * height);
  map.reconstructed = true;
  checked_free(depth);
  return map;
}

std::int8_t normal_byte(double component) {
  return static_cast<std::int8_t>(std::lround(127.0 * component));
}

// The gradient of stored normal bytes: n / nz with n = byte / 127, or n /
// (1 - nz) for a surface seen at a grazing angle (|nz| < 0.5).
double gradient_of(int n, int nz) {
  const double z = nz / 127.0;
  return (n / 127.0) / (std::fabs(z) < 0.5 ? 1.0 - z : z);
}

// A plane z = gx X + gy Y + z0 seen through image-plane point (px, py) lies
// at z0 f / (f - gx px - gy py); with the centre at the initial distance,
// every pixel's normalised depth follows from its position.
TEST(DepthReconstruction, ATiltedPlaneLiesWherePerspectiveProjectionPutsIt) {
  struct Case {
    int width, height;
    int nx, ny, nz;  // stored normal bytes, the same everywhere
    CameraParameters camera;
  };
  const Case cases[] = {
      {33, 33, 20, -10, 120, {40.0f, 16.0f, 16.0f, 10.0f, 100.0f}},
      {32, 32, -35, 25, 110, {25.0f, 20.0f, 12.0f, 2.5f, 60.0f}},
      // Steep: nz below 0.5 takes the other gradient rule.
      {21, 21, 90, 30, 50, {80.0f, 10.0f, 10.0f, 4.0f, 200.0f}},
      {2, 2, 30, 30, 100, {10.0f, 2.0f, 2.0f, 1.0f, 50.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + ", normal (" +
                 std::to_string(c.nx) + ", " + std::to_string(c.ny) + ", " + std::to_string(c.nz) +
                 ")");
    std::vector<std::int8_t> normals;
    for (int i = 0; i < c.width * c.height; ++i) {
      normals.insert(normals.end(), {static_cast<std::int8_t>(c.nx), static_cast<std::int8_t>(c.ny),
                                     static_cast<std::int8_t>(c.nz)});
    }
    const DepthMap depth = reconstruct(normals, nullptr, c.width, c.height, c.camera);
    ASSERT_TRUE(depth.reconstructed);
    const double gx = gradient_of(c.nx, c.nz);
    const double gy = gradient_of(c.ny, c.nz);
    const double f = c.camera.focal_length;
    const double sx = static_cast<double>(c.camera.image_width) / c.width;
    const double sy = static_cast<double>(c.camera.image_height) / c.height;
    double largest_change = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const double px = (x - c.width / 2) * sx;
        const double py = (y - c.height / 2) * sy;
        const double z = c.camera.initial_distance * f / (f - gx * px - gy * py);
        const double expected = (z - c.camera.initial_distance) / c.camera.estimated_depth;
        largest_change = std::max(largest_change, std::fabs(expected));
        EXPECT_NEAR(depth.values[y * c.width + x], expected, 2e-4 + 2e-5 * std::fabs(expected))
            << "pixel (" << x << ", " << y << ")";
      }
    }
    EXPECT_GT(largest_change, 0.05) << "the plane should not face the camera";
  }
}

// A sphere seen from outside: the near cap of centre (0, 0, 100) and
// radius 70 under a wide camera (f = 20, image plane 20 x 20), each
// pixel's normal that of the point its ray meets, rounded to bytes. The
// growth integrates each pixel's tangent plane one pixel at a time, so it
// follows the sphere up to an error that halves when the pixels do.
TEST(DepthReconstruction, ASphereCapIsRecoveredFromItsNormals) {
  const double f = 20, plane = 20, centre_z = 100, radius = 70;
  auto depth_along_ray = [&](double px, double py) {
    // |(px z / f, py z / f, z - centre_z)| = radius, the nearer root.
    const double q = (px * px + py * py) / (f * f);
    return (centre_z -
            std::sqrt(centre_z * centre_z - (1 + q) * (centre_z * centre_z - radius * radius))) /
           (1 + q);
  };
  const double near = depth_along_ray(0, 0);
  // The largest difference from the sphere at a map of side x side pixels.
  auto worst_difference = [&](int side) {
    const double pitch = plane / side;
    std::vector<std::int8_t> normals;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const double px = (x - side / 2) * pitch;
        const double py = (y - side / 2) * pitch;
        const double z = depth_along_ray(px, py);
        // The normal facing the camera: x right, y up, z toward the viewer.
        normals.insert(normals.end(),
                       {normal_byte(px * z / f / radius), normal_byte(py * z / f / radius),
                        normal_byte((centre_z - z) / radius)});
      }
    }
    const CameraParameters camera{static_cast<float>(f), static_cast<float>(plane),
                                  static_cast<float>(plane), 1.0f, static_cast<float>(near)};
    const DepthMap depth = reconstruct(normals, nullptr, side, side, camera);
    EXPECT_TRUE(depth.reconstructed);
    if (!depth.reconstructed) return 1e9;
    double worst = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const double expected =
            depth_along_ray((x - side / 2) * pitch, (y - side / 2) * pitch) - near;
        worst = std::max(worst, std::fabs(depth.values[y * side + x] - expected));
      }
    }
    return worst;
  };
  // The corners lie 4.3 deeper than the centre; without the perspective
  // denominator the growth would miss them by about half a unit.
  EXPECT_GT(depth_along_ray(-10, -10) - near, 4.0);
  const double coarse = worst_difference(81);
  const double fine = worst_difference(161);
  EXPECT_LT(fine, 0.1) << "largest difference from the sphere";
  EXPECT_LT(fine, 0.6 * coarse) << "the difference should halve with the pixel size";
}

// The growth rule, step by step as the command defines it: rings of odd
// side from the centre (right side up, top leftward, left side down,
// bottom rightward), then column 0 and row 0 for even sides; each pixel
// the mean over its known neighbours of (1 + ratio) times their depth.
struct ReferenceGrowth {
  int width, height;
  std::vector<float> gx, gy, depth;
  CameraParameters camera;
  int no_point_pixels = 0;

  float& at(int x, int y) { return depth[y * width + x]; }

  void grow(int x, int y) {
    const float sx = camera.image_width / width;
    const float sy = camera.image_height / height;
    const float px = static_cast<float>(x - width / 2) * sx;
    const float py = static_cast<float>(y - height / 2) * sy;
    const float g_x = gx[y * width + x];
    const float g_y = gy[y * width + x];
    float sum = 0;
    int count = 0;
    for (int j = -1; j <= 1; ++j) {
      for (int k = -1; k <= 1; ++k) {
        if (j == 0 && k == 0) continue;
        if (x + k < 0 || x + k >= width || y + j < 0 || y + j >= height) continue;
        const float known = at(x + k, y + j);
        if (known == unknown) continue;
        const float dx = static_cast<float>(-k) * sx;
        const float dy = static_cast<float>(-j) * sy;
        const float ratio = (dx * g_x + dy * g_y) / (camera.focal_length - g_x * px - g_y * py);
        sum += (1 + ratio) * known;
        ++count;
      }
    }
    if (count == 0) {
      ++no_point_pixels;
      at(x, y) = unknown;
    } else {
      at(x, y) = sum / count;
    }
  }

  void run() {
    depth.assign(width * height, unknown);
    const int cx = width / 2, cy = height / 2;
    at(cx, cy) = camera.initial_distance;
    for (int n = 3; n <= width && n <= height; n += 2) {
      const int h = n / 2;
      for (int y = cy - h; y <= cy + h; ++y) grow(cx + h, y);
      for (int x = cx + h; x >= cx - h; --x) grow(x, cy + h);
      for (int y = cy + h; y >= cy - h; --y) grow(cx - h, y);
      for (int x = cx - h; x <= cx + h; ++x) grow(x, cy - h);
    }
    if (width % 2 == 0) {
      for (int y = 0; y < height; ++y) grow(0, y);
    }
    if (height % 2 == 0) {
      for (int x = 0; x < width; ++x) grow(x, 0);
    }
  }
};

std::vector<std::int8_t> random_normals(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> lateral(-60, 60);
  std::uniform_int_distribution<int> toward(70, 127);
  std::vector<std::int8_t> normals;
  for (int i = 0; i < width * height; ++i) {
    normals.push_back(static_cast<std::int8_t>(lateral(random)));
    normals.push_back(static_cast<std::int8_t>(lateral(random)));
    normals.push_back(static_cast<std::int8_t>(toward(random)));
  }
  return normals;
}

TEST(DepthReconstruction, GrowsRingByRingAndFillsTheColumnAndRowOfEvenSides) {
  struct Case {
    int width, height;
    bool masked;
  };
  // 100 x 50 grows rings up to side 49 only: most columns outside the
  // central square are never reached.
  const Case cases[] = {{1, 1, false}, {2, 2, false}, {5, 5, false},    {5, 5, true},
                        {6, 6, false}, {7, 4, false}, {100, 50, false}, {9, 14, true}};
  const CameraParameters camera{30.0f, 6.0f, 5.0f, 0.5f, 40.0f};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) +
                 (c.masked ? " with a mask" : ""));
    const auto normals = random_normals(c.width, c.height, 7 * c.width + c.height);
    std::vector<std::uint8_t> mask(c.width * c.height, 1);
    // Mask rows run opposite to the map's: byte row r is map row H - 1 - r.
    auto mask_at = [&](int x, int y) -> std::uint8_t& {
      return mask[(c.height - 1 - y) * c.width + x];
    };
    if (c.masked) {
      mask_at(1, 0) = 0;
      mask_at(c.width - 1, c.height - 2) = 0;
    }

    ReferenceGrowth reference{c.width, c.height, {}, {}, {}, camera};
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const std::int8_t* n = &normals[3 * (y * c.width + x)];
        const bool outside = c.masked && mask_at(x, y) == 0;
        const float nx = outside ? 0.0f : n[0] * 0.007874016f;
        const float ny = outside ? 0.0f : n[1] * 0.007874016f;
        const float nz = outside ? 1.0f : n[2] * 0.007874016f;
        reference.gx.push_back(nx / nz);
        reference.gy.push_back(ny / nz);
      }
    }
    reference.run();
    // Normalised; outside the mask, and where no ring reached, the
    // farthest normalised value.
    float farthest = -3.4028235e38f;
    for (float& d : reference.depth) {
      if (d == unknown) continue;
      d = (d - camera.initial_distance) / camera.estimated_depth;
      farthest = std::max(farthest, d);
    }
    int unreached = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        float& d = reference.at(x, y);
        unreached += d == unknown ? 1 : 0;
        if (d == unknown || (c.masked && mask_at(x, y) == 0)) d = farthest;
      }
    }
    if (c.width == 100) {
      // Reached: the 49 x 49 square (x 26..74, y 1..49) and row 0 from
      // x = 25 on (grown from the square's corner, then from its left
      // neighbour); column 0 and the start of row 0 have no point to
      // grow from.
      EXPECT_EQ(unreached, 100 * 50 - 49 * 49 - 75);
      EXPECT_EQ(reference.no_point_pixels, 50 + 25);
    } else if (c.width == c.height) {
      EXPECT_EQ(unreached, 0);
    }

    testing::internal::CaptureStderr();
    const DepthMap depth =
        reconstruct(normals, c.masked ? mask.data() : nullptr, c.width, c.height, camera);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(depth.reconstructed);
    // One line for every pixel without a known neighbour.
    const std::string expected_err =
        reference.no_point_pixels == 0
            ? ""
            : "GrowTo Error: no points to grow from, at " +
                  std::to_string(reference.no_point_pixels) + " pixels\n";
    EXPECT_EQ(err, expected_err);
    int different = 0;
    for (int i = 0; i < c.width * c.height; ++i) {
      if (depth.values[i] != reference.depth[i]) {
        if (++different <= 5) {
          ADD_FAILURE() << "pixel (" << i % c.width << ", " << i / c.width
                        << "): " << depth.values[i] << ", the rule gives " << reference.depth[i];
        }
      }
    }
    EXPECT_EQ(different, 0);
    if (c.masked) {
      EXPECT_EQ(depth.values[0 * c.width + 1], farthest);
      EXPECT_EQ(depth.values[(c.height - 2) * c.width + c.width - 1], farthest);
    }
  }
}

TEST(DepthReconstruction, APixelOutsideTheMaskHasGradientZeroAndTheFarthestDepth) {
  const int width = 4, height = 3;
  std::vector<std::int8_t> normals;
  for (int i = 0; i < width * height; ++i) normals.insert(normals.end(), {40, -20, 100});
  // Mask byte row 0 is the map's top row (y = 2): pixel (1, 2) is outside.
  std::vector<std::uint8_t> mask(width * height, 255);
  mask[0 * width + 1] = 0;
  std::vector<float> gx(width * height), gy(width * height);
  depth_gradients(normals.data(), mask.data(), width, height, gx.data(), gy.data());
  const float unit = 0.007874016f;
  for (int i = 0; i < width * height; ++i) {
    const bool outside = i == 2 * width + 1;
    EXPECT_EQ(gx[i], outside ? 0.0f : (40 * unit) / (100 * unit)) << "pixel " << i;
    EXPECT_EQ(gy[i], outside ? 0.0f : (-20 * unit) / (100 * unit)) << "pixel " << i;
  }
  const CameraParameters camera{10.0f, 4.0f, 3.0f, 2.0f, 30.0f};
  const DepthMap depth = reconstruct(normals, mask.data(), width, height, camera);
  ASSERT_TRUE(depth.reconstructed);
  const float farthest = *std::max_element(depth.values.begin(), depth.values.end());
  EXPECT_EQ(depth.values[2 * width + 1], farthest);
  // The others still differ: the plane is tilted.
  EXPECT_NE(depth.values[0], depth.values[width - 1]);
}

// A camera whose focal length equals g . p at a pixel cannot see it (the
// perspective ratio divides by zero there); one slightly beyond makes the
// values explode. Either way: a message and no depth map.
TEST(DepthReconstruction, AFocalLengthThatMakesTheRatioInfiniteGivesAMessageAndNoDepth) {
  struct Case {
    int normal_x;
    float focal_length;
    float initial_distance;
    std::string message;
  };
  // 21 x 21 map, image plane 21 wide: pixel pitch 1. Normal (100, 0, 100):
  // gradient exactly 1, so f - gx px is 0 at px = 1 when f = 1; the first
  // pixel grown is (11, 9), px = 1. With f just above 1 the plane's depth
  // there is 10^7 times the centre's, too much for a centre at 10^32.
  const Case cases[] = {
      {0, 0.0f, 10.0f,
       "The focal length 0 makes the perspective ratio's denominator 0 at pixel (11, 9): no "
       "depth there; aborting depth calculation\n"},
      {100, 1.0f, 10.0f,
       "The focal length 1 makes the perspective ratio's denominator 0 at pixel (11, 9): no "
       "depth there; aborting depth calculation\n"},
      {100, 1.0000001f, 1e32f,
       "Depth values beyond the range of single precision (the camera puts the surface too far "
       "away, or the focal length 1 is too close to where the perspective ratio's denominator "
       "is 0); aborting depth calculation\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::int8_t> normals;
    for (int i = 0; i < 21 * 21; ++i) {
      normals.insert(normals.end(), {static_cast<std::int8_t>(c.normal_x), 0, 100});
    }
    testing::internal::CaptureStderr();
    const DepthMap depth = reconstruct(normals, nullptr, 21, 21,
                                       {c.focal_length, 21.0f, 21.0f, 1.0f, c.initial_distance});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_FALSE(depth.reconstructed);
  }
}

TEST(DepthSmoothing, EachValueIsTheWeightedMeanOfTheUnsmoothedNeighboursInside) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(-50.0f, 50.0f);
  for (auto [width, height] : {std::pair{1, 1}, {1, 4}, {3, 1}, {2, 2}, {7, 5}, {40, 3}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    std::vector<float> depth(width * height);
    for (float& d : depth) d = value(random);
    const std::vector<float> before = depth;
    smooth_depth(depth.data(), width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        double sum = 0, weights = 0;
        for (int j = -1; j <= 1; ++j) {
          for (int k = -1; k <= 1; ++k) {
            if (x + k < 0 || x + k >= width || y + j < 0 || y + j >= height) continue;
            const double w = (j == 0 ? 2 : 1) * (k == 0 ? 2 : 1);
            sum += w * before[(y + j) * width + x + k];
            weights += w;
          }
        }
        EXPECT_NEAR(depth[y * width + x], sum / weights, 2e-5)
            << "pixel (" << x << ", " << y << ")";
      }
    }
  }
}

TEST(DepthImage, NearIsBrightFarIsDarkTopRowFirstAndAFlatMapIsMidGrey) {
  ScratchDirectory scratch("depth-image");
  const std::string path = scratch.file("depth.ppm");
  struct Case {
    int width, height;
    std::vector<float> depth;
    std::string pixels;  // grey levels, file order
  };
  const float not_a_number = std::nanf("");
  const Case cases[] = {
      // 255 - d 255 / 5: 255, 204, 153 on row 0; 102, 51, 0 on row 1, the
      // file's top row.
      {3, 2, {0, 1, 2, 3, 4, 5}, "\x66\x33\x00\xff\xcc\x99"s},
      {2, 2, {7, 7, 7, 7}, "\x80\x80\x80\x80"s},
      {1, 1, {-3}, "\x80"s},
      // Not a number stays out of the range and is written black.
      {3, 1, {-1, not_a_number, 1}, "\xff\x00\x00"s},
      // 255 - 127.5 for d = 0.5 is truncated to 127.
      {3, 1, {0, 0.5f, 1}, "\xff\x7f\x00"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    ASSERT_TRUE(write_depth_image(c.depth.data(), c.width, c.height, path.c_str()));
    std::string expected =
        "P6\n" + std::to_string(c.width) + "\n" + std::to_string(c.height) + "\n255\n";
    for (char g : c.pixels) expected += std::string(3, g);
    EXPECT_EQ(read_file_bytes(path), expected);
  }
}

}  // namespace
