#include "analysis/normal_export.h"

#include <vector>

#include "analysis/normal_image.h"
#include "analysis/normals.h"
#include "common/rgb_image.h"
#include "imageio/pfm_image.h"
#include "imageio/png_image.h"
#include "render/zoom.h"

namespace {

bool write_normal_png(const Ptm& ptm, const char* path, const PngNotes& notes) {
  RgbImage* image = new_rgb_image(ptm.width, ptm.height);
  normal_image(ptm, *image);
  const bool written = write_png_rgb(*image, path, notes);
  free_rgb_image(image);
  return written;
}

}  // namespace

bool write_normal_file(const Ptm& ptm, NormalFileFormat format, const char* path,
                       const PngNotes& notes) {
  if (format == NormalFileFormat::pfm) {
    std::vector<float> normals(pixel_count(ptm) * 3);
    compute_unit_normal_field(ptm, normals.data());
    return write_pfm(normals.data(), 3, ptm.width, ptm.height, path);
  }
  // The image writers read the map's byte normals; a copy of the record
  // carries them when the map has none.
  std::vector<std::int8_t> computed;
  Ptm with_normals = ptm;
  if (with_normals.normals == nullptr) {
    computed.resize(pixel_count(ptm) * 3);
    compute_normal_field(ptm, computed.data());
    with_normals.normals = computed.data();
  }
  return format == NormalFileFormat::png ? write_normal_png(with_normals, path, notes)
                                         : write_normal_image_file(with_normals, path);
}
