// Writing uncompressed 24-bit true-colour Truevision TGA files (image
// type 2). The 18-byte header is little-endian:
//   0  image-ID length        1  colour-map type (0)   2  image type (2)
//   3  colour-map fields (5 bytes of 0)                8  x origin  10  y origin
//  12  width                 14  height               16  bits per pixel (24)
//  17  image descriptor (0: origin at the lower left, no alpha bits)
// The image ID follows the header, then the pixels as B, G, R, bottom row
// first, which is the order the bottom-up images are kept in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/output_file.h"
#include "imageio/image_files.h"
#include "imageio/picture_writer.h"

namespace {

constexpr std::size_t header_size = 18;

// The ID length is one byte; the text keeps its terminating zero, so at
// most 254 characters fit.
constexpr std::size_t max_id_characters = 254;

void put_le16(std::uint8_t* at, int value) {
  at[0] = static_cast<std::uint8_t>(value & 0xff);
  at[1] = static_cast<std::uint8_t>((value >> 8) & 0xff);
}

}  // namespace

bool write_tga_header(std::FILE* file, int width, int height, const char* id_text) {
  std::uint8_t header[header_size + 256] = {};
  const std::size_t id_length = id_text != nullptr ? strnlen(id_text, max_id_characters) : 0;
  header[0] = id_length > 0 ? static_cast<std::uint8_t>(id_length + 1) : 0;
  header[2] = 2;  // uncompressed true colour
  put_le16(header + 12, width);
  put_le16(header + 14, height);
  header[16] = 24;
  if (id_length > 0) std::memcpy(header + header_size, id_text, id_length);  // zero byte follows
  const std::size_t header_and_id = header_size + header[0];
  return std::fwrite(header, 1, header_and_id, file) == header_and_id;
}

int write_tga(std::uint8_t* pixels, const char* path, int width, int height, const char* id_text) {
  if (!tga_size_fits(path, width, height)) return -1;
  // Written under a temporary name, so that a screenshot cut short by a
  // full disk leaves no file behind.
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "write_tga: Unable to write to FILE *\n");
    return -1;
  }
  if (!write_tga_header(file.get(), width, height, id_text)) return -1;

  const std::size_t row_bytes = width > 0 ? static_cast<std::size_t>(width) * 3 : 0;
  for (int row = 0; row < height; ++row) {
    std::uint8_t* pixel = pixels + static_cast<std::size_t>(row) * row_bytes;
    for (std::size_t i = 0; i < row_bytes; i += 3) {
      const std::uint8_t red = pixel[i];
      pixel[i] = pixel[i + 2];
      pixel[i + 2] = red;
    }
    if (std::fwrite(pixel, 1, row_bytes, file.get()) != row_bytes) {
      std::fprintf(stderr, "Error writing tga file\n");
      return -1;
    }
  }
  // Rows are buffered, so a full disk may only show when the file is closed.
  if (!file.commit()) {
    std::fprintf(stderr, "Error writing tga file\n");
    return -1;
  }
  return 0;
}
