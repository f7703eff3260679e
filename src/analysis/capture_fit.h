// Fitting a map to a capture, a light-position file and its photographs,
// and writing it: the product behind "relumo-tool fit".
//
// One pass over the photographs: they are decoded a few at a time on
// every thread given, and each is added to the right-hand sides of the
// least-squares fit (photograph_fit.h) in the order of the capture, so
// the map does not depend on the number of threads. The pass gives the
// fit's residual exactly; a second pass, on request, measures the written
// map relit at every photograph's light. Memory is the sums (44 bytes per
// pixel for LRGB, 84 for RGB) and the photographs in flight, whatever the
// number of photographs; a capture whose fit would not fit in the memory
// available is refused before a photograph is decoded.
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
  // The second pass: the written map relit at each photograph's light
  // against the photograph (report.errors and report.photographs).
  bool measure_photographs = false;
  int threads = 1;
  // Photographs read so far, out of their number times the passes.
  ProgressFn progress;
};

struct PhotographError {
  std::string path;
  double rms;  // over its (unmasked) pixels and three channels
};

struct CaptureFitReport {
  int width = 0;
  int height = 0;
  int photograph_count = 0;
  std::uint64_t object_pixels = 0;  // the pixels measured (unmasked)
  FitResiduals residuals;           // of the fit before quantisation
  std::int32_t scale_bias[12] = {};  // of the written map: step of coefficient k = scale_bias[k] / 256
  int in_flight = 0;                 // the photographs decoded at once
  std::uint64_t memory_needed = 0;   // the estimate checked against the memory available
  // With measure_photographs: every photograph together, and each.
  RelitErrors errors;
  std::vector<PhotographError> photographs;
};

// Reads the light-position file at `lp_path` (its photographs' names are
// looked up in its folder first), checks that there are photographs (at
// most max_fit_photographs), that their lights determine the fit, that
// every photograph (by its header) and the mask have one size and that
// the fit fits in the memory available (with fewer photographs in flight
// if need be), fits the map at the photographs' precision (8 or 16 bits,
// converted to sRGB from their colour profiles), measures it and writes
// it to `out_path` (through OutputFile: the whole file or nothing). False
// after a message naming the file (or, for memory, the sizes) on standard
// output; nothing is written then. A light below the horizon (z < 0) is
// warned of on standard error, naming its photograph.
bool fit_capture(const char* lp_path, const char* out_path, const CaptureFitOptions& options,
                 CaptureFitReport& report);
