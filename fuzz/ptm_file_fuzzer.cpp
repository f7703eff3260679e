// Any bytes as a PTM file, in both coefficient representations: the reader
// must return a map or refuse it, never crash, hang or overrun.
#include "fuzz_file.h"
#include "ptm/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  read_fuzz_input(data, size, ".ptm", [](const char* path) {
    if (declares_large_compressed_map(path)) return;
    free_ptm(read_ptm_file(path, CoefRepresentation::packed));
    free_ptm(read_ptm_file(path, CoefRepresentation::wide));
  });
  return 0;
}
