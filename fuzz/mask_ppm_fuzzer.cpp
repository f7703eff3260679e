// Any bytes as the mask image read beside a PTM file.
#include "common/checked_alloc.h"
#include "fuzz_file.h"
#include "ptm/mask_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  read_fuzz_input(data, size, "mask.ppm", [](const char* path) {
    int width = 0;
    int height = 0;
    checked_free(readppm(path, width, height));
  });
  return 0;
}
