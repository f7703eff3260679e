// Any bytes as a JPEG- or JPEG-LS-compressed PTM file: plane layouts, side
// information and JPEG or JPEG-LS streams are decoded or refused, never a crash, a hang or an
// overrun. Seeded with files of the compressed writer.
//
// Besides the reader in both representations, every input also goes
// through the whole-plane decoder, which the reader skips for files of
// I-planes only (those decode in bands); where both succeed, the map must
// hold exactly the planes the whole-plane decoder made.
#include <cstdlib>

#include "fuzz_file.h"
#include "ptm/compressed_decoder.h"

namespace {

void compare_with_whole_planes(const char* path) {
  if (declares_large_compressed_map(path)) return;
  CompressedPtmHeader header;
  if (read_compressed_header(path, header) != 0) return;
  const PlaneDecoder codec = plane_decoder_for(header.compression_type);
  DecodedPlanes planes;
  const bool decoded = codec != nullptr && decode_planes(header, codec, planes);
  free_compressed_header(header);
  for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* ptm = read_ptm_file(path, representation);
    // The reader's own header checks are stricter, so it may refuse a file
    // whose planes decode; it must not load one whose planes do not.
    if (ptm != nullptr && !decoded) std::abort();
    for (std::size_t p = 0; ptm != nullptr && p < pixel_count(*ptm); ++p) {
      std::uint8_t rgb[3] = {};
      if (header.is_lrgb) get_lrgb_color(*ptm, p, rgb);
      for (int k = 0; k < header.num_planes; ++k) {
        const std::uint8_t stored =
            header.is_lrgb && k >= 6 ? rgb[k - 6] : ptm->coef_planes[k / 3][3 * p + k % 3];
        if (stored != planes.plane[k][p]) std::abort();
      }
    }
    free_ptm(ptm);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  read_fuzz_input(data, size, ".ptm", compare_with_whole_planes);
  return 0;
}
