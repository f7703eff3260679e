#include "imageio/jpeg_picture.h"

#include "imageio/libjpeg_glue.h"

bool encode_jpeg(const std::uint8_t* top_row, std::ptrdiff_t row_step, int width, int height,
                 int components, int quality, ChromaSampling chroma,
                 std::vector<std::uint8_t>& stream) {
  jpeg_compress_struct cinfo;
  JpegErrorManager error;
  cinfo.err = jumping_error_manager(error);
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  install_memory_destination(&cinfo, &stream);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (chroma == ChromaSampling::full) {
    for (int c = 0; c < cinfo.num_components; ++c) {
      cinfo.comp_info[c].h_samp_factor = 1;
      cinfo.comp_info[c].v_samp_factor = 1;
    }
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(top_row) +
                   static_cast<std::ptrdiff_t>(cinfo.next_scanline) * row_step;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}
