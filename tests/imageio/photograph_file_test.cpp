#include "imageio/photograph_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/jpeg_fixture.h"
#include "support/png_fixture.h"
#include "support/tiff_fixture.h"

namespace {

std::vector<std::uint16_t> samples_of(const Photograph& p) {
  if (p.bits == 16) return p.samples16;
  return std::vector<std::uint16_t>(p.samples8.begin(), p.samples8.end());
}

// The process's peak resident memory so far, in bytes.
long long peak_memory() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<long long>(usage.ru_maxrss) * 1024;  // Linux reports kilobytes
}

void put_big_endian(std::string& bytes, std::size_t at, std::uint32_t v, int count) {
  for (int i = 0; i < count; ++i) bytes[at + i] = static_cast<char>(v >> (8 * (count - 1 - i)));
}

// Small valid pictures whose headers are then made to claim width x
// height pixels: the JPEG's frame header, the PNG's image header (with
// its CRC), the TIFF's width and length tags, the PPM's header.
std::vector<std::pair<std::string, std::string>> forged_pictures(std::uint32_t width,
                                                                 std::uint32_t height) {
  JpegFixture jpeg;
  jpeg.width = jpeg.height = 8;
  jpeg.samples.assign(8 * 8 * 3, 90);
  std::string jpeg_bytes = jpeg_fixture_bytes(jpeg);
  const std::size_t frame = jpeg_bytes.find("\xFF\xC0");
  put_big_endian(jpeg_bytes, frame + 5, height, 2);
  put_big_endian(jpeg_bytes, frame + 7, width, 2);

  std::string png = png_fixture_bytes({1, 1, 0, 8, false, {0}, {}});
  put_big_endian(png, 16, width, 4);
  put_big_endian(png, 20, height, 4);
  put_big_endian(png, 29, static_cast<std::uint32_t>(
                              crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17)), 4);

  TiffFixture tiff;
  tiff.width = tiff.height = 1;
  tiff.rows_per_strip = 65535;
  tiff.samples = {1, 2, 3};
  std::string tiff_bytes = tiff_fixture_bytes(tiff);
  // The directory (little-endian): an entry count, then 12-byte entries of
  // tag, type, count and value; tags 256 and 257 are written as shorts.
  const std::size_t directory = static_cast<std::uint8_t>(tiff_bytes[4]) |
                                static_cast<std::uint8_t>(tiff_bytes[5]) << 8;
  const int entries = static_cast<std::uint8_t>(tiff_bytes[directory]);
  for (int e = 0; e < entries; ++e) {
    const std::size_t at = directory + 2 + 12 * e;
    const int tag = static_cast<std::uint8_t>(tiff_bytes[at]) | static_cast<std::uint8_t>(tiff_bytes[at + 1]) << 8;
    if (tag == 256 || tag == 257) {
      const std::uint32_t v = tag == 256 ? width : height;
      tiff_bytes[at + 8] = static_cast<char>(v & 0xFF);
      tiff_bytes[at + 9] = static_cast<char>(v >> 8);
    }
  }
  const std::string ppm =
      "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" + "abcdef";
  return {{"forged.jpg", jpeg_bytes}, {"forged.png", png}, {"forged.tif", tiff_bytes},
          {"forged.ppm", ppm}};
}

}  // namespace

// Names that say another format change nothing; 16-bit files stay 16-bit;
// grey becomes three equal samples; rows come bottom-up.
TEST(PhotographFile, ReadsEachFormatByItsContentAtItsPrecision) {
  ScratchDirectory dir("photograph-file");
  TiffFixture tiff;
  tiff.width = 2;
  tiff.height = 2;
  tiff.bits = 16;
  tiff.samples = {1, 2, 3, 4, 5, 6, 65535, 32768, 0, 7, 8, 9};
  const struct {
    const char* name;
    std::string bytes;
    int width;
    int height;
    int bits;
    std::vector<std::uint16_t> rgb;  // bottom row first
  } cases[] = {
      {"png8.jpg", png_fixture_bytes({2, 1, 2, 8, false, {1, 2, 3, 250, 251, 252}, {}}), 2, 1,
       8, {1, 2, 3, 250, 251, 252}},
      {"grey16.png", png_fixture_bytes({1, 2, 0, 16, false, {0x1234, 0xFEDC}, {}}), 1, 2, 16,
       {0xFEDC, 0xFEDC, 0xFEDC, 0x1234, 0x1234, 0x1234}},
      {"binary.png", std::string("P6\n# a comment\n1 2\n255\n\x01\x02\x03\xfd\xfe\xff", 29), 1,
       2, 8, {253, 254, 255, 1, 2, 3}},
      {"one-line header.ppm", std::string("P6 1 1 65535\n\x12\x34\x56\x78\x9a\xbc", 19), 1, 1,
       16, {0x1234, 0x5678, 0x9abc}},
      {"grey.pgm", std::string("P5\n2 1\n255\n\x10\xf0", 13), 2, 1, 8,
       {16, 16, 16, 240, 240, 240}},
      // 1023 rescaled to 65535: v * 65535 / 1023, rounded.
      {"plain 10-bit.ppm", "P3\n1 1 # width and height\n1023\n0 512 1023\n", 1, 1, 16,
       {0, 32800, 65535}},
      // 15 rescaled to 255: v * 17.
      {"plain 4-bit.pgm", "P2 2 1 15 3\n15\n", 2, 1, 8, {51, 51, 51, 255, 255, 255}},
      {"tiff16.png", tiff_fixture_bytes(tiff), 2, 2, 16,
       {65535, 32768, 0, 7, 8, 9, 1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    write_file_bytes(path, c.bytes);
    PhotographHeader header;
    EXPECT_TRUE(read_photograph_header(path.c_str(), header));
    EXPECT_EQ(header.width, c.width);
    EXPECT_EQ(header.height, c.height);
    EXPECT_EQ(header.bits, c.bits);
    // Reading holds the samples, and the whole file but for TIFF.
    const bool tiff = c.bytes.compare(0, 2, "II") == 0 || c.bytes.compare(0, 2, "MM") == 0;
    EXPECT_EQ(header.reading_bytes,
              c.rgb.size() * (c.bits / 8) + (tiff ? 0 : c.bytes.size()));
    Photograph photograph;
    ASSERT_EQ(read_photograph(path.c_str(), PhotographRequest{}, photograph),
              PhotographRead::read);
    EXPECT_EQ(photograph.width, c.width);
    EXPECT_EQ(photograph.height, c.height);
    EXPECT_EQ(photograph.bits, c.bits);
    EXPECT_EQ(samples_of(photograph), c.rgb);
    // The 8-bit image the viewer shows: 16-bit samples rounded (v / 257).
    RgbImage* image = photograph_rgb_image(photograph);
    for (std::size_t i = 0; i < c.rgb.size(); ++i) {
      const int expected = c.bits == 16 ? (c.rgb[i] * 2 + 257) / 514 : c.rgb[i];
      EXPECT_EQ(image->pixels[i], expected) << i;
    }
    free_rgb_image(image);
  }
}

// The 629-byte JPEG claimed 26000 x 26000 pixels and made the
// viewer allocate 2 GB. Headers of 16000 x 16000 pixels (within the
// limit, 768 MB of samples) asked for at another size must cost nothing;
// beyond the limit they are refused whoever asks.
TEST(PhotographFile, AHeaderOfAnotherSizeIsRefusedBeforeAnyPixelIsAllocated) {
  const long long before = peak_memory();
  PhotographRequest request;
  request.width = 64;
  request.height = 48;
  for (const auto& [name, bytes] : forged_pictures(16000, 16000)) {
    SCOPED_TRACE(name);
    Photograph photograph;
    testing::internal::CaptureStdout();
    EXPECT_EQ(decode_photograph(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                bytes.size(), name.c_str(), request, photograph),
              PhotographRead::other_size);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(photograph.width, 16000);
    EXPECT_EQ(photograph.height, 16000);
    EXPECT_TRUE(photograph.samples8.empty() && photograph.samples16.empty());
  }
  EXPECT_LT(peak_memory() - before, 64LL << 20);

  ScratchDirectory dir("photograph-file");
  for (const auto& [name, bytes] : forged_pictures(26000, 26000)) {
    SCOPED_TRACE(name);
    const std::string path = dir.file(name);
    write_file_bytes(path, bytes);
    const std::string message =
        "Photograph " + path + " is too large: 26000 x 26000 pixels, more than 268435456\n";
    Photograph photograph;
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_photograph(path.c_str(), PhotographRequest{}, photograph),
              PhotographRead::unreadable);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), message);
    PhotographHeader header;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(read_photograph_header(path.c_str(), header));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), message);
  }
  EXPECT_LT(peak_memory() - before, 64LL << 20);
}

// A JPEG's size comes from its frame header, also behind profile or Exif
// segments longer than the first bytes read; a stream only libjpeg can
// judge (CMYK) is refused as the decoder refuses it.
TEST(PhotographFile, AJpegHeaderIsReadWhereverItsFrameHeaderLies) {
  ScratchDirectory dir("photograph-file");
  const std::string long_segment(60000, 'x');
  const struct {
    const char* name;
    int components;
    std::vector<std::string> app2;
    bool read;
    // Bytes after the start of image that libjpeg skips as garbage (0xFF
    // 0x00 is no marker), then an APP0 segment holding a frame header of
    // 16 x 16 where a reading that took 0xFF 0x00 for a marker of length
    // 10 would land.
    std::string garbage;
  } cases[] = {{"plain.jpg", 3, {}, true, ""},
               {"grey.jpg", 1, {}, true, ""},
               {"two long segments.jpg", 3, {long_segment, long_segment}, true, ""},
               {"garbage.jpg", 3, {}, true, std::string("\xFF\x00\x00\x0A\xFF\xE0\x00\x12\x00\x00\x00\x00"
                                                   "\xFF\xC0\x00\x11\x08\x00\x10\x00\x10\x03\x00\x00",
                                                   24)},
               {"cmyk.jpg", 4, {}, false, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JpegFixture jpeg;
    jpeg.width = 40;
    jpeg.height = 24;
    jpeg.components = c.components;
    jpeg.samples.assign(40 * 24 * c.components, 90);
    jpeg.app2_payloads = c.app2;
    std::string bytes = jpeg_fixture_bytes(jpeg);
    bytes.insert(2, c.garbage);
    write_file_bytes(dir.file(c.name), bytes);
    PhotographHeader header;
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_photograph_header(dir.file(c.name).c_str(), header), c.read);
    const std::string out = testing::internal::GetCapturedStdout();
    if (!c.read) {
      EXPECT_NE(out.find("without an RGB rendering (CMYK)"), std::string::npos) << out;
      continue;
    }
    EXPECT_EQ(out, "");
    EXPECT_EQ(header.width, 40);
    EXPECT_EQ(header.height, 24);
    EXPECT_EQ(header.bits, 8);
    EXPECT_EQ(header.reading_bytes, 40u * 24 * 3 + bytes.size());
  }
}

TEST(PhotographFile, RefusesWhatIsNoWholePhotographWithAMessageNamingIt) {
  ScratchDirectory dir("photograph-file");
  std::filesystem::create_directories(dir.file("folder"));
  const struct {
    const char* name;
    const char* bytes;  // null: no file
    const char* message;
  } cases[] = {
      {"missing.jpg", nullptr, "cannot be opened: No such file or directory"},
      {"folder", nullptr, "is not a JPEG, PNG, PPM, PGM or TIFF picture"},
      {"empty.png", "", "is not a JPEG, PNG, PPM, PGM or TIFF picture"},
      {"notes.jpg", "GIF89a, or some other text", "is not a JPEG, PNG, PPM, PGM or TIFF picture"},
      {"short.ppm", "P6\n4 4\n255\nabc", "cannot be decoded: it ends before its pixel data is complete"},
      {"no maximum.ppm", "P6\n4 4\n", "cannot be decoded: its header has no maximum value of 1 to 65535"},
      {"over maximum.ppm", "P3\n1 1\n100\n1 2 101\n",
       "cannot be decoded: a sample is not a number of 0 to its maximum value"},
      {"letters.ppm", "P3\n1 1\n255\n1 x 3\n",
       "cannot be decoded: a sample is not a number of 0 to its maximum value"},
      {"zero width.pgm", "P5\n0 4\n255\n", "cannot be decoded: its header has no valid width and height"},
      {"signature only.png", "\x89PNG\r\n\x1a\n", "cannot be decoded: its header is damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    if (c.bytes != nullptr) write_file_bytes(path, c.bytes);
    Photograph photograph;
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_photograph(path.c_str(), PhotographRequest{}, photograph),
              PhotographRead::unreadable);
    const std::string message = testing::internal::GetCapturedStdout();
    EXPECT_NE(message.find(path + " " + c.message), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    EXPECT_TRUE(photograph.samples8.empty() && photograph.samples16.empty());
  }
}
