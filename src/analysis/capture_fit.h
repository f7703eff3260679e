// Fitting a map to a capture, a light-position file and its photographs,
// and writing it: the product behind "relumo-tool fit".
//
// Two passes over the photographs, one at a time: the first sums the
// right-hand sides of the least-squares fit (photograph_fit.h), the second
// measures the quantised map against every photograph. Memory is the sums
// (40 bytes per pixel for LRGB, 72 for RGB), the map and one photograph,
// whatever the number of photographs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/photograph_fit.h"
#include "common/progress.h"

struct CaptureFitOptions {
  FitLayout layout = FitLayout::lrgb;
  bool jpegls = false;  // lossless JPEG-LS planes instead of the uncompressed format
  // A picture of the photographs' size in any format they may have, top
  // row first like them, whose non-zero pixels are the object (its samples
  // as stored, no colour profile applied); null: every pixel.
  const char* mask_path = nullptr;
  // Photographs read so far, out of twice their number (both passes).
  ProgressFn progress;
};

struct PhotographError {
  std::string path;
  double rms;  // over its (unmasked) pixels and three channels
};

struct CaptureFitReport {
  int width = 0;
  int height = 0;
  std::uint64_t object_pixels = 0;  // the pixels measured (unmasked)
  RelitErrors errors;               // every photograph together
  std::vector<PhotographError> photographs;
};

// Reads the light-position file at `lp_path` (its photographs' names are
// looked up in its folder first), checks that there are photographs (at
// most max_fit_photographs), that their lights determine the fit and that
// every photograph (by its header) and the mask have one size, fits the
// map at the photographs' precision (8 or 16 bits, converted to sRGB from
// their colour profiles), measures it and writes it to
// `out_path` (through OutputFile: the whole file or nothing). False after a
// message naming the file on standard output; nothing is written then. A
// light below the horizon (z < 0) is warned of on standard error, naming
// its photograph.
bool fit_capture(const char* lp_path, const char* out_path, const CaptureFitOptions& options,
                 CaptureFitReport& report);
