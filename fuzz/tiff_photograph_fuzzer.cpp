// Any bytes as a TIFF photograph, opened and decoded from memory.
// Photographs of more than a quarter of a million pixels are only opened:
// a forged size would otherwise make every input an allocation of
// hundreds of megabytes.
#include <cstdint>
#include <cstdlib>

#include "imageio/tiff_photograph.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TiffPhotograph* tiff = open_tiff_photograph(data, size, "fuzz.tif");
  if (tiff == nullptr) return 0;
  const int width = tiff_photograph_width(tiff);
  const int height = tiff_photograph_height(tiff);
  if (width <= 0 || height <= 0) std::abort();
  const std::uint8_t* profile = nullptr;
  std::size_t profile_size = 0;
  if (tiff_icc_profile(tiff, profile, profile_size) && (profile == nullptr || profile_size == 0)) {
    std::abort();
  }
  if (static_cast<std::int64_t>(width) * height <= (1 << 18)) {
    Photograph photograph;
    if (decode_tiff_photograph(tiff, photograph) &&
        (photograph.width != width || photograph.height != height ||
         photograph_sample_count(photograph) !=
             (photograph.bits == 16 ? photograph.samples16.size() : photograph.samples8.size()))) {
      std::abort();
    }
  }
  close_tiff_photograph(tiff);
  return 0;
}
