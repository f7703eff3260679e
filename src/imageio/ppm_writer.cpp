// Writing binary (P6) Netpbm pixmaps with a maximum value of 255.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "common/output_file.h"
#include "imageio/image_files.h"

namespace {

bool open_for_writing(OutputFile& file, const char* path) {
  if (file.open(path)) return true;
  std::fprintf(stderr, "Unable to open file for writing: %s\n", path);
  return false;
}

bool finish(OutputFile& file, const char* path) {
  if (file.commit()) return true;
  report_write_failure("PPM file", path, file.error());
  return false;
}

std::size_t row_bytes(int width) { return width > 0 ? static_cast<std::size_t>(width) * 3 : 0; }

}  // namespace

bool write_ppm(const std::uint8_t* pixels, const char* path, int width, int height) {
  OutputFile file;
  if (!open_for_writing(file, path)) return false;
  std::fprintf(file.get(), "P6\n%i %i\n255\n", width, height);
  // PPM stores the top row first; the image is bottom-up.
  const std::size_t bytes = row_bytes(width);
  for (int row = height - 1; row >= 0; --row) {
    std::fwrite(pixels + static_cast<std::size_t>(row) * bytes, 1, bytes, file.get());
  }
  return finish(file, path);
}

bool write_grey_ppm(const std::uint8_t* grey, const char* path, int width, int height) {
  OutputFile file;
  if (!open_for_writing(file, path)) return false;
  std::fprintf(file.get(), "P6\n%i\n%i\n255\n", width, height);
  // The caller has already put the top row first, so rows go out as stored.
  const std::size_t count = static_cast<std::size_t>(width > 0 ? width : 0) *
                            static_cast<std::size_t>(height > 0 ? height : 0);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t pixel[3] = {grey[i], grey[i], grey[i]};
    std::fwrite(pixel, 1, 3, file.get());
  }
  return finish(file, path);
}
