#include "imageio/jpeg_photograph_writer.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "common/output_file.h"
#include "imageio/libjpeg_glue.h"

namespace {

// Survives a longjmp out of libjpeg (see libjpeg_glue.h).
struct PhotographEncoder {
  jpeg_compress_struct cinfo;
  JpegErrorManager error;
  bool created = false;
};

void destroy(PhotographEncoder* encoder) {
  if (encoder->created) jpeg_destroy_compress(&encoder->cinfo);
  delete encoder;
}

}  // namespace

bool write_jpeg_photograph(const RgbImage& image, const char* path, int quality) {
  OutputFile file;
  if (!file.open(path)) {
    report_write_failure("JPEG photograph", path, file.error());
    return false;
  }
  std::unique_ptr<PhotographEncoder, decltype(&destroy)> encoder(new PhotographEncoder{}, destroy);
  jpeg_compress_struct& cinfo = encoder->cinfo;
  cinfo.err = jumping_error_manager(encoder->error);
  if (setjmp(encoder->error.jump) != 0) {
    std::fprintf(stderr, "JPEG photograph %s cannot be encoded\n", path);
    return false;
  }
  jpeg_create_compress(&cinfo);
  encoder->created = true;
  jpeg_stdio_dest(&cinfo, file.get());
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    // The file's first row is the picture's top one, the image's last.
    JSAMPROW row = image.pixels + (image.height - 1 - cinfo.next_scanline) * row_bytes;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  if (!file.commit()) {
    report_write_failure("JPEG photograph", path, file.error());
    return false;
  }
  return true;
}
