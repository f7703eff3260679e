// Any bytes as a JPEG- or JPEG-LS-compressed PTM file: plane layouts, side
// information and JPEG or JPEG-LS streams are decoded or refused, never a
// crash, a hang or an overrun. Seeded with files of the compressed writer.
//
// The reader decodes files of JPEG I-planes only in bands of rows, and
// every other file with the whole-plane decoder. For the banded files the
// whole-plane decoder runs too, as the reference: where both succeed, the
// map must hold exactly the planes it made. Each input is read in one
// coefficient representation, chosen by its length, so both are fuzzed
// without decoding every input twice.
//
// Every plane is decoded at the declared size whatever its stream holds,
// so the target keeps to maps of a few thousand pixels: enough for several
// bands of rows and for motion across plane edges, and cheap enough for
// thousands of inputs a second.
#include <cstdlib>

#include "fuzz_file.h"
#include "ptm/compressed_decoder.h"

namespace {

constexpr std::int64_t max_map_pixels = 1 << 12;

bool decoded_in_bands(const CompressedPtmHeader& header) {
  if (header.compression_type != compression_jpeg) return false;
  for (int k = 0; k < header.num_planes; ++k) {
    if (!is_intra_plane(header, k)) return false;
  }
  return true;
}

void compare_with_whole_planes(const char* path, CoefRepresentation representation) {
  CompressedPtmHeader header;
  if (read_compressed_header(path, header) != 0) return;
  if (std::int64_t{header.width} * header.height > max_map_pixels) {
    free_compressed_header(header);
    return;
  }
  if (!decoded_in_bands(header)) {
    free_compressed_header(header);
    free_ptm(read_ptm_file(path, representation));
    return;
  }
  DecodedPlanes planes;
  const bool decoded = decode_planes(header, plane_decoder_for(compression_jpeg), planes);
  free_compressed_header(header);
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  set_end_program_hook(throw_program_ended);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CoefRepresentation representation =
      size % 2 == 0 ? CoefRepresentation::packed : CoefRepresentation::wide;
  try {
    compare_with_whole_planes(memory_file_holding(data, size), representation);
  } catch (const ProgramEnded&) {
  }
  return 0;
}
