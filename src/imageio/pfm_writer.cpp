#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/output_file.h"
#include "common/parallel.h"
#include "imageio/pfm_image.h"

namespace {

// Floats as little-endian bytes, whatever this machine's order.
void little_endian(const float* samples, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, samples + i, sizeof bits);
    for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<std::uint8_t>(bits >> (8 * b));
  }
}

// Rows in a band: some 256K values.
int band_rows(int width, int channels) {
  return static_cast<int>(rows_per_block(static_cast<std::int64_t>(width) * channels) * 4);
}

}  // namespace

bool write_pfm_bands(int channels, int width, int height, const char* path, int threads,
                     const std::function<void(int first, int end, float* out)>& make) {
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
  for_each_band_in_order(
      threads, height, band_rows(width, channels), false,
      [&](int first, int end, std::vector<std::uint8_t>& bytes) {
        const std::size_t values = static_cast<std::size_t>(end - first) * row_values;
        std::vector<float> samples(values);
        make(first, end, samples.data());
        bytes.resize(values * 4);
        little_endian(samples.data(), values, bytes.data());
      },
      [&](int, int, const std::vector<std::uint8_t>& bytes) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
      });
  if (!file.commit()) {
    report_write_failure("PFM file", path, file.error());
    return false;
  }
  return true;
}

bool write_pfm(const float* samples, int channels, int width, int height, const char* path) {
  const std::size_t row_values =
      static_cast<std::size_t>(width > 0 ? width : 0) * static_cast<std::size_t>(channels);
  return write_pfm_bands(channels, width, height, path, 1, [&](int first, int end, float* out) {
    std::memcpy(out, samples + static_cast<std::size_t>(first) * row_values,
                static_cast<std::size_t>(end - first) * row_values * sizeof(float));
  });
}
