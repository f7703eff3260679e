#include "analysis/entropy.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/file_names.h"
#include "common/output_file.h"
#include "imageio/image_files.h"

namespace {

// The grid's centre column and row, where the light points at the viewer,
// and the number of grid steps from there to the disc's edge.
constexpr int grid_centre = 10;
constexpr int grid_radius = 10;

// The luma weights of the grey level, rounded to two places.
constexpr double red_weight = 0.3;
constexpr double green_weight = 0.59;
constexpr double blue_weight = 0.11;

bool inside_unit_disc(int c, int r) {
  const int du = c - grid_centre;
  const int dv = r - grid_centre;
  return du * du + dv * dv <= grid_radius * grid_radius;
}

std::size_t byte_count(const RgbImage& image) {
  return static_cast<std::size_t>(image.width > 0 ? image.width : 0) *
         static_cast<std::size_t>(image.height > 0 ? image.height : 0) * 3;
}

}  // namespace

double image_entropy(const RgbImage& image) {
  const std::size_t bytes = byte_count(image);
  if (bytes == 0) return 0;
  std::size_t histogram[256] = {};
  for (std::size_t i = 0; i < bytes; i += 3) {
    const std::uint8_t* p = image.pixels + i;
    // 100 times the sum before truncation, exactly. Its hundredth, cut, is
    // the double sum cut, except where the exact value is a whole number
    // that the double sum may miss by a rounding below: there the double
    // sum itself decides.
    const int hundredfold = 30 * p[0] + 59 * p[1] + 11 * p[2];
    int grey = hundredfold / 100;
    if (hundredfold % 100 == 0) {
      grey = static_cast<int>(red_weight * p[0] + green_weight * p[1] + blue_weight * p[2]);
    }
    ++histogram[grey < 255 ? grey : 255];
  }
  const double pixels = static_cast<double>(bytes / 3);
  double entropy = 0;
  for (const std::size_t count : histogram) {
    if (count == 0) continue;
    const double share = static_cast<double>(count) / pixels;
    entropy -= share * std::log10(share);
  }
  return entropy;
}

// (index - 10) / 10 is the grid value 0.1 index - 1 rounded once, so row 10
// is exactly 0 and the ends exactly -1 and 1.
float entropy_grid_position(int index) {
  return static_cast<float>(index - grid_centre) / static_cast<float>(grid_radius);
}

bool entropy_sweep(const std::string& base_name, RgbImage& image,
                   const RenderLightFn& render_light) {
  const std::string cut = cut_at_last_dot(base_name);
  const std::string table_path = cut + ".ent";
  std::printf("Writing Entropy file to %s\n", table_path.c_str());
  OutputFile table;
  if (!table.open(table_path.c_str())) {
    std::fprintf(stderr, "Unable to open entropy file for writing\n");
    return false;
  }
  std::fprintf(table.get(), "%d %d\n", entropy_grid_size, entropy_grid_size);
  bool pictures_written = true;
  for (int r = 0; r < entropy_grid_size; ++r) {
    for (int c = 0; c < entropy_grid_size; ++c) {
      double entropy = 0;
      if (inside_unit_disc(c, r)) {
        render_light(entropy_grid_position(c), entropy_grid_position(r), image);
        entropy = image_entropy(image);
      } else if (byte_count(image) > 0) {
        std::memset(image.pixels, 0, byte_count(image));
      }
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".%d.%d.ppm", c, r);
      const std::string picture_path = cut + suffix;
      std::printf("\nwriting ppm file %s\n", picture_path.c_str());
      if (!write_ppm(image.pixels, picture_path.c_str(), image.width, image.height)) {
        pictures_written = false;
      }
      std::printf("%f ", entropy);
      std::fprintf(table.get(), "%f ", entropy);
    }
    std::fprintf(table.get(), "\n");
  }
  std::fflush(stdout);
  if (!table.commit()) {
    report_write_failure("entropy file", table_path.c_str(), table.error());
    return false;
  }
  return pictures_written;
}
