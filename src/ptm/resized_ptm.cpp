#include "ptm/resized_ptm.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ptm/coefficients.h"

namespace {

// The two source positions and the fraction between them of one
// destination coordinate: f = to * from_size / to_size exactly.
struct Sample {
  int low;
  int high;  // low + 1, clamped to the last position
  float fraction;
};

std::vector<Sample> samples(int to_size, int from_size) {
  std::vector<Sample> result(static_cast<std::size_t>(to_size));
  for (int t = 0; t < to_size; ++t) {
    const std::int64_t scaled = std::int64_t{t} * from_size;
    const int low = static_cast<int>(scaled / to_size);
    result[static_cast<std::size_t>(t)] = {
        low, std::min(low + 1, from_size - 1),
        static_cast<float>(scaled % to_size) / static_cast<float>(to_size)};
  }
  return result;
}

// `count` bytes at `offset` of every pixel's `stride` bytes.
void resample_bytes(const std::uint8_t* source, std::uint8_t* destination, int source_width,
                    int width, int height, const std::vector<Sample>& columns,
                    const std::vector<Sample>& rows, int stride, int count) {
  for (int y = 0; y < height; ++y) {
    const Sample& row = rows[static_cast<std::size_t>(y)];
    const std::uint8_t* low_row = source + static_cast<std::size_t>(row.low) * source_width * stride;
    const std::uint8_t* high_row =
        source + static_cast<std::size_t>(row.high) * source_width * stride;
    std::uint8_t* out = destination + static_cast<std::size_t>(y) * width * stride;
    for (int x = 0; x < width; ++x) {
      const Sample& column = columns[static_cast<std::size_t>(x)];
      const std::size_t a = static_cast<std::size_t>(column.low) * stride;
      const std::size_t b = static_cast<std::size_t>(column.high) * stride;
      for (int k = 0; k < count; ++k) {
        out[static_cast<std::size_t>(x) * stride + k] = static_cast<std::uint8_t>(
            bilerp_u8(low_row[a + k], low_row[b + k], high_row[a + k], high_row[b + k],
                      column.fraction, row.fraction));
      }
    }
  }
}

bool is_rgb(const Ptm& ptm) { return ptm.format == PTM_FORMAT_RGB; }

}  // namespace

Ptm* resize_ptm(const Ptm& source, int width, int height) {
  const bool supported = source.format == PTM_FORMAT_RGB || source.format == PTM_FORMAT_LUM ||
                         source.format == PTM_FORMAT_LRGB;
  if (!supported || source.coef_planes[0] == nullptr) return nullptr;
  const CoefRepresentation representation = representation_of(source);
  if (!ptm_size_fits(width, height, source.format, representation)) return nullptr;

  Ptm* resized = create_ptm(width, height, source.format, representation);
  std::memcpy(resized->scale_bias, source.scale_bias, 12 * sizeof(std::int32_t));
  if (source.color_matrix != nullptr) {
    std::memcpy(resized->color_matrix, source.color_matrix, 16 * sizeof(float));
  }
  const std::vector<Sample> columns = samples(width, source.width);
  const std::vector<Sample> rows = samples(height, source.height);
  const auto resample = [&](const std::uint8_t* from, std::uint8_t* to, int stride, int count) {
    resample_bytes(from, to, source.width, width, height, columns, rows, stride, count);
  };
  for (int plane = 0; plane < (is_rgb(source) ? 6 : 2); ++plane) {
    resample(source.coef_planes[plane], resized->coef_planes[plane], 3, 3);
  }
  if (source.packed_lrgb != nullptr) {
    // The packed record keeps the colour; it goes through a plane of its
    // own and back into every record before the coefficients are converted.
    std::vector<std::uint8_t> from(pixel_count(source) * 3);
    std::vector<std::uint8_t> to(pixel_count(*resized) * 3);
    for (std::size_t p = 0; p < pixel_count(source); ++p) get_lrgb_color(source, p, &from[p * 3]);
    resample(from.data(), to.data(), 3, 3);
    for (std::size_t p = 0; p < pixel_count(*resized); ++p) set_lrgb_color(*resized, p, &to[p * 3]);
  } else {
    for (int c = 0; c < 3; ++c) {
      if (source.color_planes[c] != nullptr && resized->color_planes[c] != nullptr) {
        resample(source.color_planes[c], resized->color_planes[c], 1, 1);
      }
    }
  }
  // The conversion fills every integer form, the pads of packed RGB too.
  convert_all_coefficients(*resized);
  return resized;
}
