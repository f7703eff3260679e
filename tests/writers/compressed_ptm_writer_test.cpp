#include "writers/compressed_ptm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/rgb_image.h"
#include "ptm/compressed_decoder.h"
#include "ptm/jpeg_plane.h"
#include "ptm/reader.h"
#include "render/evaluate.h"
#include "render/render_image.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/write_failures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int width = 16;
constexpr int height = 8;

// Plane k of a map in the compressed files' numbering: coefficient planes
// 0..17 (RGB) or 0..5 (LRGB) byte k % 3 of coef_planes[k / 3]; LRGB 6..8
// the colour.
Bytes plane_of(const Ptm& ptm, int k) {
  Bytes plane(pixel_count(ptm));
  for (std::size_t p = 0; p < plane.size(); ++p) {
    if (ptm.format == PTM_FORMAT_LRGB && k >= 6 && k < 9) {
      std::uint8_t rgb[3];
      get_lrgb_color(ptm, p, rgb);
      plane[p] = rgb[k - 6];
    } else {
      plane[p] = ptm.coef_planes[k / 3][3 * p + k % 3];
    }
  }
  return plane;
}

void set_plane(Ptm& ptm, int k, const Bytes& plane) {
  for (std::size_t p = 0; p < plane.size(); ++p) {
    if (ptm.format == PTM_FORMAT_LRGB && k >= 6 && k < 9) {
      std::uint8_t rgb[3];
      get_lrgb_color(ptm, p, rgb);
      rgb[k - 6] = plane[p];
      set_lrgb_color(ptm, p, rgb);
    } else {
      ptm.coef_planes[k / 3][3 * p + k % 3] = plane[p];
    }
  }
}

// A map whose planes differ from each other and vary within themselves,
// so that a plane in the wrong place or shifted shows.
Ptm* make_map(int format, CoefRepresentation representation) {
  Ptm* ptm = create_ptm(width, height, format, representation);
  for (int i = 0; i < 12; ++i) ptm->scale_bias[i] = i < 6 ? 256 : 0;
  for (int k = 0; k < (format == PTM_FORMAT_RGB ? 18 : 9); ++k) {
    Bytes plane(width * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        plane[y * width + x] =
            static_cast<std::uint8_t>(37 * k + 11 * x + 23 * y + (x * y) % 7 * 5);
      }
    }
    set_plane(*ptm, k, plane);
  }
  return ptm;
}

Ptm* make_lrgb_map(CoefRepresentation representation) {
  return make_map(PTM_FORMAT_LRGB, representation);
}

class CompressedPtmWriterTest : public testing::Test {
 protected:
  // Writes `map`, reads the file back in the map's representation.
  Ptm* round_trip(const Ptm& map, const CompressedPtmOptions& options) {
    EXPECT_TRUE(write_compressed_ptm(map, path().c_str(), options));
    testing::internal::CaptureStdout();
    Ptm* read = read_ptm_file(
        path().c_str(), uses_packed(map) ? CoefRepresentation::packed : CoefRepresentation::wide);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(read, nullptr) << output;
    return read;
  }

  // Plane k's stored stream decoded by itself: the residual of a P-plane.
  Bytes stored_stream(int k) {
    CompressedPtmHeader header;
    EXPECT_EQ(read_compressed_header(path().c_str(), header), 0);
    Bytes plane(width * height);
    EXPECT_EQ(decode_jpeg_plane(header.plane_data[k], header.size[k], plane.data(), width, height),
              width * height);
    free_compressed_header(header);
    return plane;
  }

  std::string path() const { return scratch_.file("map.ptm"); }

  ScratchDirectory scratch_{"compressed-writer"};
};

std::uint8_t at(const Bytes& plane, int x, int y) {
  return plane[std::clamp(y, 0, height - 1) * width + std::clamp(x, 0, width - 1)];
}

// Plane 4 predicted from plane 2. The map's plane 4 is first set to what
// the prediction from the decoded plane 2 must be, so the residual is 128
// everywhere, which JPEG keeps exactly; then plane 4 must come back equal
// to that prediction.
TEST_F(CompressedPtmWriterTest, PPlanesReproduceTheirTransformedReference) {
  using Expected = std::function<int(const Bytes& ref, int x, int y)>;
  const struct {
    const char* name;
    int transformation, mv_x, mv_y;
    Expected expected;
  } cases[] = {
      {"plain reference", 0, 0, 0, [](const Bytes& r, int x, int y) { return at(r, x, y); }},
      {"inverted", 1, 0, 0, [](const Bytes& r, int x, int y) { return 255 - at(r, x, y); }},
      {"motion (2, 0)", 2, 2, 0, [](const Bytes& r, int x, int y) { return at(r, x + 1, y); }},
      {"motion (-3, 0)", 2, -3, 0,
       [](const Bytes& r, int x, int y) { return (at(r, x - 2, y) + at(r, x - 1, y)) / 2; }},
      {"motion (0, 0) with the shift bit", 2, 0, 0,
       [](const Bytes& r, int x, int y) { return at(r, x, y); }},
      {"motion (0, 4) ignored without the shift bit", 0, 0, 4,
       [](const Bytes& r, int x, int y) { return at(r, x, y); }},
      {"inverted and moved (0, -2)", 3, 0, -2,
       [](const Bytes& r, int x, int y) { return 255 - at(r, x, y - 1); }},
      // Vertical half pixels: (0, 3) is one whole row up the reference and
      // the mean with the row after; (0, -1) no whole row and the mean with
      // the row before; (1, -1) the horizontal mean first, truncated, then
      // the vertical mean of those.
      {"motion (0, 3)", 2, 0, 3,
       [](const Bytes& r, int x, int y) { return (at(r, x, y + 1) + at(r, x, y + 2)) / 2; }},
      {"motion (0, -1)", 2, 0, -1,
       [](const Bytes& r, int x, int y) { return (at(r, x, y - 1) + at(r, x, y)) / 2; }},
      {"motion (1, -1)", 2, 1, -1,
       [](const Bytes& r, int x, int y) {
         const int above = (at(r, x + 1, y - 1) + at(r, x, y - 1)) / 2;
         const int here = (at(r, x + 1, y) + at(r, x, y)) / 2;
         return (above + here) / 2;
       }},
  };
  for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* map = make_lrgb_map(representation);
    CompressedPtmOptions options;
    options.quality = 60;
    Ptm* intra = round_trip(*map, options);
    const Bytes reference = plane_of(*intra, 2);
    for (const auto& c : cases) {
      Bytes expected(width * height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) expected[y * width + x] = c.expected(reference, x, y);
      }
      set_plane(*map, 4, expected);
      CompressedPtmOptions predicted = options;
      predicted.planes[4] = {c.transformation, c.mv_x, c.mv_y, 2, {}};
      Ptm* read = round_trip(*map, predicted);
      EXPECT_EQ(stored_stream(4), Bytes(width * height, 128)) << c.name;
      EXPECT_EQ(plane_of(*read, 4), expected) << c.name;
      EXPECT_EQ(plane_of(*read, 2), reference) << c.name;
      free_ptm(read);
    }
    free_ptm(intra);
    free_ptm(map);
  }
}

// RGB plane 6c + k is coefficient ak of channel c: blue a1 (plane 13)
// predicted from red a1 (plane 1), inverted. Files with P-planes decode
// plane by plane, those of I-planes only in bands of rows; both must agree.
TEST_F(CompressedPtmWriterTest, RgbPlanesPredictAcrossChannels) {
  for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* map = make_map(PTM_FORMAT_RGB, representation);
    CompressedPtmOptions options;
    Ptm* intra = round_trip(*map, options);
    Bytes expected = plane_of(*intra, 1);
    for (auto& b : expected) b = static_cast<std::uint8_t>(255 - b);
    set_plane(*map, 13, expected);
    options.planes[13] = {1, 0, 0, 1, {}};
    Ptm* read = round_trip(*map, options);
    EXPECT_EQ(stored_stream(13), Bytes(width * height, 128));
    EXPECT_EQ(plane_of(*read, 13), expected);
    for (int k = 0; k < 18; ++k) {
      if (k != 13) {
        EXPECT_EQ(plane_of(*read, k), plane_of(*intra, k)) << "plane " << k;
      }
    }
    for (std::size_t p = 0; p < pixel_count(*read); ++p) {
      const int units = expected[p];  // blue a1 at scale 1.0, bias 0
      if (representation == CoefRepresentation::packed) {
        ASSERT_EQ(read->packed_rgb[24 * p + 16 + 1], units);
      } else {
        ASSERT_EQ(read->coef_int[2][6 * p + 1], units * 16);
      }
    }
    free_ptm(read);
    free_ptm(intra);
    free_ptm(map);
  }
}

TEST_F(CompressedPtmWriterTest, SideInformationPatchesPixelsAfterTheResidual) {
  Ptm* map = make_lrgb_map(CoefRepresentation::wide);
  CompressedPtmOptions options;
  Ptm* intra = round_trip(*map, options);
  const Bytes reference = plane_of(*intra, 2);
  set_plane(*map, 4, reference);
  options.planes[4] = {0, 0, 0, 2, {{5, 0x7F}}};
  Ptm* read = round_trip(*map, options);

  CompressedPtmHeader header;
  ASSERT_EQ(read_compressed_header(path().c_str(), header), 0);
  ASSERT_EQ(header.side_info[4], 5);
  EXPECT_EQ(Bytes(header.plane_data[4] + header.size[4], header.plane_data[4] + header.size[4] + 5),
            (Bytes{0x00, 0x00, 0x00, 0x05, 0x7F}));
  free_compressed_header(header);
  Bytes expected = reference;
  expected[5] = 127;
  EXPECT_EQ(plane_of(*read, 4), expected);
  free_ptm(read);

  // With a threshold, every pixel decoded further off than it is patched.
  CompressedPtmOptions corrected;
  corrected.quality = 20;
  corrected.correction_threshold = 1;
  for (int k = 3; k < 9; ++k) corrected.planes[k] = {1, 0, 0, k - 3, {}};
  read = round_trip(*map, corrected);
  for (int k = 3; k < 9; ++k) {
    const Bytes source = plane_of(*map, k);
    const Bytes decoded = plane_of(*read, k);
    for (std::size_t p = 0; p < source.size(); ++p) {
      ASSERT_LE(std::abs(source[p] - decoded[p]), 1) << "plane " << k << " pixel " << p;
    }
  }
  free_ptm(read);
  free_ptm(intra);
  free_ptm(map);
}

TEST_F(CompressedPtmWriterTest, DecodingOrderDecidesWhatAReferenceHolds) {
  Ptm* map = make_lrgb_map(CoefRepresentation::packed);
  CompressedPtmOptions options;
  options.quality = 95;
  Ptm* intra = round_trip(*map, options);

  // All I-planes: the order only fixes the sequence, every plane decodes
  // alone and lands in its own place, within JPEG's loss of the map.
  CompressedPtmOptions reversed = options;
  for (int k = 0; k < 9; ++k) reversed.order.push_back(8 - k);
  Ptm* read = round_trip(*map, reversed);
  for (int k = 0; k < 9; ++k) {
    const Bytes source = plane_of(*map, k);
    const Bytes decoded = plane_of(*read, k);
    EXPECT_EQ(decoded, plane_of(*intra, k)) << "plane " << k;
    for (std::size_t p = 0; p < source.size(); ++p) {
      ASSERT_LE(std::abs(source[p] - decoded[p]), 12) << "plane " << k << " pixel " << p;
    }
  }
  free_ptm(read);

  // Plane 4 predicted from plane 7, which index order decodes later: the
  // prediction is a plane of zeros, so a constant 77 has residual 205.
  set_plane(*map, 4, Bytes(width * height, 77));
  CompressedPtmOptions later = options;
  later.planes[4] = {0, 0, 0, 7, {}};
  read = round_trip(*map, later);
  EXPECT_EQ(stored_stream(4), Bytes(width * height, 205));
  EXPECT_EQ(plane_of(*read, 4), Bytes(width * height, 77));
  free_ptm(read);

  // Decoded first by its order, plane 7 is a real reference.
  const Bytes reference = plane_of(*intra, 7);
  set_plane(*map, 4, reference);
  later.order = {1, 2, 3, 4, 5, 6, 7, 0, 8};
  read = round_trip(*map, later);
  EXPECT_EQ(stored_stream(4), Bytes(width * height, 128));
  EXPECT_EQ(plane_of(*read, 4), reference);
  free_ptm(read);
  free_ptm(intra);
  free_ptm(map);
}

TEST_F(CompressedPtmWriterTest, OptionsThatCannotBeDecodedAreRefused) {
  Ptm* map = make_lrgb_map(CoefRepresentation::wide);
  const struct {
    const char* name;
    std::function<void(CompressedPtmOptions&)> change;
    const char* message;
  } cases[] = {
      {"quality", [](CompressedPtmOptions& o) { o.quality = 101; }, "quality 101"},
      {"NEAR",
       [](CompressedPtmOptions& o) {
         o.compression_type = compression_jpegls;
         o.near = 128;
       },
       "NEAR 128 is not within 0..127"},
      {"codec", [](CompressedPtmOptions& o) { o.compression_type = 3; },
       "compression type 3 is neither JPEG nor JPEG-LS"},
      {"order", [](CompressedPtmOptions& o) { o.order = {0, 1, 2, 3, 4, 5, 6, 7, 7}; },
       "not a permutation"},
      {"reference", [](CompressedPtmOptions& o) { o.planes[3].reference = 9; }, "does not exist"},
      {"inverted I-plane", [](CompressedPtmOptions& o) { o.planes[3].transformation = 1; },
       "does not exist"},
      {"side info on an I-plane",
       [](CompressedPtmOptions& o) {
         o.planes[3].side_info = {{0, 1}};
       },
       "side information needs a P-plane"},
      {"side info outside",
       [](CompressedPtmOptions& o) {
         o.planes[3] = {0, 0, 0, 1, {{width * height, 1}}};
       },
       "outside the map"},
  };
  for (const auto& c : cases) {
    CompressedPtmOptions options;
    c.change(options);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(write_compressed_ptm(*map, path().c_str(), options)) << c.name;
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find(c.message), std::string::npos) << c.name << ": " << output;
  }
  free_ptm(map);
}

// A file that cannot be finished (a full disk) is reported and leaves
// neither a partial file nor the temporary one beside it.
TEST_F(CompressedPtmWriterTest, AWriteThatFailsPartWayLeavesNoFile) {
  Ptm* map = make_lrgb_map(CoefRepresentation::packed);
  CompressedPtmOptions options;
  options.compression_type = compression_jpegls;
  bool written = true;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    FileSizeLimit limit(200);
    written = write_compressed_ptm(*map, path().c_str(), options);
  }
  testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(written);
  EXPECT_NE(err.find("Error writing PTM file " + path()), std::string::npos) << err;
  EXPECT_TRUE(std::filesystem::is_empty(scratch_.path));
  free_ptm(map);
}

// The same smooth content as an uncompressed fixture and as JPEG files:
// stored bytes and rendered pictures agree within JPEG's loss.
TEST_F(CompressedPtmWriterTest, JpegMapsRenderLikeTheirUncompressedSource) {
  for (int format : {PTM_FORMAT_RGB, PTM_FORMAT_LRGB}) {
    PtmFixture f = random_ptm_fixture(format, 2, 24, 16, 3);
    f.bias_line = "128 128 128 128 128 0\n";
    for (int c = 0; c < (format == PTM_FORMAT_RGB ? 3 : 1); ++c) {
      for (int p = 0; p < 24 * 16; ++p) {
        for (int k = 0; k < 6; ++k)
          f.coefficients[c][p * 6 + k] = 60 + 2 * (p % 24) + 3 * (p / 24) + 15 * k - 20 * c;
      }
    }
    for (std::size_t i = 0; i < f.colour.size(); ++i)
      f.colour[i] = 50 + (i / 3) % 24 * 4 + i % 3 * 30;
    const std::string source_path = scratch_.file("source.ptm");
    write_file_bytes(source_path, ptm_fixture_bytes(f));
    for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
      testing::internal::CaptureStdout();
      Ptm* source = read_ptm_file(source_path.c_str(), representation);
      testing::internal::GetCapturedStdout();
      ASSERT_NE(source, nullptr);
      CompressedPtmOptions options;
      options.quality = 95;
      Ptm* jpeg = round_trip(*source, options);
      ASSERT_NE(jpeg, nullptr);
      EXPECT_EQ(jpeg->format, format);
      for (int k = 0; k < (format == PTM_FORMAT_RGB ? 18 : 9); ++k) {
        const Bytes a = plane_of(*source, k);
        const Bytes b = plane_of(*jpeg, k);
        for (std::size_t p = 0; p < a.size(); ++p) {
          ASSERT_LE(std::abs(a[p] - b[p]), 2) << "plane " << k << " pixel " << p;
        }
      }
      RgbImage* expected = new_rgb_image(24, 16);
      RgbImage* actual = new_rgb_image(24, 16);
      for (const auto& [u, v] : {std::pair{0.0f, 0.0f}, {0.5f, 0.3f}, {-0.4f, -0.6f}}) {
        render_plain_image(*expected, *source, u, v, 0, 0);
        render_plain_image(*actual, *jpeg, u, v, 0, 0);
        for (int i = 0; i < 24 * 16 * 3; ++i) {
          ASSERT_LE(std::abs(expected->pixels[i] - actual->pixels[i]), 6)
              << "format " << format << " light " << u << ", " << v << " byte " << i;
        }
      }
      free_rgb_image(expected);
      free_rgb_image(actual);
      free_ptm(jpeg);
      free_ptm(source);
    }
  }
}

// Every integer array two maps of the same format and representation hold:
// stored bytes, colour and the converted coefficients.
void expect_same_arrays(const Ptm& a, const Ptm& b) {
  const std::size_t pixels = pixel_count(a);
  auto same = [](const void* x, const void* y, std::size_t bytes) {
    return (x == nullptr) == (y == nullptr) && (x == nullptr || std::memcmp(x, y, bytes) == 0);
  };
  for (int j = 0; j < 6; ++j) EXPECT_TRUE(same(a.coef_planes[j], b.coef_planes[j], 3 * pixels));
  for (int c = 0; c < 3; ++c) {
    EXPECT_TRUE(same(a.color_planes[c], b.color_planes[c], pixels)) << "colour " << c;
    EXPECT_TRUE(same(a.coef_int[c], b.coef_int[c], 6 * pixels * sizeof(std::int32_t)));
  }
  EXPECT_TRUE(same(a.lum_coef_int, b.lum_coef_int, 6 * pixels * sizeof(std::int32_t)));
  EXPECT_TRUE(same(a.packed_rgb, b.packed_rgb,
                   packed_rgb_values_per_pixel * pixels * sizeof(std::int16_t)));
  EXPECT_TRUE(same(a.packed_lrgb, b.packed_lrgb, pixels * sizeof(PackedLrgbTexel)));
}

// Uncompressed fixtures written as lossless JPEG-LS files, with I-planes
// and P-planes (inverted, shifted by half pixels), read back with every
// stored byte, colour and coefficient as the uncompressed reader gives
// them; near-lossless files within NEAR in every plane.
TEST_F(CompressedPtmWriterTest, JpegLsMapsReadBackExactlyOrWithinNear) {
  for (int format : {PTM_FORMAT_RGB, PTM_FORMAT_LRGB}) {
    const PtmFixture f = random_ptm_fixture(format, 2, 29, 13, 7);
    const std::string source_path = scratch_.file("source.ptm");
    write_file_bytes(source_path, ptm_fixture_bytes(f));
    for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
      SCOPED_TRACE(testing::Message() << "format " << format << " packed "
                                      << (representation == CoefRepresentation::packed));
      testing::internal::CaptureStdout();
      Ptm* source = read_ptm_file(source_path.c_str(), representation);
      testing::internal::GetCapturedStdout();
      ASSERT_NE(source, nullptr);
      const int planes = format == PTM_FORMAT_RGB ? 18 : 9;
      for (int near : {0, 4}) {
        CompressedPtmOptions options;
        options.compression_type = compression_jpegls;
        options.near = near;
        if (near == 0) {
          options.planes[1] = {transform_invert, 0, 0, 0, {}};
          options.planes[4] = {transform_motion, 3, -1, 2, {}};
          options.planes[planes - 1] = {transform_invert | transform_motion, -2, 1, 6, {}};
        }
        Ptm* read = round_trip(*source, options);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->format, format);
        if (near == 0) {
          expect_same_arrays(*read, *source);
        } else {
          int worst = 0;
          for (int k = 0; k < planes; ++k) {
            const Bytes a = plane_of(*source, k);
            const Bytes b = plane_of(*read, k);
            for (std::size_t p = 0; p < a.size(); ++p)
              worst = std::max(worst, std::abs(a[p] - b[p]));
          }
          EXPECT_LE(worst, near);
          EXPECT_GT(worst, 0);  // the loss is used
        }
        free_ptm(read);
      }
      free_ptm(source);
    }
  }
}

}  // namespace
