// Any bytes as a PPM image for Input_ppm_and_create_as_char_image (the six
// coefficient images and, later, the source photographs).
#include <cstdlib>

#include "fuzz_file.h"
#include "imageio/image_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  read_fuzz_input(data, size, ".ppm", [](const char* path) {
    RgbImage* image = Input_ppm_and_create_as_char_image(path);
    if (image == nullptr) std::abort();  // the file was just written, so it opens
    free_rgb_image(image);
  });
  return 0;
}
