#include "analysis/normal_image.h"

#include <cstddef>
#include <cstdio>

#include "common/checked_alloc.h"
#include "common/output_file.h"
#include "imageio/image_files.h"

namespace {

// The whole image, encoded, in a buffer of the checked allocator.
std::uint8_t* encoded_normal_image(const Ptm& ptm) {
  std::uint8_t* pixels = checked_alloc_array<std::uint8_t>(pixel_count(ptm) * 3 + 1);
  normal_image_pixels(ptm, pixels);
  return pixels;
}

}  // namespace

void normal_image_pixels(const Ptm& ptm, std::uint8_t* pixels) {
  const std::size_t row_bytes = static_cast<std::size_t>(ptm.width) * 3;
  for (int y = ptm.height - 1; y >= 0; --y) {
    const std::int8_t* normals = ptm.normals + static_cast<std::size_t>(y) * row_bytes;
    // Adding 128 modulo 256 is flipping the sign bit of the byte.
    for (std::size_t i = 0; i < row_bytes; ++i) {
      *pixels++ = static_cast<std::uint8_t>(static_cast<std::uint8_t>(normals[i]) ^ 0x80u);
    }
  }
}

bool write_normal_image_file(const Ptm& ptm, const char* path) {
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Unable to open normal file %s for writing.\n", path);
    return false;
  }
  std::printf("Writing normal values to file %s ...", path);
  std::fflush(stdout);
  std::uint8_t* pixels = encoded_normal_image(ptm);
  std::fprintf(file.get(), "P6\n%d %d\n255\n", ptm.width, ptm.height);
  std::fwrite(pixels, 1, pixel_count(ptm) * 3, file.get());
  checked_free(pixels);
  if (!file.commit()) {
    std::printf("\n");
    report_write_failure("normal image", path, file.error());
    return false;
  }
  std::printf("done\n");
  return true;
}

bool write_normal_image_fixed(const Ptm& ptm, const char* path) {
  std::uint8_t* pixels = encoded_normal_image(ptm);
  const bool written = write_raw_ppm(pixels, path, ptm.width, ptm.height);
  checked_free(pixels);
  return written;
}
