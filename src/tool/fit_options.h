// The arguments of "relumo-tool fit", parsed into a plain record.
#pragma once

#include <string>

#include "analysis/photograph_fit.h"
#include "tool/arguments.h"

struct FitOptions {
  std::string capture;  // the light-position file
  std::string output;   // the map to write
  FitLayout layout = FitLayout::lrgb;
  bool jpegls = false;
  std::string mask;  // empty: no mask
  bool report_photographs = false;  // the second pass: the written map against each photograph
};

// Parses the arguments after "fit". Usage errors (a missing or second
// capture, no -o, an unknown format or compression, an output that names
// an input) throw UsageError; "--help" throws HelpRequested.
FitOptions parse_fit_options(ArgumentList& arguments);
