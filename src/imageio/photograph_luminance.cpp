#include "imageio/photograph_luminance.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "common/whole_file.h"
#include "imageio/jpeg_photograph.h"
#include "imageio/jpeg_region.h"
#include "imageio/photograph_file.h"

namespace {

// Larger JPEG files are not photographs (see jpeg_photograph.cpp).
constexpr std::size_t max_jpeg_file_bytes = std::size_t{1} << 30;

// Larger than any picture: clipped to the whole of it.
constexpr PixelRect whole_picture{0, 0, 1 << 30, 1 << 30};

// The rectangle that holds all of `rects`.
PixelRect bounding(const std::vector<PixelRect>& rects) {
  long long left = rects[0].left, top = rects[0].top;
  long long right = left + rects[0].width, bottom = top + rects[0].height;
  for (const PixelRect& r : rects) {
    left = std::min<long long>(left, r.left);
    top = std::min<long long>(top, r.top);
    right = std::max<long long>(right, static_cast<long long>(r.left) + r.width);
    bottom = std::max<long long>(bottom, static_cast<long long>(r.top) + r.height);
  }
  const auto to_int = [](long long v) {
    return static_cast<int>(std::clamp<long long>(v, -(1LL << 30), 1LL << 30));
  };
  return {to_int(left), to_int(top), to_int(right - left), to_int(bottom - top)};
}

// `rect` of `source`, clipped to it.
GreyPicture cut(const GreyPicture& source, const PixelRect& rect) {
  const long long source_right = static_cast<long long>(source.left) + source.width;
  const long long source_bottom = static_cast<long long>(source.top) + source.height;
  const long long left = std::clamp<long long>(rect.left, source.left, source_right);
  const long long top = std::clamp<long long>(rect.top, source.top, source_bottom);
  const long long right =
      std::clamp<long long>(static_cast<long long>(rect.left) + rect.width, left, source_right);
  const long long bottom =
      std::clamp<long long>(static_cast<long long>(rect.top) + rect.height, top, source_bottom);
  GreyPicture out;
  out.left = static_cast<int>(left);
  out.top = static_cast<int>(top);
  out.width = static_cast<int>(right - left);
  out.height = static_cast<int>(bottom - top);
  out.samples.resize(static_cast<std::size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y) {
    const float* from = source.samples.data() +
                        static_cast<std::size_t>(out.top - source.top + y) * source.width +
                        (out.left - source.left);
    std::copy(from, from + out.width,
              out.samples.begin() + static_cast<std::ptrdiff_t>(y) * out.width);
  }
  return out;
}

// The luminance of `area` (in the scaled picture's pixels, clipped to it)
// of `photograph` (8 or 16 bits, rows bottom-up), top row first, at
// 1 / scale: block means, the last blocks of a row or column as far as the
// picture goes (libjpeg's scaled sizes round up likewise).
GreyPicture luminance(const Photograph& photograph, int scale, PixelRect area) {
  const int scaled_width = (photograph.width + scale - 1) / scale;
  const int scaled_height = (photograph.height + scale - 1) / scale;
  GreyPicture out;
  out.left = std::clamp(area.left, 0, scaled_width);
  out.top = std::clamp(area.top, 0, scaled_height);
  out.width = static_cast<int>(std::clamp<long long>(static_cast<long long>(area.left) + area.width,
                                                     out.left, scaled_width)) -
              out.left;
  out.height = static_cast<int>(std::clamp<long long>(
                   static_cast<long long>(area.top) + area.height, out.top, scaled_height)) -
               out.top;
  out.samples.assign(static_cast<std::size_t>(out.width) * out.height, 0.0f);
  std::vector<int> counts(out.samples.size(), 0);
  const bool wide = photograph.bits == 16;
  const double white = wide ? 65535.0 : 255.0;
  const int y_end = std::min(photograph.height, (out.top + out.height) * scale);
  const int x_end = std::min(photograph.width, (out.left + out.width) * scale);
  for (int y = out.top * scale; y < y_end; ++y) {
    const std::size_t row = static_cast<std::size_t>(photograph.height - 1 - y) * photograph.width;
    for (int x = out.left * scale; x < x_end; ++x) {
      const std::size_t p = 3 * (row + x);
      const double r = wide ? photograph.samples16[p] : photograph.samples8[p];
      const double g = wide ? photograph.samples16[p + 1] : photograph.samples8[p + 1];
      const double b = wide ? photograph.samples16[p + 2] : photograph.samples8[p + 2];
      const std::size_t at =
          static_cast<std::size_t>(y / scale - out.top) * out.width + (x / scale - out.left);
      out.samples[at] += static_cast<float>((0.299 * r + 0.587 * g + 0.114 * b) / white);
      ++counts[at];
    }
  }
  for (std::size_t i = 0; i < out.samples.size(); ++i)
    out.samples[i] /= static_cast<float>(counts[i]);
  return out;
}

bool is_jpeg(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::uint8_t start[2] = {0, 0};
  const std::size_t got = std::fread(start, 1, 2, file);
  std::fclose(file);
  return has_jpeg_start(start, got);
}

}  // namespace

bool read_photograph_luminance(const char* path, int scale_denominator,
                               const std::vector<PixelRect>& rects, std::vector<GreyPicture>& out,
                               int& width, int& height) {
  out.clear();
  GreyPicture whole;
  if (is_jpeg(path)) {
    std::string bytes;
    if (read_whole_file(path, max_jpeg_file_bytes, bytes) != WholeFile::read) {
      std::printf("Photograph %s cannot be read\n", path);
      return false;
    }
    const PixelRect all = rects.empty() ? whole_picture : bounding(rects);
    if (!decode_jpeg_luminance(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                               path, scale_denominator, all, whole, width, height)) {
      return false;
    }
  } else {
    // Where a highlight or an outline lies needs no colour management: the
    // samples as stored, as the JPEG path reads them. The photograph
    // reader names the file when it fails.
    PhotographRequest request;
    request.as_stored = true;
    Photograph photograph;
    if (read_photograph(path, request, photograph) != PhotographRead::read) return false;
    width = photograph.width;
    height = photograph.height;
    whole =
        luminance(photograph, scale_denominator, rects.empty() ? whole_picture : bounding(rects));
  }
  if (rects.empty()) {
    out.push_back(std::move(whole));
    return true;
  }
  for (const PixelRect& rect : rects) out.push_back(cut(whole, rect));
  return true;
}
