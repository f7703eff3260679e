// Writing binary (P6) Netpbm pixmaps with a maximum value of 255.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "common/checked_alloc.h"
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

// The header of the grey and raw writers: width and height on lines of
// their own (any white space may separate the PPM header's fields).
void write_size_on_two_lines(std::FILE* file, int width, int height) {
  std::fprintf(file, "P6\n%i\n%i\n255\n", width, height);
}

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
  write_size_on_two_lines(file.get(), width, height);
  // The caller has already put the top row first, so rows go out as stored;
  // each row is expanded to g, g, g in one buffer and written at once.
  const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : 0);
  std::uint8_t* row = checked_alloc_array<std::uint8_t>(row_bytes(width) + 1);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* source = grey + static_cast<std::size_t>(y) * columns;
    for (std::size_t x = 0; x < columns; ++x) {
      row[3 * x] = source[x];
      row[3 * x + 1] = source[x];
      row[3 * x + 2] = source[x];
    }
    std::fwrite(row, 1, row_bytes(width), file.get());
  }
  checked_free(row);
  return finish(file, path);
}

bool write_raw_ppm(const std::uint8_t* pixels, const char* path, int width, int height) {
  OutputFile file;
  if (!open_for_writing(file, path)) return false;
  write_size_on_two_lines(file.get(), width, height);
  std::fwrite(pixels, 1, row_bytes(width) * static_cast<std::size_t>(height > 0 ? height : 0),
              file.get());
  return finish(file, path);
}
