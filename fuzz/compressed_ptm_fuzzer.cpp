// Any bytes as a JPEG-compressed PTM file, in both coefficient
// representations: plane layouts, side information and JPEG streams are
// decoded or refused, never a crash, a hang or an overrun. Seeded with
// files of the compressed writer.
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
