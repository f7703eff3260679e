// Per-scan coding state: the scan constants of T.87 A.2 and C.2.4.1.1,
// the gradient quantisation tables, the regular and run-interruption
// contexts and the run indices.
#pragma once

#include <cstdint>

#include "jpegls/jpegls.h"
#include "jpegls/regular_mode_context.h"
#include "jpegls/run_mode_context.h"

struct JlsCodec;

struct ScanState {
  int maxval;  // MAXVAL = alphabet - 1
  int near;    // NEAR
  int range;   // RANGE (T.87 A.2.1)
  int qbpp;    // bits of a modulo-reduced error
  int bpp;     // max(2, ceil(log2(MAXVAL + 1)))
  int limit;   // LIMIT = 2 * (bpp + max(8, bpp))
  int t1, t2, t3, reset;
  // Gradient quantisation (T.87 A.3.3, code segment A.4): three tables over
  // -extent..extent, holding the region premultiplied by 81, 9 and 1 so
  // that one sum gives the signed context number of code segment A.6.
  int gradient_extent;
  const std::int16_t* q81;
  const std::int16_t* q9;
  const std::int16_t* q1;
  std::int16_t* gradient_tables;
  RegularContext regular[kRegularContexts];
  RunContext run[2];  // RItype 0 and 1 (contexts 365 and 366)
  int run_index[kJlsMaxComponents];
};

// Sets the contexts and run indices to their initial values (T.87 A.2.1),
// at the start of a scan and after every restart marker.
void reset_scan_contexts(ScanState& state);

// Derives the scan constants and builds the gradient quantisation tables
// for the scan's alphabet, NEAR and thresholds; reports and returns 0 when
// they cannot be built.
int CreateQTables(JlsCodec* codec, ScanState& state, const JlsScanInfo& scan);

void release_qtables(ScanState& state);
