#include "support/tiff_fixture.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "support/files.h"

namespace {

// libtiff writes through these into a string that grows as needed.
struct Growing {
  std::string bytes;
  std::uint64_t position = 0;
};

Growing* growing(thandle_t handle) { return static_cast<Growing*>(handle); }

tmsize_t read_bytes(thandle_t handle, void* buffer, tmsize_t count) {
  Growing* g = growing(handle);
  if (g->position >= g->bytes.size()) return 0;
  const std::size_t n = std::min<std::size_t>(count, g->bytes.size() - g->position);
  std::memcpy(buffer, g->bytes.data() + g->position, n);
  g->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t write_bytes(thandle_t handle, void* buffer, tmsize_t count) {
  Growing* g = growing(handle);
  if (g->position + count > g->bytes.size()) g->bytes.resize(g->position + count);
  std::memcpy(g->bytes.data() + g->position, buffer, count);
  g->position += count;
  return count;
}

toff_t seek_bytes(thandle_t handle, toff_t offset, int whence) {
  Growing* g = growing(handle);
  const std::uint64_t base =
      whence == SEEK_CUR ? g->position : whence == SEEK_END ? g->bytes.size() : 0;
  g->position = base + offset;
  return g->position;
}

int close_bytes(thandle_t) { return 0; }
toff_t size_of_bytes(thandle_t handle) { return growing(handle)->bytes.size(); }
int no_map(thandle_t, void**, toff_t*) { return 0; }
void no_unmap(thandle_t, void*, toff_t) {}

// The samples of one strip or tile: rows y0.. and columns x0.. of `plane`
// (all samples when interleaved), `columns` x `rows` pixels, padded with
// zeros beyond the picture.
std::vector<std::uint8_t> chunk_bytes(const TiffFixture& f, int x0, int y0, int columns, int rows,
                                      int plane) {
  const int per_pixel = f.planar ? 1 : f.samples_per_pixel;
  const int sample_bytes = f.bits / 8;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(columns) * rows * per_pixel *
                                  sample_bytes);
  if (f.sample_format != 1) return bytes;
  std::size_t at = 0;
  for (int y = y0; y < y0 + rows; ++y) {
    for (int x = x0; x < x0 + columns; ++x) {
      for (int s = 0; s < per_pixel; ++s, at += sample_bytes) {
        if (x >= f.width || y >= f.height) continue;
        const int sample = f.planar ? plane : s;
        const std::uint16_t v =
            f.samples[(static_cast<std::size_t>(y) * f.width + x) * f.samples_per_pixel + sample];
        std::memcpy(bytes.data() + at, &v, sample_bytes);  // little-endian memory
      }
    }
  }
  return bytes;
}

}  // namespace

std::string tiff_fixture_bytes(const TiffFixture& f) {
  Growing out;
  TIFF* tiff = TIFFClientOpen("fixture.tif", "w", &out, read_bytes, write_bytes, seek_bytes,
                              close_bytes, size_of_bytes, no_map, no_unmap);
  if (tiff == nullptr) throw std::runtime_error("libtiff could not start the fixture");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, f.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, f.height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, f.samples_per_pixel);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, f.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, f.sample_format);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, f.photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, f.compression);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, f.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  if (f.photometric == PHOTOMETRIC_RGB && f.samples_per_pixel == 4) {
    const std::uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &alpha);
  }
  if (!f.icc_profile.empty()) {
    TIFFSetField(tiff, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(f.icc_profile.size()),
                 f.icc_profile.data());
  }
  const int planes = f.planar ? f.samples_per_pixel : 1;
  bool written = true;
  if (f.tile_width > 0) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, f.tile_width);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, f.tile_length);
    for (int plane = 0; plane < planes; ++plane) {
      for (int y = 0; y < f.height; y += f.tile_length) {
        for (int x = 0; x < f.width; x += f.tile_width) {
          std::vector<std::uint8_t> tile = chunk_bytes(f, x, y, f.tile_width, f.tile_length, plane);
          const std::uint32_t index = TIFFComputeTile(tiff, x, y, 0, plane);
          written &= TIFFWriteEncodedTile(tiff, index, tile.data(), tile.size()) >= 0;
        }
      }
    }
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, f.rows_per_strip);
    for (int plane = 0; plane < planes; ++plane) {
      for (int y = 0; y < f.height; y += f.rows_per_strip) {
        const int rows = std::min(f.rows_per_strip, f.height - y);
        std::vector<std::uint8_t> strip = chunk_bytes(f, 0, y, f.width, rows, plane);
        const std::uint32_t index = TIFFComputeStrip(tiff, y, plane);
        written &= TIFFWriteEncodedStrip(tiff, index, strip.data(), strip.size()) >= 0;
      }
    }
  }
  TIFFClose(tiff);
  if (!written) throw std::runtime_error("libtiff refused the fixture");
  return out.bytes;
}

void write_tiff_seed_corpus(const std::string& directory) {
  TiffFixture rgb;
  rgb.width = 5;
  rgb.height = 3;
  for (int i = 0; i < 45; ++i) rgb.samples.push_back(static_cast<std::uint16_t>(17 * i));
  rgb.compression = COMPRESSION_LZW;
  rgb.rows_per_strip = 2;
  write_file_bytes(directory + "/rgb8_lzw.tif", tiff_fixture_bytes(rgb));
  TiffFixture tiled = rgb;
  tiled.bits = 16;
  for (std::uint16_t& v : tiled.samples) v = static_cast<std::uint16_t>(v * 97);
  tiled.compression = COMPRESSION_ADOBE_DEFLATE;
  tiled.tile_width = 16;
  tiled.tile_length = 16;
  tiled.planar = true;
  write_file_bytes(directory + "/rgb16_tiles_planar.tif", tiff_fixture_bytes(tiled));
  TiffFixture grey;
  grey.width = 4;
  grey.height = 4;
  grey.photometric = PHOTOMETRIC_MINISWHITE;
  grey.samples_per_pixel = 1;
  for (int i = 0; i < 16; ++i) grey.samples.push_back(static_cast<std::uint16_t>(16 * i));
  write_file_bytes(directory + "/grey8.tif", tiff_fixture_bytes(grey));
}
