// What a PTM file holds, as a plain record for a listing: the words of its
// header, the map it loads as, and for the compressed formats how each
// plane is coded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ptm/ptm.h"

// One stored plane of a JPEG- or JPEG-LS-compressed file.
struct PtmPlaneInfo {
  int index;
  int compression_type;  // compression_jpeg or compression_jpegls
  bool intra;            // an I-plane: coded by itself
  int reference;         // the plane a P-plane is predicted from, -1 for none
  int transform;         // transform_invert and transform_motion bits
  int motion_x;          // in half pixels
  int motion_y;
  bool side_info;  // whether single pixels are patched after decoding
  std::int64_t bytes;  // the codec stream and its side information, as stored
};

struct PtmFileInfo {
  std::string format_word;  // as stored, e.g. "PTM_FORMAT_JPEGLS_LRGB"
  int file_format;          // PtmFormat of the file
  int format;               // PtmFormat in memory: RGB, LUM or LRGB
  int version_minor;        // 1 or 2
  int width;
  int height;
  // The scales the map is evaluated with: the file's values truncated to
  // 1/256 steps, which they keep exactly.
  double scale[6];
  std::int32_t bias[6];
  bool mask;  // whether a mask image was found beside the file
  std::uint64_t file_size;
  std::vector<PtmPlaneInfo> planes;  // compressed formats only
};

// The facts of the file at `path`, which `map` was read from
// (read_ptm_file). False, after the reader's message naming the file, when
// its header can no longer be read.
bool describe_ptm_file(const char* path, const Ptm& map, PtmFileInfo& info);

