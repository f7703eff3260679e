#include "support/jpeg_fixture.h"

#include <cstdlib>

#include "support/files.h"
#include "support/run_program.h"

// clang-format off
#include <jpeglib.h>
// clang-format on

std::string jpeg_fixture_bytes(const JpegFixture& f) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);  // a fixture libjpeg refuses ends the test run
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(f.width);
  cinfo.image_height = static_cast<JDIMENSION>(f.height);
  cinfo.input_components = f.components;
  cinfo.in_color_space = f.components == 1 ? JCS_GRAYSCALE : f.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, f.quality, TRUE);
  if (f.progressive) jpeg_simple_progression(&cinfo);
  if (f.full_chroma) {
    for (int c = 0; c < cinfo.num_components; ++c) {
      cinfo.comp_info[c].h_samp_factor = 1;
      cinfo.comp_info[c].v_samp_factor = 1;
    }
  }
  jpeg_start_compress(&cinfo, TRUE);
  for (const std::string& payload : f.app2_payloads) {
    jpeg_write_marker(&cinfo, JPEG_APP0 + 2, reinterpret_cast<const JOCTET*>(payload.data()),
                      static_cast<unsigned>(payload.size()));
  }
  const std::size_t row_bytes = static_cast<std::size_t>(f.width) * f.components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(f.samples.data()) + cinfo.next_scanline * row_bytes;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

void write_jpeg_seed_corpus(const std::string& directory) {
  JpegFixture colour;
  colour.width = 13;
  colour.height = 9;
  for (int y = 0; y < colour.height; ++y) {
    for (int x = 0; x < colour.width; ++x) {
      colour.samples.insert(colour.samples.end(),
                            {static_cast<std::uint8_t>(19 * x), static_cast<std::uint8_t>(27 * y),
                             static_cast<std::uint8_t>(90)});
    }
  }
  write_file_bytes(directory + "/colour.jpg", jpeg_fixture_bytes(colour));
  colour.progressive = true;
  write_file_bytes(directory + "/progressive.jpg", jpeg_fixture_bytes(colour));
  JpegFixture grey;
  grey.width = 8;
  grey.height = 5;
  grey.components = 1;
  for (int i = 0; i < grey.width * grey.height; ++i) grey.samples.push_back(6 * i);
  write_file_bytes(directory + "/grey.jpg", jpeg_fixture_bytes(grey));
}

WindowPixels jpegtopnm_pixels(const std::string& path) {
  // A grey stream comes out as a PGM; ppmtoppm makes every kind a PPM.
  return parse_ppm(command_output("timeout 20 jpegtopnm '" + path +
                                  "' 2>/dev/null | timeout 20 ppmtoppm 2>/dev/null"));
}
