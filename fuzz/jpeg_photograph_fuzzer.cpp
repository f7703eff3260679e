// Any bytes as a JPEG source photograph, decoded from memory. Photographs
// of more than a million pixels are only opened: libjpeg completes a short
// stream at its declared size, so a few bytes could ask for seconds of
// decoding.
#include <cstdint>
#include <cstdlib>

#include "imageio/jpeg_photograph.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  JpegPhotograph* photograph = open_jpeg_photograph(data, size, "fuzz.jpg");
  if (photograph == nullptr) return 0;
  const int width = jpeg_photograph_width(photograph);
  const int height = jpeg_photograph_height(photograph);
  if (static_cast<std::int64_t>(width) * height <= (1 << 20)) {
    RgbImage* image = decode_jpeg_photograph(photograph);
    if (image != nullptr && (image->width != width || image->height != height)) std::abort();
    free_rgb_image(image);
  }
  close_jpeg_photograph(photograph);
  return 0;
}
