#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/output_file.h"
#include "imageio/pfm_image.h"

namespace {

// One row's floats as little-endian bytes, whatever this machine's order.
void little_endian_row(const float* samples, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, samples + i, sizeof bits);
    for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<std::uint8_t>(bits >> (8 * b));
  }
}

}  // namespace

bool write_pfm(const float* samples, int channels, int width, int height, const char* path) {
  if ((channels != 1 && channels != 3) || width <= 0 || height <= 0) {
    std::fprintf(stderr, "Can't write PFM file %s: the picture is empty\n", path);
    return false;
  }
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Can't open PFM file %s for writing: %s\n", path,
                 std::strerror(file.error()));
    return false;
  }
  // A negative scale declares little-endian samples; its size carries no
  // meaning here (1: the values are the data themselves).
  std::fprintf(file.get(), "%s\n%d %d\n-1.0\n", channels == 3 ? "PF" : "Pf", width, height);
  const std::size_t row_values =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
  std::vector<std::uint8_t> row(row_values * 4);
  for (int y = 0; y < height; ++y) {
    little_endian_row(samples + static_cast<std::size_t>(y) * row_values, row_values, row.data());
    std::fwrite(row.data(), 1, row.size(), file.get());
  }
  if (!file.commit()) {
    report_write_failure("PFM file", path, file.error());
    return false;
  }
  return true;
}
