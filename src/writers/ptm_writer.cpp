#include "writers/ptm_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/output_file.h"
#include "ptm/coefficients.h"

namespace {

// What a reader stores for a scale text: trunc(value * 256) with the value
// parsed in single precision.
bool reads_back_as(const char* text, std::int32_t fixed) {
  std::int32_t read_back = 0;
  return scale_to_fixed(std::strtof(text, nullptr), read_back) && read_back == fixed;
}

const char* format_word(int format) {
  switch (format) {
    case PTM_FORMAT_RGB:
      return "PTM_FORMAT_RGB";
    case PTM_FORMAT_LUM:
      return "PTM_FORMAT_LUM";
    case PTM_FORMAT_LRGB:
      return "PTM_FORMAT_LRGB";
    default:
      return nullptr;
  }
}

// The six coefficient bytes of a pixel: a0..a2 from the first plane of the
// channel's pair, a3..a5 from the second.
bool write_coefficients(std::FILE* file, const std::uint8_t* low, const std::uint8_t* high,
                        std::size_t pixel) {
  return std::fwrite(low + 3 * pixel, 1, 3, file) == 3 &&
         std::fwrite(high + 3 * pixel, 1, 3, file) == 3;
}

struct Region {
  int xs, ys, w, h;
};

template <typename WritePixel>
bool for_each_pixel(const Ptm& ptm, const Region& r, WritePixel write_pixel) {
  for (int y = r.ys; y < r.ys + r.h; ++y) {
    for (int x = r.xs; x < r.xs + r.w; ++x) {
      if (!write_pixel(static_cast<std::size_t>(y) * ptm.width + x)) return false;
    }
  }
  return true;
}

bool write_data(std::FILE* file, const Ptm& ptm, const Region& region) {
  switch (ptm.format) {
    case PTM_FORMAT_RGB:
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t* low = ptm.coef_planes[2 * c];
        const std::uint8_t* high = ptm.coef_planes[2 * c + 1];
        const bool ok = for_each_pixel(
            ptm, region, [&](std::size_t p) { return write_coefficients(file, low, high, p); });
        if (!ok) return false;
      }
      return true;
    case PTM_FORMAT_LUM:
      return for_each_pixel(ptm, region, [&](std::size_t p) {
        const std::uint8_t chroma[2] = {ptm.color_planes[0][p], ptm.color_planes[2][p]};
        return write_coefficients(file, ptm.coef_planes[0], ptm.coef_planes[1], p) &&
               std::fwrite(chroma, 1, 2, file) == 2;
      });
    case PTM_FORMAT_LRGB: {
      const bool ok = for_each_pixel(ptm, region, [&](std::size_t p) {
        return write_coefficients(file, ptm.coef_planes[0], ptm.coef_planes[1], p);
      });
      return ok && for_each_pixel(ptm, region, [&](std::size_t p) {
               std::uint8_t rgb[3];
               get_lrgb_color(ptm, p, rgb);
               return std::fwrite(rgb, 1, 3, file) == 3;
             });
    }
    default:
      return false;
  }
}

}  // namespace

std::string scale_text(std::int32_t fixed) {
  // k / 256 is exact in double for every 32-bit k, so "%.8f" prints it
  // exactly; "%f" rounds to six decimals, which loses 1 / 256 steps such as
  // 257 / 256 = 1.00390625 -> "1.003906" -> trunc(256.999936) = 256.
  const double value = fixed / 256.0;
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  if (reads_back_as(text, fixed)) return text;
  std::snprintf(text, sizeof text, "%.8f", value);
  return text;
}

bool write_ptm_text_header(std::FILE* file, const Ptm& ptm, const char* format_word, int w, int h) {
  bool ok = std::fprintf(file, "PTM_1.2\n%s\n%d\n%d\n", format_word, w, h) >= 0;
  for (int k = 0; k < 6 && ok; ++k) {
    const std::string text = scale_text(ptm.scale_bias[k]);
    ok = std::fprintf(file, k < 5 ? "%s " : "%s\n", text.c_str()) >= 0;
  }
  const std::int32_t* bias = ptm.scale_bias + 6;
  ok = ok && std::fprintf(file, "%d %d %d %d %d %d\n", bias[0], bias[1], bias[2], bias[3], bias[4],
                          bias[5]) >= 0;
  if (ptm.format == PTM_FORMAT_LUM) {
    const float* m = ptm.color_matrix;
    for (int row = 0; row < 4 && ok; ++row) {
      ok = std::fprintf(file, "%f %f %f %f\n", m[4 * row], m[4 * row + 1], m[4 * row + 2],
                        m[4 * row + 3]) >= 0;
    }
  }
  return ok;
}

bool write_ptm_output(const char* path, const std::function<bool(std::FILE*)>& write_body) {
  OutputFile output;
  if (!output.open(path)) {
    std::printf("Can't open PTM file %s for writing\n", path);
    return false;
  }
  std::printf("Writing PTM File %s\n", path);
  errno = 0;
  if (!write_body(output.get())) {
    // The temporary file goes away with `output`.
    report_write_failure("PTM file", path, errno != 0 ? errno : EIO);
    return false;
  }
  if (!output.commit()) {
    report_write_failure("PTM file", path, output.error());
    return false;
  }
  return true;
}

bool write_ptm_region(const Ptm& ptm, const char* path, int xs, int ys, int w, int h) {
  if (format_word(ptm.format) == nullptr) return false;
  if (w <= 0 || h <= 0 || xs < 0 || ys < 0 || xs > ptm.width - w || ys > ptm.height - h) {
    return false;
  }
  return write_ptm_output(path, [&](std::FILE* file) {
    return write_ptm_text_header(file, ptm, format_word(ptm.format), w, h) &&
           write_data(file, ptm, {xs, ys, w, h});
  });
}
