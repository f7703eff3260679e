// Feeds arbitrary bytes to the PPM reader through a file, as the reader
// takes a path. Conditions that end the program are turned into an
// exception, so every rejection path runs in-process and is checked for
// leaks.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/end_program.h"
#include "imageio/image_files.h"

namespace {

struct ProgramEnded {
  int status;
};

[[noreturn]] void throw_instead_of_exiting(int status) { throw ProgramEnded{status}; }

// One file per process, so parallel fuzzing jobs do not share it. It is
// removed after every input, as libFuzzer may leave without running
// atexit handlers.
const std::string& input_path() {
  static const std::string path = "/tmp/ppm_image_fuzzer." + std::to_string(getpid()) + ".ppm";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  set_end_program_hook(throw_instead_of_exiting);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(input_path().c_str(), "wb");
  if (file == nullptr) std::abort();
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) std::abort();

  try {
    RgbImage* image = Input_ppm_and_create_as_char_image(input_path().c_str());
    if (image == nullptr) std::abort();  // the file was just written, so it opens
    free_rgb_image(image);
  } catch (const ProgramEnded&) {
  }
  std::remove(input_path().c_str());
  return 0;
}
