#include "analysis/normal_image.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "analysis/normals.h"
#include "common/output_file.h"
#include "common/parallel.h"
#include "common/rgb_image.h"
#include "imageio/image_files.h"
#include "render/zoom.h"

namespace {

// The normal field's colours at full size, bottom-up like every picture
// in memory.
RgbImage* normal_colours(const Ptm& ptm) {
  RgbImage* image = new_rgb_image(ptm.width, ptm.height);
  normal_image(ptm, *image);
  return image;
}

std::size_t row_bytes(const RgbImage& image) { return static_cast<std::size_t>(image.width) * 3; }

}  // namespace

void normal_image_rows(const Ptm& ptm, int first, int end, std::uint8_t* rgb) {
  Ptm band = ptm_rows_view(ptm, first, end - first);
  std::vector<std::int8_t> normals;
  if (band.normals == nullptr) {
    normals.resize(pixel_count(band) * 3);
    compute_normal_field(band, normals.data());
    band.normals = normals.data();
  }
  RgbImage view{band.width, band.height, rgb};
  normal_image(band, view);
}

int normal_image_band_rows(const Ptm& ptm) { return static_cast<int>(rows_per_block(ptm.width)); }

bool write_normal_image_file(const Ptm& ptm, const char* path, int threads) {
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Unable to open normal file %s for writing.\n", path);
    return false;
  }
  std::printf("Writing normal values to file %s ...", path);
  std::fflush(stdout);
  std::fprintf(file.get(), "P6\n%d %d\n255\n", ptm.width, ptm.height);
  const std::size_t row_bytes = static_cast<std::size_t>(ptm.width) * 3;
  // The file's top row is the map's last.
  for_each_band_in_order(
      threads, ptm.height, normal_image_band_rows(ptm), true,
      [&](int first, int end, std::vector<std::uint8_t>& bytes) {
        bytes.resize(static_cast<std::size_t>(end - first) * row_bytes);
        normal_image_rows(ptm, first, end, bytes.data());
      },
      [&](int first, int end, const std::vector<std::uint8_t>& bytes) {
        for (int row = end - first - 1; row >= 0; --row) {
          if (std::fwrite(bytes.data() + static_cast<std::size_t>(row) * row_bytes, 1, row_bytes,
                          file.get()) != row_bytes) {
            return false;
          }
        }
        return true;
      });
  if (!file.commit()) {
    std::printf("\n");
    report_write_failure("normal image", path, file.error());
    return false;
  }
  std::printf("done\n");
  return true;
}

bool write_normal_image_fixed(const Ptm& ptm, const char* path) {
  RgbImage* image = normal_colours(ptm);
  // The raw writer takes the rows in file order, top row first.
  const std::size_t bytes = row_bytes(*image);
  for (int top = 0, bottom = image->height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(image->pixels + static_cast<std::size_t>(top) * bytes,
                     image->pixels + static_cast<std::size_t>(top + 1) * bytes,
                     image->pixels + static_cast<std::size_t>(bottom) * bytes);
  }
  const bool written = write_raw_ppm(image->pixels, path, image->width, image->height);
  free_rgb_image(image);
  return written;
}
