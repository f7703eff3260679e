#include "support/png_fixture.h"

#include <png.h>
#include <zlib.h>

#include <stdexcept>

#include "support/files.h"

namespace {

int channels_of(int color_type) {
  switch (color_type) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    default: return 4;
  }
}

void append_bytes(png_structp png, png_bytep data, std::size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), size);
}

void no_flush(png_structp) {}

// One row of samples packed as PNG stores them: big-endian 16-bit values,
// or sub-byte values filling each byte from its high bits.
std::vector<png_byte> packed_row(const PngFixture& f, int y) {
  const int values = f.width * channels_of(f.color_type);
  const std::uint16_t* row = f.samples.data() + static_cast<std::size_t>(y) * values;
  std::vector<png_byte> bytes;
  if (f.bit_depth == 16) {
    for (int i = 0; i < values; ++i) {
      bytes.push_back(static_cast<png_byte>(row[i] >> 8));
      bytes.push_back(static_cast<png_byte>(row[i] & 0xff));
    }
  } else if (f.bit_depth == 8) {
    for (int i = 0; i < values; ++i) bytes.push_back(static_cast<png_byte>(row[i]));
  } else {
    bytes.assign((values * f.bit_depth + 7) / 8, 0);
    for (int i = 0; i < values; ++i) {
      const int bit = i * f.bit_depth;
      bytes[bit / 8] |= static_cast<png_byte>(row[i] << (8 - f.bit_depth - bit % 8));
    }
  }
  return bytes;
}

void append_big_endian(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
}

// An iCCP chunk (PNG 11.3.3.3): a keyword, compression method 0, the
// profile as a zlib stream.
std::string iccp_chunk(const std::string& profile) {
  uLongf compressed_size = compressBound(profile.size());
  std::string compressed(compressed_size, '\0');
  compress(reinterpret_cast<Bytef*>(compressed.data()), &compressed_size,
           reinterpret_cast<const Bytef*>(profile.data()), profile.size());
  compressed.resize(compressed_size);
  const std::string body = std::string("iCCP") + std::string("ICC profile\0\0", 13) + compressed;
  std::string chunk;
  append_big_endian(chunk, static_cast<std::uint32_t>(body.size() - 4));
  chunk += body;
  append_big_endian(chunk, static_cast<std::uint32_t>(
                               crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
  return chunk;
}

}  // namespace

std::string png_fixture_bytes(const PngFixture& f) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<std::vector<png_byte>> rows;
  for (int y = 0; y < f.height; ++y) rows.push_back(packed_row(f, y));
  std::vector<png_bytep> row_pointers;
  for (auto& row : rows) row_pointers.push_back(row.data());
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng refused the fixture");
  }
  png_set_write_fn(png, &out, append_bytes, no_flush);
  png_set_IHDR(png, info, f.width, f.height, f.bit_depth, f.color_type,
               f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (std::size_t i = 0; i + 2 < f.palette.size(); i += 3) {
    palette.push_back({f.palette[i], f.palette[i + 1], f.palette[i + 2]});
  }
  if (f.color_type == 3) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_set_rows(png, info, row_pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string png_with_icc_profile(const std::string& png, const std::string& profile) {
  // The signature (8 bytes) and the image header chunk (25) come first.
  std::string out = png;
  out.insert(33, iccp_chunk(profile));
  return out;
}

void write_png_seed_corpus(const std::string& directory) {
  PngFixture rgb{3, 2, 2, 8, false, {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9, 1, 2, 3, 200, 100, 50}, {}};
  write_file_bytes(directory + "/rgb8.png", png_fixture_bytes(rgb));
  PngFixture grey16{2, 2, 0, 16, true, {0, 65535, 4660, 513}, {}};
  write_file_bytes(directory + "/grey16_interlaced.png", png_fixture_bytes(grey16));
  PngFixture indexed{4, 1, 3, 2, false, {0, 1, 2, 3}, {0, 0, 0, 10, 20, 30, 255, 255, 255, 7, 8, 9}};
  write_file_bytes(directory + "/palette2.png", png_fixture_bytes(indexed));
  PngFixture rgba{1, 2, 6, 16, false, {100, 200, 300, 400, 65535, 0, 1, 2}, {}};
  write_file_bytes(directory + "/rgba16.png", png_fixture_bytes(rgba));
}
