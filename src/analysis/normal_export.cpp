#include "analysis/normal_export.h"

#include <vector>

#include "analysis/normal_image.h"
#include "analysis/normals.h"
#include "imageio/pfm_image.h"
#include "imageio/picture_writer.h"

namespace {

bool write_normal_png(const Ptm& ptm, const char* path, const PngNotes& notes, int threads) {
  PictureWriter picture;
  if (!picture.open(path, PictureFormat::png, ptm.width, ptm.height, notes)) return false;
  return write_picture_bands(
      picture, ptm.width, ptm.height, normal_image_band_rows(ptm), threads,
      [&](int first, int end, std::uint8_t* rgb) { normal_image_rows(ptm, first, end, rgb); });
}

}  // namespace

bool write_normal_file(const Ptm& ptm, NormalFileFormat format, const char* path,
                       const PngNotes& notes, int threads) {
  switch (format) {
    case NormalFileFormat::pfm:
      return write_pfm_bands(
          3, ptm.width, ptm.height, path, threads, [&](int first, int end, float* out) {
            compute_unit_normal_field(ptm_rows_view(ptm, first, end - first), out);
          });
    case NormalFileFormat::png:
      return write_normal_png(ptm, path, notes, threads);
    case NormalFileFormat::ppm:
      return write_normal_image_file(ptm, path, threads);
  }
  return false;
}
