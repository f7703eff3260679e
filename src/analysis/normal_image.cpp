#include "analysis/normal_image.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "common/output_file.h"
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

bool write_normal_image_file(const Ptm& ptm, const char* path) {
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Unable to open normal file %s for writing.\n", path);
    return false;
  }
  std::printf("Writing normal values to file %s ...", path);
  std::fflush(stdout);
  RgbImage* image = normal_colours(ptm);
  std::fprintf(file.get(), "P6\n%d %d\n255\n", ptm.width, ptm.height);
  for (int y = image->height - 1; y >= 0; --y) {
    std::fwrite(image->pixels + static_cast<std::size_t>(y) * row_bytes(*image), 1,
                row_bytes(*image), file.get());
  }
  free_rgb_image(image);
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
