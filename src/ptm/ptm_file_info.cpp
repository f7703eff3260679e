#include "ptm/ptm_file_info.h"

#include <sys/stat.h>

#include <cstdio>

#include "ptm/compressed_header.h"
#include "ptm/ptm_file_header.h"

namespace {

bool read_plane_facts(const char* path, PtmFileInfo& info) {
  CompressedPtmHeader header;
  if (read_compressed_header(path, header) != 0) return false;
  for (int k = 0; k < header.num_planes; ++k) {
    info.planes.push_back({k, header.compression_type, is_intra_plane(header, k),
                           header.reference[k], header.transformation[k], header.mv_x[k],
                           header.mv_y[k], header.side_info[k] > 0,
                           std::int64_t{header.size[k]} + header.side_info[k]});
  }
  free_compressed_header(header);
  return true;
}

}  // namespace

bool describe_ptm_file(const char* path, const Ptm& map, PtmFileInfo& info) {
  PtmFileHeader header;
  if (!read_ptm_file_header(path, header)) return false;
  struct stat status {};
  if (stat(path, &status) != 0) return false;
  info = PtmFileInfo{};
  info.format_word = header.format_word;
  info.file_format = header.format;
  info.format = map.format;
  info.version_minor = header.version_minor;
  info.width = map.width;
  info.height = map.height;
  for (int k = 0; k < 6; ++k) {
    info.scale[k] = map.scale_bias[k] / 256.0;
    info.bias[k] = map.scale_bias[6 + k];
  }
  info.mask = map.mask != nullptr;
  info.file_size = static_cast<std::uint64_t>(status.st_size);
  return header.format < PTM_FORMAT_JPEG_RGB || read_plane_facts(path, info);
}

