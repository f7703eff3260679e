// Any bytes as the mask image read beside a PTM file.
#include "common/checked_alloc.h"
#include "fuzz/fuzz_file.h"
#include "ptm/mask_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  set_end_program_hook(throw_program_ended);
  const std::string& path = write_fuzz_input(data, size, "mask.ppm");
  try {
    int width = 0;
    int height = 0;
    checked_free(readppm(path.c_str(), width, height));
  } catch (const ProgramEnded&) {
  }
  return 0;
}
