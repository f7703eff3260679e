// The binary data of the uncompressed formats. Each format is read in one
// pass over the pixels, a chunk at a time: each pixel's stored bytes go into
// the coefficient planes, its integer coefficients and its colour at once. Formats whose file
// layout puts a pixel's bytes in several blocks (RGB and LRGB version 1.2, the table formats) read
// every block through its own cursor, so each output array is written once.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ptm/coefficients.h"
#include "ptm/convert_lrgb_rows.h"
#include "ptm/ptm_file_header.h"

namespace {

constexpr std::size_t chunk_pixels = 16384;

// One block of the file, read chunk by chunk from its own offset.
struct BlockCursor {
  int fd;
  std::uint64_t offset;
  std::vector<std::uint8_t> buffer;
};

// Reads the next `bytes` bytes of the block; false on a read error or an
// early end of file.
bool read_chunk(BlockCursor& cursor, std::size_t bytes) {
  // Padding for the vectorised kernels, which read a word past the last pixel.
  cursor.buffer.resize(bytes + 8);
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = pread(cursor.fd, cursor.buffer.data() + done, bytes - done,
                            static_cast<off_t>(cursor.offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  cursor.offset += bytes;
  return true;
}

bool read_error(const char* path) {
  std::printf("Read error on ptm file %s: the data cannot be read to its end\n", path);
  return false;
}

bool read_rgb(Ptm& ptm, const PtmFileHeader& header, int fd, const char* path,
              const CoefficientTables& tables) {
  const std::size_t pixels = pixel_count(ptm);
  const bool blocked = header.version_minor == 2;  // three channel blocks, else 18 bytes per pixel
  std::vector<BlockCursor> blocks;
  for (int c = 0; c < (blocked ? 3 : 1); ++c) {
    blocks.push_back({fd, header.data_offset + (blocked ? c * pixels * 6 : 0), {}});
  }
  for (std::size_t first = 0; first < pixels; first += chunk_pixels) {
    const std::size_t count = std::min(chunk_pixels, pixels - first);
    for (BlockCursor& block : blocks) {
      if (!read_chunk(block, count * (blocked ? 6 : 18))) return read_error(path);
    }
    for (std::size_t i = 0; i < count; ++i) {
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t* six =
            blocked ? blocks[c].buffer.data() + i * 6 : blocks[0].buffer.data() + i * 18 + c * 6;
        store_stored_bytes(ptm.coef_planes[2 * c], ptm.coef_planes[2 * c + 1], first + i, six);
        convert_rgb_channel(ptm, tables, first + i, c, six);
      }
    }
  }
  return true;
}

bool read_lrgb(Ptm& ptm, const PtmFileHeader& header, int fd, const char* path,
               const CoefficientTables& tables) {
  const std::size_t pixels = pixel_count(ptm);
  const bool blocked = header.version_minor == 2;  // coefficient block, colour block
  BlockCursor coefficients{fd, header.data_offset, {}};
  BlockCursor colours{fd, header.data_offset + pixels * 6, {}};
  for (std::size_t first = 0; first < pixels; first += chunk_pixels) {
    const std::size_t count = std::min(chunk_pixels, pixels - first);
    if (!read_chunk(coefficients, count * (blocked ? 6 : 9)) ||
        (blocked && !read_chunk(colours, count * 3))) {
      return read_error(path);
    }
    if (blocked) {
      convert_lrgb_rows(ptm, tables, first, count, coefficients.buffer.data(),
                        colours.buffer.data());
      continue;
    }
    // Version 1.1: nine bytes per pixel, the colour after the coefficients.
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* nine = coefficients.buffer.data() + i * 9;
      store_stored_bytes(ptm.coef_planes[0], ptm.coef_planes[1], first + i, nine);
      convert_luminance_pixel(ptm, tables, first + i, nine, nine + 6);
    }
  }
  return true;
}

bool read_lum(Ptm& ptm, const PtmFileHeader& header, int fd, const char* path,
              const CoefficientTables& tables) {
  const std::size_t pixels = pixel_count(ptm);
  BlockCursor data{fd, header.data_offset, {}};
  for (std::size_t first = 0; first < pixels; first += chunk_pixels) {
    const std::size_t count = std::min(chunk_pixels, pixels - first);
    if (!read_chunk(data, count * 8)) return read_error(path);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* eight = data.buffer.data() + i * 8;
      store_stored_bytes(ptm.coef_planes[0], ptm.coef_planes[1], first + i, eight);
      convert_luminance_pixel(ptm, tables, first + i, eight, nullptr);
      ptm.color_planes[0][first + i] = eight[6];
      ptm.color_planes[2][first + i] = eight[7];
    }
  }
  return true;
}

// PTM_LUT (6-byte entries, colour per pixel after the indices) and
// PTM_C_LUT (9-byte entries with the colour). Indices are one byte for up
// to 256 entries, else two bytes little-endian.
bool read_table(Ptm& ptm, const PtmFileHeader& header, int fd, const char* path,
                const CoefficientTables& tables) {
  const std::size_t pixels = pixel_count(ptm);
  const bool with_colour = header.format == PTM_FORMAT_PTM_C_LUT;
  const std::size_t entry_bytes = with_colour ? 9 : 6;
  const std::size_t entries = static_cast<std::size_t>(header.lut_entries);
  const std::size_t index_bytes = entries <= 256 ? 1 : 2;
  BlockCursor table{fd, header.data_offset, {}};
  if (!read_chunk(table, entries * entry_bytes)) return read_error(path);
  BlockCursor indices{fd, table.offset, {}};
  BlockCursor colours{fd, table.offset + pixels * index_bytes, {}};
  for (std::size_t first = 0; first < pixels; first += chunk_pixels) {
    const std::size_t count = std::min(chunk_pixels, pixels - first);
    if (!read_chunk(indices, count * index_bytes) ||
        (!with_colour && !read_chunk(colours, count * 3))) {
      return read_error(path);
    }
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* stored = indices.buffer.data() + i * index_bytes;
      const std::size_t index = index_bytes == 1 ? stored[0] : stored[0] | (stored[1] << 8);
      if (index >= entries) {
        std::printf("LUT index %zu at pixel %zu is beyond the %zu entries of ptm file %s\n", index,
                    first + i, entries, path);
        return false;
      }
      const std::uint8_t* entry = table.buffer.data() + index * entry_bytes;
      store_stored_bytes(ptm.coef_planes[0], ptm.coef_planes[1], first + i, entry);
      convert_luminance_pixel(ptm, tables, first + i, entry,
                              with_colour ? entry + 6 : colours.buffer.data() + i * 3);
    }
  }
  return true;
}

}  // namespace

std::uint64_t uncompressed_data_bytes(const PtmFileHeader& header) {
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height);
  const std::uint64_t entries = static_cast<std::uint64_t>(header.lut_entries);
  const std::uint64_t index_bytes = entries <= 256 ? 1 : 2;
  switch (header.format) {
    case PTM_FORMAT_RGB:
      return pixels * 18;
    case PTM_FORMAT_LRGB:
      return pixels * 9;
    case PTM_FORMAT_LUM:
      return pixels * 8;
    case PTM_FORMAT_PTM_LUT:
      return entries * 6 + pixels * (index_bytes + 3);
    case PTM_FORMAT_PTM_C_LUT:
      return entries * 9 + pixels * index_bytes;
    default:
      return 0;
  }
}

bool read_uncompressed_data(Ptm& ptm, const PtmFileHeader& header, int fd, const char* path) {
  CoefficientTables tables;
  build_coefficient_tables(ptm.scale_bias, tables);
  switch (header.format) {
    case PTM_FORMAT_RGB:
      return read_rgb(ptm, header, fd, path, tables);
    case PTM_FORMAT_LRGB:
      return read_lrgb(ptm, header, fd, path, tables);
    case PTM_FORMAT_LUM:
      return read_lum(ptm, header, fd, path, tables);
    case PTM_FORMAT_PTM_LUT:
    case PTM_FORMAT_PTM_C_LUT:
      return read_table(ptm, header, fd, path, tables);
    default:
      return false;
  }
}
