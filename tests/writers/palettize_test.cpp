#include "writers/palettize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/rgb_image.h"
#include "ptm/reader.h"
#include "render/evaluate.h"
#include "render/render_image.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/reference_palettizer.h"
#include "support/write_failures.h"

namespace {

// An LRGB map and the feature vectors the test gave its pixels: six stored
// coefficient bytes, then red, green and blue.
struct TestMap {
  int width = 0;
  int height = 0;
  std::vector<std::array<int, 9>> pixels;

  std::vector<int> features(int D) const {
    std::vector<int> out;
    for (const auto& p : pixels) out.insert(out.end(), p.begin(), p.begin() + D);
    return out;
  }

  Ptm* build(CoefRepresentation representation) const {
    Ptm* ptm = create_ptm(width, height, PTM_FORMAT_LRGB, representation);
    const std::int32_t scale_bias[12] = {257, 256, 384, 128, 256, 512, 1, 2, 3, 4, 5, 6};
    std::copy(scale_bias, scale_bias + 12, ptm->scale_bias);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      for (int j = 0; j < 3; ++j) {
        ptm->coef_planes[0][3 * i + j] = static_cast<std::uint8_t>(pixels[i][j]);
        ptm->coef_planes[1][3 * i + j] = static_cast<std::uint8_t>(pixels[i][3 + j]);
      }
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(pixels[i][6]),
                                   static_cast<std::uint8_t>(pixels[i][7]),
                                   static_cast<std::uint8_t>(pixels[i][8])};
      set_lrgb_color(*ptm, i, rgb);
    }
    return ptm;
  }
};

std::uint32_t mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  return x ^ (x >> 16);
}

// width x height pixels; pixel i takes vector (i mod `distinct`) of a
// pseudo-random set.
TestMap make_map(int width, int height, int distinct, std::uint32_t seed) {
  TestMap map{width, height, {}};
  for (int i = 0; i < width * height; ++i) {
    std::array<int, 9> v{};
    for (int j = 0; j < 9; ++j) v[j] = static_cast<int>(mix(seed + 9 * (i % distinct) + j) & 255);
    map.pixels.push_back(v);
  }
  return map;
}

const char* mode_name(int mode) { return mode == palette_mode_luminance ? "'p'" : "'c'"; }
int components_of(int mode) { return mode == palette_mode_luminance ? 6 : 9; }

// Clusters `ptm`, returning what it printed.
std::string cluster(const Ptm& ptm, int mode, LcgRandom& random, Palette& palette, NearestIsa isa) {
  testing::internal::CaptureStdout();
  const bool ok = cluster_palette(ptm, mode, random, palette, isa);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ok);
  return printed;
}

void expect_same_as_reference(const Palette& palette, const std::string& printed,
                              const ReferencePalette& expected, const std::string& what) {
  EXPECT_EQ(std::vector<int>(palette.table.begin(), palette.table.end()), expected.table) << what;
  EXPECT_EQ(std::vector<int>(palette.indices.begin(), palette.indices.end()), expected.indices)
      << what;
  EXPECT_EQ(printed, expected.printed) << what;
}

const NearestIsa all_isas[] = {NearestIsa::naive, NearestIsa::scalar, NearestIsa::sse2,
                               NearestIsa::avx2, NearestIsa::avx512};
const char* isa_names[] = {"naive", "scalar", "sse2", "avx2", "avx512"};

}  // namespace

// Table, indices and every printed character as the rules give them, for
// every assignment path and both coefficient representations: a map with
// 20 distinct vectors (most entries stay empty and are re-seeded every
// iteration), a one-pixel map (every re-seed takes pixel 0), a map of 1200
// mostly distinct pixels, and one whose size makes the re-seed products
// differ between single and double precision.
TEST(Palettize, ClusteringFollowsTheReferenceKMeansExactly) {
  const struct {
    const char* name;
    TestMap map;
  } maps[] = {
      {"20 distinct vectors", make_map(12, 10, 20, 11)},
      {"one pixel", make_map(1, 1, 1, 23)},
      {"1200 pixels", make_map(40, 30, 1200, 37)},
      // With n - 1 = 4681 the single-precision product trunc(fraction x
      // (n - 1)) picks another pixel than a double product would for 481 of
      // the 32768 results, and 8 vectors leave 248 entries to re-seed in
      // every iteration.
      {"4682 pixels in 8 vectors", make_map(2341, 2, 8, 51)},
  };
  for (const auto& m : maps) {
    for (int mode : {palette_mode_luminance, palette_mode_color}) {
      ReferenceRand reference_random;
      const ReferencePalette expected =
          reference_palettize(m.map.features(components_of(mode)), components_of(mode),
                              reference_random);
      for (CoefRepresentation representation :
           {CoefRepresentation::packed, CoefRepresentation::wide}) {
        Ptm* ptm = m.map.build(representation);
        for (int i = 0; i < 5; ++i) {
          if (!nearest_isa_available(all_isas[i])) continue;
          LcgRandom random;
          Palette palette;
          const std::string printed = cluster(*ptm, mode, random, palette, all_isas[i]);
          expect_same_as_reference(palette, printed, expected,
                                   std::string(m.name) + " " + mode_name(mode) + " " +
                                       isa_names[i] +
                                       (representation == CoefRepresentation::packed ? " packed"
                                                                                     : " wide"));
        }
        free_ptm(ptm);
      }
      if (m.map.pixels.size() == 120) {
        // Re-seeding copies pixel vectors into many entries: duplicates.
        std::set<std::vector<int>> entries;
        for (int k = 0; k < 256; ++k) {
          const int D = components_of(mode);
          entries.insert(std::vector<int>(expected.table.begin() + k * D,
                                          expected.table.begin() + (k + 1) * D));
        }
        EXPECT_LT(entries.size(), 256u);
      }
    }
  }
}

// trunc(fraction x (n - 1)) in single precision, never past the last
// pixel: n - 1 = 2^24 + 3 becomes the float 2^24 + 4.
TEST(Palettize, ReseedPixelIsTheSinglePrecisionProductWithinTheMap) {
  const float r = 1.0f / 32767.0f;
  EXPECT_EQ(palette_reseed_pixel(1.0f, 1), 0u);
  EXPECT_EQ(palette_reseed_pixel(0.5f, 101), 50u);
  EXPECT_EQ(palette_reseed_pixel(1.0f, (1u << 24) + 4), (1u << 24) + 3);
  EXPECT_EQ(palette_reseed_pixel(1.0f, (1u << 24) + 1), 1u << 24);
  // Where single precision and exact arithmetic part: 525 / 32767 x 4681
  // is exactly 75, but the float fraction times 4681.0f is just below it.
  EXPECT_EQ(palette_reseed_pixel(525 * r, 4682), 74u);
}

// One generator for the whole program: the first run after start-up is
// always the same; a second run goes on with the sequence and clusters
// differently.
TEST(Palettize, ASecondRunContinuesTheRandomSequence) {
  const TestMap map = make_map(16, 8, 128, 5);
  Ptm* ptm = map.build(CoefRepresentation::wide);
  ReferenceRand reference_random;
  const ReferencePalette first = reference_palettize(map.features(6), 6, reference_random);
  const ReferencePalette second = reference_palettize(map.features(6), 6, reference_random);
  ASSERT_NE(first.table, second.table);

  LcgRandom random;
  Palette palette;
  std::string printed = cluster(*ptm, palette_mode_luminance, random, palette, best_nearest_isa());
  expect_same_as_reference(palette, printed, first, "first run");
  printed = cluster(*ptm, palette_mode_luminance, random, palette, best_nearest_isa());
  expect_same_as_reference(palette, printed, second, "second run");

  LcgRandom restarted;
  printed = cluster(*ptm, palette_mode_luminance, restarted, palette, best_nearest_isa());
  expect_same_as_reference(palette, printed, first, "first run of a new program");
  free_ptm(ptm);
}

// Only LRGB maps are palettized; the refusal draws no random number.
TEST(Palettize, RefusesMapsThatAreNotLrgbBeforeDrawing) {
  for (int format : {PTM_FORMAT_RGB, PTM_FORMAT_LUM}) {
    Ptm* ptm = create_ptm(2, 2, format, CoefRepresentation::wide);
    LcgRandom random;
    Palette palette;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(cluster_palette(*ptm, palette_mode_luminance, random, palette));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Palletization is only implemented for LRGB format currently\n");
    EXPECT_EQ(random.state, 1u);
    free_ptm(ptm);
  }
}

// A dot for pixel 0, 50000, 100000, ... of every assignment, before that
// iteration's Max line.
TEST(Palettize, PrintsADotForEvery50000thPixel) {
  for (int width : {100000, 100001}) {
    const TestMap map = make_map(width, 1, 3, 9);
    Ptm* ptm = map.build(CoefRepresentation::packed);
    LcgRandom random;
    Palette palette;
    const std::string printed =
        cluster(*ptm, palette_mode_luminance, random, palette, best_nearest_isa());
    const std::string dots = width == 100000 ? ".." : "...";
    const std::string title = "Palletizing ptm via k-means clustering (slow).  Error statistics:";
    EXPECT_EQ(printed.substr(0, title.size() + dots.size() + 6), title + dots + "\nMax: ");
    // Beside the dots: the title's full stop and six figures per Avg line.
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '.'),
              static_cast<long>(1 + 10 * dots.size() + 10 * 6));
    free_ptm(ptm);
  }
}

namespace {

std::string bytes_of(const std::vector<int>& values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// The picture of a map for a light.
std::vector<std::uint8_t> render(const Ptm& ptm, float u, float v) {
  RgbImage* image = new_rgb_image(ptm.width, ptm.height);
  render_plain_image(*image, ptm, u, v, 0, 0);
  std::vector<std::uint8_t> pixels(image->pixels, image->pixels + 3 * ptm.width * ptm.height);
  free_rgb_image(image);
  return pixels;
}

Ptm* read_quietly(const std::string& path, CoefRepresentation representation) {
  testing::internal::CaptureStdout();
  Ptm* ptm = read_ptm_file(path.c_str(), representation);
  testing::internal::GetCapturedStdout();
  return ptm;
}

}  // namespace

// The file: the header with the map's own scales ("%.8f" where "%f" would
// not read back) and biases, the table, one index byte per pixel and, for
// PTM_LUT, the colours. Read back, it is the clustered map: every pixel
// has its entry's coefficients (and colour) and renders like an LRGB map
// made of them.
TEST(Palettize, WrittenFilesReadBackAsTheClusteredMap) {
  const TestMap map = make_map(12, 10, 40, 71);
  ScratchDirectory scratch("palettize");
  for (int mode : {palette_mode_luminance, palette_mode_color}) {
    const int D = components_of(mode);
    ReferenceRand reference_random;
    const ReferencePalette expected = reference_palettize(map.features(D), D, reference_random);
    std::vector<int> colours;
    for (const auto& p : map.pixels) colours.insert(colours.end(), p.begin() + 6, p.end());
    const std::string header =
        std::string("PTM_1.2\n") +
        (mode == palette_mode_luminance ? "PTM_FORMAT_PTM_LUT\n" : "PTM_FORMAT_PTM_C_LUT\n") +
        "12\n10\n1.00390625 1.000000 1.500000 0.500000 1.000000 2.000000\n1 2 3 4 5 6\n"
        "256 N_LUT_ENTRIES\n";
    const std::string expected_file = header + bytes_of(expected.table) +
                                      bytes_of(expected.indices) +
                                      (mode == palette_mode_luminance ? bytes_of(colours) : "");

    // The clustered map as plain LRGB: each pixel its entry's bytes.
    PtmFixture clustered;
    clustered.format = 2;
    clustered.format_word = "PTM_FORMAT_LRGB";
    clustered.width = 12;
    clustered.height = 10;
    clustered.scale_line = "1.00390625 1.0 1.5 0.5 1.0 2.0\n";
    clustered.bias_line = "1 2 3 4 5 6\n";
    for (std::size_t i = 0; i < map.pixels.size(); ++i) {
      const int* entry = &expected.table[expected.indices[i] * D];
      for (int j = 0; j < 6; ++j) clustered.coefficients[0].push_back(entry[j]);
      for (int c = 0; c < 3; ++c) {
        clustered.colour.push_back(mode == palette_mode_luminance ? map.pixels[i][6 + c]
                                                                  : entry[6 + c]);
      }
    }
    const std::string clustered_path = scratch.file("clustered.ptm");
    write_file_bytes(clustered_path, ptm_fixture_bytes(clustered));

    for (CoefRepresentation representation :
         {CoefRepresentation::packed, CoefRepresentation::wide}) {
      Ptm* ptm = map.build(representation);
      LcgRandom random;
      Palette palette;
      cluster(*ptm, mode, random, palette, best_nearest_isa());
      const std::string path = scratch.file("lut.ptm");
      testing::internal::CaptureStdout();
      ASSERT_TRUE(output_paletized_LRGB_ptm(*ptm, palette, mode, path.c_str()));
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing PTM File " + path + "\n");
      EXPECT_EQ(read_file_bytes(path), expected_file) << mode_name(mode);

      Ptm* back = read_quietly(path, representation);
      Ptm* reference = read_quietly(clustered_path, representation);
      ASSERT_NE(back, nullptr);
      ASSERT_NE(reference, nullptr);
      EXPECT_EQ(back->format, PTM_FORMAT_LRGB);
      EXPECT_EQ(std::memcmp(back->scale_bias, ptm->scale_bias, 12 * sizeof(std::int32_t)), 0);
      EXPECT_EQ(std::memcmp(back->coef_planes[0], reference->coef_planes[0], 360), 0);
      EXPECT_EQ(std::memcmp(back->coef_planes[1], reference->coef_planes[1], 360), 0);
      for (const auto& light : {std::pair{0.0f, 0.0f}, {0.6f, -0.3f}, {-0.5f, 0.7f}}) {
        EXPECT_EQ(render(*back, light.first, light.second),
                  render(*reference, light.first, light.second))
            << mode_name(mode) << " light (" << light.first << ", " << light.second << ")";
      }
      free_ptm(reference);
      free_ptm(back);
      free_ptm(ptm);
    }
  }
}

// A write that fails part way leaves no file (and no temporary beside
// it); a file that cannot be made, or a mode without a file format, is
// refused with its message.
TEST(Palettize, FailedWritesLeaveNoFile) {
  const TestMap map = make_map(20, 20, 400, 3);
  Ptm* ptm = map.build(CoefRepresentation::wide);
  LcgRandom random;
  Palette palette;
  cluster(*ptm, palette_mode_luminance, random, palette, best_nearest_isa());
  ScratchDirectory scratch("palettize-failure");
  const std::string path = scratch.file("lut.ptm");
  {
    FileSizeLimit limit(200);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(output_paletized_LRGB_ptm(*ptm, palette, palette_mode_luminance, path.c_str()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no file was written"),
              std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));

  testing::internal::CaptureStdout();
  EXPECT_FALSE(output_paletized_LRGB_ptm(*ptm, palette, palette_mode_luminance,
                                         "/nonexistent-dir/lut.ptm"));
  EXPECT_FALSE(output_paletized_LRGB_ptm(*ptm, palette, 3, path.c_str()));
  // A table of six components cannot make a PTM_C_LUT file.
  EXPECT_FALSE(output_paletized_LRGB_ptm(*ptm, palette, palette_mode_color, path.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can't open PTM file /nonexistent-dir/lut.ptm for writing\n"
            "Unsupported pallet mode in output_paletized_LRGB_ptm\n"
            "PTM write error: the palette was not made from this map for this mode\n");
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));
  free_ptm(ptm);
}
