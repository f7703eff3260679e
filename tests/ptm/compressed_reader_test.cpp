// Compressed files composed here, header text and plane streams chosen by
// the test: what the reader makes of them, and how it refuses bad ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/checked_alloc.h"
#include "ptm/compressed_decoder.h"
#include "ptm/jpeg_plane.h"
#include "ptm/jpegls_plane.h"
#include "ptm/reader.h"
#include "support/files.h"
#include "support/ptm_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Plane k of the composed files is the constant 10 k + 5: a constant
// plane survives JPEG exactly, so decoded values can be compared exactly.
int plane_value(int k) { return 10 * k + 5; }

Bytes jpeg_of(int value, int width, int height) {
  Bytes stream;
  const Bytes plane(static_cast<std::size_t>(width) * height, static_cast<std::uint8_t>(value));
  EXPECT_TRUE(encode_jpeg_plane(plane.data(), width, height, 90, stream));
  return stream;
}

Bytes jpegls_of(int value, int width, int height) {
  Bytes stream;
  const Bytes plane(static_cast<std::size_t>(width) * height, static_cast<std::uint8_t>(value));
  EXPECT_TRUE(encode_jpegls_plane(plane.data(), width, height, 0, stream));
  return stream;
}

bool is_jpegls_word(const std::string& word) { return word.find("JPEGLS") != std::string::npos; }

struct CompressedFile {
  std::string format_word;
  int planes;
  int width = 8;
  int height = 8;
  std::string scales = "2.0 2.0 2.0 2.0 2.0 2.0";
  std::string biases = "5 5 5 5 5 5";
  // transformation, motion x, motion y, order, reference; sizes and side
  // information sizes follow from `streams` and `side_info` unless set.
  std::vector<int> rows[5];
  std::vector<Bytes> streams;
  std::vector<Bytes> side_info;
  std::vector<std::string> size_row_override;  // [0] sizes, [1] side info sizes

  CompressedFile(const char* word, int count) : format_word(word), planes(count) {
    for (int k = 0; k < count; ++k) {
      rows[0].push_back(0);
      rows[1].push_back(0);
      rows[2].push_back(0);
      rows[3].push_back(k);
      rows[4].push_back(-1);
      streams.push_back(is_jpegls_word(word) ? jpegls_of(plane_value(k), 8, 8)
                                             : jpeg_of(plane_value(k), 8, 8));
      side_info.emplace_back();
    }
  }

  std::string bytes() const {
    std::string out = "PTM_1.2\n" + format_word + "\n" + std::to_string(width) + "\n" +
                      std::to_string(height) + "\n" + scales + "\n" + biases + "\n90\n";
    auto row = [&out](const std::vector<int>& values) {
      for (std::size_t k = 0; k < values.size(); ++k) {
        out += std::to_string(values[k]) + (k + 1 < values.size() ? " " : "\n");
      }
    };
    for (const auto& r : rows) row(r);
    std::vector<int> sizes;
    std::vector<int> side_sizes;
    for (int k = 0; k < planes; ++k) {
      sizes.push_back(static_cast<int>(streams[k].size()));
      side_sizes.push_back(static_cast<int>(side_info[k].size()));
    }
    if (size_row_override.empty()) {
      row(sizes);
      row(side_sizes);
    } else {
      out += size_row_override[0] + "\n" + size_row_override[1] + "\n";
    }
    for (int k = 0; k < planes; ++k) {
      out.append(streams[k].begin(), streams[k].end());
      out.append(side_info[k].begin(), side_info[k].end());
    }
    return out;
  }
};

class CompressedReaderTest : public testing::Test {
 protected:
  Ptm* read(const std::string& bytes, CoefRepresentation representation, std::string& output) {
    write_file_bytes(path_, bytes);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Ptm* ptm = read_ptm_file(path_.c_str(), representation);
    output = testing::internal::GetCapturedStderr();
    output = testing::internal::GetCapturedStdout() + output;
    return ptm;
  }

  void expect_every_truncation_refused(const char* word);

  ScratchDirectory scratch_{"compressed-reader"};
  std::string path_ = scratch_.file("map.ptm");
};

TEST_F(CompressedReaderTest, PlanesLandInTheirCoefficientAndColourPlaces) {
  for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    std::string output;
    Ptm* rgb = read(CompressedFile("PTM_FORMAT_JPEG_RGB", 18).bytes(), representation, output);
    ASSERT_NE(rgb, nullptr) << output;
    EXPECT_EQ(rgb->format, PTM_FORMAT_RGB);
    for (int c = 0; c < 3; ++c) {
      for (int k = 0; k < 6; ++k) {
        const int stored = plane_value(6 * c + k);
        const int units = (stored - 5) * 512 / 256;  // scale 2.0, bias 5
        for (int p : {0, 63}) {
          ASSERT_EQ(rgb->coef_planes[2 * c + k / 3][3 * p + k % 3], stored) << c << " " << k;
          if (representation == CoefRepresentation::packed) {
            EXPECT_EQ(rgb->packed_rgb[24 * p + 8 * c + k], units);
          } else {
            EXPECT_EQ(rgb->coef_int[c][6 * p + k], units * (k == 5 ? 16384 : 16));
          }
        }
      }
    }
    free_ptm(rgb);

    Ptm* lrgb = read(CompressedFile("PTM_FORMAT_JPEG_LRGB", 9).bytes(), representation, output);
    ASSERT_NE(lrgb, nullptr) << output;
    EXPECT_EQ(lrgb->format, PTM_FORMAT_LRGB);
    for (int p : {0, 37, 63}) {
      for (int k = 0; k < 6; ++k) {
        ASSERT_EQ(lrgb->coef_planes[k / 3][3 * p + k % 3], plane_value(k));
        const int units = (plane_value(k) - 5) * 2;
        if (representation == CoefRepresentation::packed) {
          EXPECT_EQ(lrgb->packed_lrgb[p].coef[k], units);
        } else {
          EXPECT_EQ(lrgb->lum_coef_int[6 * p + k], units * (k == 5 ? 16384 : 16));
        }
      }
      std::uint8_t colour[3];
      get_lrgb_color(*lrgb, p, colour);
      EXPECT_EQ(colour[0], plane_value(6));
      EXPECT_EQ(colour[1], plane_value(7));
      EXPECT_EQ(colour[2], plane_value(8));
      if (representation == CoefRepresentation::packed) {
        EXPECT_EQ(lrgb->packed_lrgb[p].zero, 0);
      }
    }
    free_ptm(lrgb);
  }
}

// Files of I-planes only are decoded in bands of rows, side by side; the
// map must hold what decoding each plane whole gives.
TEST_F(CompressedReaderTest, BandDecodingEqualsWholePlaneDecoding) {
  std::mt19937 random(5);
  for (const auto& [word, count] :
       {std::pair{"PTM_FORMAT_JPEG_LRGB", 9}, std::pair{"PTM_FORMAT_JPEG_RGB", 18}}) {
    CompressedFile file(word, count);
    for (Bytes& stream : file.streams) {
      Bytes plane(64);
      for (auto& b : plane) b = static_cast<std::uint8_t>(random());
      ASSERT_TRUE(encode_jpeg_plane(plane.data(), 8, 8, 70, stream));
    }
    std::string output;
    Ptm* ptm = read(file.bytes(), CoefRepresentation::wide, output);
    ASSERT_NE(ptm, nullptr) << output;
    CompressedPtmHeader header;
    ASSERT_EQ(read_compressed_header(path_.c_str(), header), 0);
    DecodedPlanes planes;
    ASSERT_TRUE(decode_planes(header, decode_jpeg_plane, planes));
    free_compressed_header(header);
    for (int k = 0; k < count; ++k) {
      for (int p = 0; p < 64; ++p) {
        const std::uint8_t stored = count == 9 && k >= 6 ? ptm->color_planes[k - 6][p]
                                                         : ptm->coef_planes[k / 3][3 * p + k % 3];
        ASSERT_EQ(stored, planes.plane[k][p]) << word << " plane " << k << " pixel " << p;
      }
    }
    free_ptm(ptm);
  }
}

TEST_F(CompressedReaderTest, BadPlaneLayoutsAndStreamsAreRefused) {
  const Bytes outside_record = {0x00, 0x00, 0x00, 0x40, 0x01};  // pixel 64 of an 8 x 8 plane
  const struct {
    const char* name;
    void (*change)(CompressedFile&, const Bytes&);
    const char* message;
  } cases[] = {
      {"repeated order", [](CompressedFile& f, const Bytes&) { f.rows[3][8] = 0; },
       "not a permutation of 0 .. 8"},
      {"order beyond the planes", [](CompressedFile& f, const Bytes&) { f.rows[3][8] = 9; },
       "not a permutation"},
      {"reference beyond the planes", [](CompressedFile& f, const Bytes&) { f.rows[4][3] = 9; },
       "plane 3 is predicted from plane 9, which does not exist"},
      {"inverted plane without reference",
       [](CompressedFile& f, const Bytes&) { f.rows[0][3] = 1; }, "from plane -1"},
      {"side information not in records",
       [](CompressedFile& f, const Bytes&) {
         f.rows[4][3] = 0;
         f.side_info[3] = {0, 0, 0, 1};
       },
       "4 bytes of side information"},
      {"side information outside the plane",
       [](CompressedFile& f, const Bytes& record) {
         f.rows[4][3] = 0;
         f.side_info[3] = record;
       },
       "sets pixel 64, outside the 8 x 8 plane"},
      {"plane beyond the end of the file",
       [](CompressedFile& f, const Bytes&) {
         f.size_row_override = {"", "0 0 0 0 0 0 0 0 0"};
         for (const Bytes& stream : f.streams) {
           f.size_row_override[0] += std::to_string(stream.size()) + " ";
         }
         f.streams[8].pop_back();
       },
       "plane 8 needs"},
      {"negative size",
       [](CompressedFile& f, const Bytes&) {
         f.size_row_override = {"-1 0 0 0 0 0 0 0 0", "0 0 0 0 0 0 0 0 0"};
       },
       "plane 0 has a negative size"},
      {"word that only contains the keyword",
       [](CompressedFile& f, const Bytes&) { f.format_word = "PTM_FORMAT_JPEG_LRGBX"; },
       "the format word PTM_FORMAT_JPEG_LRGBX is not one of the compressed formats"},
      {"stream of another size",
       [](CompressedFile& f, const Bytes&) { f.streams[5] = jpeg_of(7, 4, 8); },
       "JPEG plane of 4 x 8 samples with 1 components does not fit a 8 x 8 plane"},
      {"stream that is not JPEG",
       [](CompressedFile& f, const Bytes&) {
         f.streams[2] = {'n', 'o', 't', ' ', 'J', 'P', 'E', 'G'};
       },
       "JPEG plane cannot be decoded"},
      {"empty stream", [](CompressedFile& f, const Bytes&) { f.streams[2].clear(); },
       "JPEG plane cannot be decoded"},
      {"missing plane numbers", [](CompressedFile& f, const Bytes&) { f.rows[2].pop_back(); },
       "is not an integer"},
  };
  for (const char* word : {"PTM_FORMAT_JPEG_LRGB", "PTM_FORMAT_JPEGLS_LRGB"}) {
    for (const auto& c : cases) {
      const bool jpeg_stream_case = std::string(c.message).find("JPEG plane") != std::string::npos;
      if (is_jpegls_word(word) && jpeg_stream_case) continue;
      CompressedFile file(word, 9);
      c.change(file, outside_record);
      const std::string bytes = file.bytes();
      for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
        std::string output;
        Ptm* ptm = read(bytes, representation, output);
        EXPECT_EQ(ptm, nullptr) << word << ": " << c.name;
        EXPECT_NE(output.find(c.message), std::string::npos) << c.name << ":\n" << output;
        free_ptm(ptm);
      }
    }
  }
}

// A JPEG-LS plane the codec cannot decode into the plane prints the
// codec's messages and ours, abandons the plane and refuses the map.
TEST_F(CompressedReaderTest, BadJpegLsStreamsAreRefused) {
  const struct {
    const char* name;
    Bytes stream;
    const char* message;
  } cases[] = {
      {"stream of another size", jpegls_of(7, 4, 8),
       "JPEG-LS plane of 4 x 8 samples with 1 components of alphabet 256 does not fit a 8 x 8 "
       "plane of bytes"},
      {"stream that is not JPEG-LS", {'n', 'o', 't', ' ', 'J', 'L', 'S'}, "StartDecode failed"},
      {"empty stream", {}, "Info_Read : couldn't find jmark SOI!"},
      {"stream cut in its scan",
       [] {
         Bytes s = jpegls_of(7, 8, 8);
         s.resize(s.size() - 4);
         return s;
       }(),
       "Decode CB failed"},
  };
  for (const auto& c : cases) {
    CompressedFile file("PTM_FORMAT_JPEGLS_RGB", 18);
    file.streams[2] = c.stream;
    std::string output;
    Ptm* ptm = read(file.bytes(), CoefRepresentation::packed, output);
    EXPECT_EQ(ptm, nullptr) << c.name;
    EXPECT_NE(output.find(c.message), std::string::npos) << c.name << ":\n" << output;
    EXPECT_NE(output.find("Compressed plane 2 cannot be decoded into a 8 x 8 plane"),
              std::string::npos)
        << c.name << ":\n"
        << output;
    free_ptm(ptm);
  }
}

TEST_F(CompressedReaderTest, EveryTruncationIsRefused) {
  for (const char* word : {"PTM_FORMAT_JPEG_LRGB", "PTM_FORMAT_JPEGLS_LRGB"}) {
    SCOPED_TRACE(word);
    expect_every_truncation_refused(word);
  }
}

void CompressedReaderTest::expect_every_truncation_refused(const char* word) {
  CompressedFile file(word, 9);
  file.rows[4][4] = 1;  // a P-plane with side information, to cut inside that too
  file.side_info[4] = {0x00, 0x00, 0x00, 0x05, 0x7F};
  const std::string bytes = file.bytes();
  std::string output;
  Ptm* whole = read(bytes, CoefRepresentation::packed, output);
  ASSERT_NE(whole, nullptr) << output;
  EXPECT_EQ(whole->coef_planes[1][3 * 5 + 1], 0x7F);
  free_ptm(whole);
  // Every cut inside the text, then cuts through the plane data: the first
  // and last bytes of each plane and a stride across the rest (each read
  // costs a file, and the cuts inside a stream all end the same way).
  std::vector<std::size_t> lengths;
  const std::size_t data_start = bytes.size() - [&] {
    std::size_t total = 0;
    for (int k = 0; k < 9; ++k) total += file.streams[k].size() + file.side_info[k].size();
    return total;
  }();
  for (std::size_t length = 0; length <= data_start; ++length) lengths.push_back(length);
  std::size_t plane_start = data_start;
  for (int k = 0; k < 9; ++k) {
    const std::size_t plane_end = plane_start + file.streams[k].size() + file.side_info[k].size();
    for (std::size_t length = plane_start + 1; length < plane_end; length += 31) {
      lengths.push_back(length);
    }
    lengths.push_back(plane_end - 1);
    plane_start = plane_end;
  }
  for (std::size_t length : lengths) {
    Ptm* ptm = read(bytes.substr(0, length), CoefRepresentation::packed, output);
    ASSERT_EQ(ptm, nullptr) << "length " << length << ":\n" << output;
  }
}

}  // namespace

// Side information belongs to P-planes: on an I-plane it is read past and
// ignored, the plane is its decoded stream unchanged. Plane 3 (a3, the
// constant 35) carries a record for pixel 5 with 0x7F, in files of
// I-planes only (JPEG: decoded in bands) and in files with a P-plane too
// (decoded plane by plane).
TEST_F(CompressedReaderTest, SideInformationOnAnIPlaneIsIgnored) {
  for (const char* word : {"PTM_FORMAT_JPEG_LRGB", "PTM_FORMAT_JPEGLS_LRGB"}) {
    for (const bool with_p_plane : {false, true}) {
      SCOPED_TRACE(std::string(word) + (with_p_plane ? " with a P-plane" : ""));
      CompressedFile file(word, 9);
      file.side_info[3] = {0x00, 0x00, 0x00, 0x05, 0x7F};
      if (with_p_plane) file.rows[4][4] = 1;  // plane 4 predicted from plane 1
      std::string output;
      Ptm* ptm = read(file.bytes(), CoefRepresentation::wide, output);
      ASSERT_NE(ptm, nullptr) << output;
      for (int p : {4, 5, 6}) EXPECT_EQ(ptm->coef_planes[1][3 * p], plane_value(3)) << p;
      // The P-plane: plane 1 plus its residual minus 128, modulo 256.
      const int predicted =
          with_p_plane ? (plane_value(1) + plane_value(4) - 128 + 256) % 256 : plane_value(4);
      EXPECT_EQ(ptm->coef_planes[1][3 * 5 + 1], predicted);
      // And the colour plane after it is where it belongs.
      std::uint8_t colour[3];
      get_lrgb_color(*ptm, 5, colour);
      EXPECT_EQ(colour[0], plane_value(6));
      free_ptm(ptm);
    }
  }
}

namespace {

// The frame header of a stream (JPEG SOFn or JPEG-LS SOF55, marker
// `code`) rewritten to announce width x height: segment length (2 bytes),
// sample precision (1), then the height and width (2 bytes each, big
// endian), T.81 B.2.2 and T.87 C.2.2.
Bytes with_frame_size(Bytes stream, std::uint8_t code, int width, int height) {
  for (std::size_t i = 0; i + 8 < stream.size(); ++i) {
    if (stream[i] != 0xFF || stream[i + 1] != code) continue;
    stream[i + 5] = static_cast<std::uint8_t>(height >> 8);
    stream[i + 6] = static_cast<std::uint8_t>(height);
    stream[i + 7] = static_cast<std::uint8_t>(width >> 8);
    stream[i + 8] = static_cast<std::uint8_t>(width);
    return stream;
  }
  ADD_FAILURE() << "no frame header";
  return stream;
}

}  // namespace

// Files whose few bytes announce a map of about 10^9 pixels are refused,
// with the reason, before the map is allocated: the fuzz target's input
// (a format word that only contains a compressed keyword), and planes
// whose frame headers announce 60000 x 16000 samples in a few dozen bytes,
// where JPEG-LS needs a byte for at most 8 x 2^15 samples and Huffman-coded
// JPEG for at most 8 x 64.
TEST_F(CompressedReaderTest, FilesThatCannotHoldTheirMapAreRefusedBeforeAllocating) {
  constexpr int width = 60000;
  constexpr int height = 16000;
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
  };
  std::vector<Case> cases = {
      {"the fuzz target's input", oversized_compressed_claim(),
       "Compressed ptm file " + path_ +
           " cannot be read: the format word PTM_FORMA_FORMAT_JPEGLS_LRGB0T_\xdbTM_LU~ is not one "
           "of the compressed formats\n"},
  };
  for (const char* word : {"PTM_FORMAT_JPEGLS_LRGB", "PTM_FORMAT_JPEG_LRGB"}) {
    CompressedFile file(word, 9);
    file.width = width;
    file.height = height;
    const std::uint8_t frame = is_jpegls_word(word) ? 0xF7 : 0xC0;
    for (Bytes& stream : file.streams) stream = with_frame_size(stream, frame, width, height);
    cases.push_back({word, file.bytes(),
                     "Compressed ptm file " + path_ + " cannot be read: the " +
                         std::to_string(file.streams[0].size()) +
                         " bytes of plane 0 cannot hold a 60000 x 16000 plane\n"});
  }
  for (const Case& c : cases) {
    for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
      const std::uint64_t before = bytes_allocated();
      std::string output;
      Ptm* ptm = read(c.bytes, representation, output);
      EXPECT_EQ(ptm, nullptr) << c.name;
      // The map would take some 20 GB; a probe of a stream takes a
      // decompression record.
      EXPECT_LT(bytes_allocated() - before, 1u << 20) << c.name << ": allocated before refusing";
      EXPECT_NE(output.find(c.message), std::string::npos) << c.name << ":\n" << output;
      free_ptm(ptm);
    }
  }
}
