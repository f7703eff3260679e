// Any bytes as a photograph's colour profile: taken out of a JPEG's APP2
// markers or a PNG's iCCP chunk when they begin like those files, and
// otherwise taken as the profile itself; then read and applied by
// LittleCMS to one pixel at 8 or 16 bits (the 16-bit conversion of a
// matrix profile reads its colorants and curves itself).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "imageio/colour_profile.h"
#include "imageio/embedded_profile.h"

namespace {

void convert_one_pixel(const std::vector<std::uint8_t>& profile, int bits) {
  Photograph photograph;
  allocate_photograph_samples(photograph, 1, 1, bits);
  if (bits == 16) {
    photograph.samples16 = {0, 32768, 65535};
  } else {
    photograph.samples8 = {0, 128, 255};
  }
  std::string problem;
  const bool converted = convert_to_srgb(profile.data(), profile.size(), photograph, problem);
  // A conversion names its profile; a refusal says why.
  if (converted == photograph.profile.empty() || converted != problem.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> profile;
  std::string problem;
  EmbeddedProfile found = find_jpeg_icc_profile(data, size, profile, problem);
  if (found == EmbeddedProfile::none) found = find_png_icc_profile(data, size, profile, problem);
  if (found == EmbeddedProfile::damaged) {
    if (problem.empty() || !profile.empty()) std::abort();
    return 0;
  }
  if (found == EmbeddedProfile::none) profile.assign(data, data + size);
  if (profile.size() > max_icc_profile_bytes) std::abort();
  // One precision per input, chosen by its last byte: each conversion
  // costs LittleCMS a transform's precalculation.
  convert_one_pixel(profile, size > 0 && (data[size - 1] & 1) != 0 ? 16 : 8);
  return 0;
}
