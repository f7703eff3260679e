// Any bytes as a JPEG photograph read in part: a region at full size and
// the whole picture at 1/8, as the light finder reads them. Pictures of
// more than 16 megapixels are only opened (libjpeg completes a short
// stream at its declared size, so a few bytes could ask for seconds).
#include <cstdint>
#include <cstdlib>

#include "imageio/jpeg_photograph.h"
#include "imageio/jpeg_region.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  JpegPhotograph* photograph = open_jpeg_photograph(data, size, "fuzz.jpg");
  if (photograph == nullptr) return 0;
  const std::int64_t pixels =
      std::int64_t{jpeg_photograph_width(photograph)} * jpeg_photograph_height(photograph);
  close_jpeg_photograph(photograph);
  if (pixels > (std::int64_t{1} << 24)) return 0;
  GreyPicture picture;
  int width = 0;
  int height = 0;
  // A region off the blocks' corners, partly outside small pictures.
  const PixelRect region{13, 9, 70, 45};
  if (decode_jpeg_luminance(data, size, "fuzz.jpg", 1, region, picture, width, height)) {
    if (picture.samples.size() != static_cast<std::size_t>(picture.width) * picture.height ||
        picture.left + picture.width > width || picture.top + picture.height > height) {
      std::abort();
    }
    for (float v : picture.samples) {
      if (!(v >= 0 && v <= 1)) std::abort();
    }
  }
  const PixelRect whole{0, 0, 1 << 20, 1 << 20};
  if (decode_jpeg_luminance(data, size, "fuzz.jpg", 8, whole, picture, width, height)) {
    if (picture.width != (width + 7) / 8 || picture.height != (height + 7) / 8) std::abort();
  }
  return 0;
}
