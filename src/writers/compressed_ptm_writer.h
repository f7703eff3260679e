// Writing an RGB or LRGB map as a JPEG- or JPEG-LS-compressed PTM file.
//
// Every coefficient and colour plane (18 for RGB, 9 for LRGB) becomes a
// one-component JPEG or JPEG-LS stream, either of the plane itself (an I-plane) or of
// its residual against a prediction from another plane (a P-plane). The
// writer predicts from each reference exactly as the reader will have
// reconstructed it, JPEG loss included, so errors do not accumulate along a
// chain of P-planes.
#pragma once

#include <cstdint>
#include <vector>

#include "common/progress.h"
#include "ptm/compressed_header.h"
#include "ptm/ptm.h"

struct SideInfoRecord {
  std::uint32_t index;  // pixel y * width + x
  std::uint8_t value;   // the byte the decoded plane takes there
};

struct PlaneCoding {
  int transformation = 0;  // transform_invert | transform_motion
  int mv_x = 0;            // half pixels
  int mv_y = 0;
  int reference = -1;  // -1 with transformation 0: an I-plane
  // P-planes only: pixels the reader sets after adding the residual.
  std::vector<SideInfoRecord> side_info;
};

struct CompressedPtmOptions {
  int compression_type = compression_jpeg;  // or compression_jpegls
  int quality = 75;                         // JPEG: libjpeg's quality scale, 1..100
  int near = 0;                             // JPEG-LS: the loss bound NEAR, 0 (lossless) .. 127
  // Per plane; planes beyond the map's count are ignored.
  PlaneCoding planes[max_compressed_planes];
  // Each plane's position in the decoding sequence; empty: index order.
  std::vector<int> order;
  // P-planes: every pixel whose decoded value differs from the map's by
  // more than this gets a side-information record; negative: none.
  int correction_threshold = -1;
};

// Writes all of `ptm` (RGB or LRGB) to `path` as PTM_FORMAT_JPEG_RGB or
// PTM_FORMAT_JPEG_LRGB (quality as compression parameter), or as
// PTM_FORMAT_JPEGLS_RGB or PTM_FORMAT_JPEGLS_LRGB (NEAR as compression
// parameter), with the map's scales and biases. A lossless JPEG-LS file
// reads back with every stored byte as in the map; a near-lossless one
// within NEAR of it in every plane. Returns false after a message on standard output
// when the map's format or the options cannot be written, the file cannot
// be opened ("Can't open PTM file %s for writing") or a write fails.
// `progress` hears of every plane coded (9 or 18 in all). Planes that do
// not depend on each other are coded at once on up to `threads` threads, a
// P-plane after the plane it is predicted from; the file is the same for
// any number. A plane is extracted from the map only while it is coded, and
// a reconstruction kept only while a later plane still predicts from it.
bool write_compressed_ptm(const Ptm& ptm, const char* path, const CompressedPtmOptions& options,
                          const ProgressFn& progress = {}, int threads = 1);
