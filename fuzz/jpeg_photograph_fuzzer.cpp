// Any bytes as a JPEG source photograph, decoded from memory. Photographs
// of more than a few thousand pixels are only opened: libjpeg completes a
// short stream at its declared size, so a few bytes could ask for a
// decoding of millions of pixels, where the decoder's paths (colour, grey,
// progressive, subsampling, restarts) are all taken by small ones. The
// size read from the frame header without libjpeg (for the fit's header
// probe) must be libjpeg's wherever both give one.
#include <cstdint>
#include <cstdlib>

#include "imageio/jpeg_photograph.h"

namespace {

constexpr std::int64_t max_decoded_pixels = 1 << 14;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int frame_width = 0;
  int frame_height = 0;
  const bool framed = jpeg_frame_size(data, size, frame_width, frame_height);
  JpegPhotograph* photograph = open_jpeg_photograph(data, size, "fuzz.jpg");
  if (photograph == nullptr) return 0;
  const int width = jpeg_photograph_width(photograph);
  const int height = jpeg_photograph_height(photograph);
  if (framed && (frame_width != width || frame_height != height)) std::abort();
  if (static_cast<std::int64_t>(width) * height <= max_decoded_pixels) {
    RgbImage* image = decode_jpeg_photograph(photograph);
    if (image != nullptr && (image->width != width || image->height != height)) std::abort();
    free_rgb_image(image);
  }
  close_jpeg_photograph(photograph);
  return 0;
}
