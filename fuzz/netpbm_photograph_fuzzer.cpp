// Any bytes as a PPM or PGM photograph, decoded from memory. Headers of
// more than a quarter of a million pixels are only parsed.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imageio/netpbm_photograph.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NetpbmHeader header;
  std::string problem;
  if (!read_netpbm_header(data, size, header, problem)) {
    if (problem.empty()) std::abort();
    return 0;
  }
  if (header.width <= 0 || header.height <= 0 || header.maximum < 1 || header.maximum > 65535 ||
      header.samples_start > size) {
    std::abort();
  }
  if (static_cast<std::int64_t>(header.width) * header.height > (1 << 18)) return 0;
  Photograph photograph;
  if (decode_netpbm_photograph(data, size, header, photograph, problem)) {
    if (photograph.bits != (header.maximum > 255 ? 16 : 8)) std::abort();
  } else if (problem.empty()) {
    std::abort();
  }
  return 0;
}
