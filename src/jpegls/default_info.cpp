// T.87's defaults for a frame and its scans: one 8-bit component, no
// subsampling, line interleaving, the default thresholds (-1: computed
// from MAXVAL and NEAR) and RESET 64.
#include "jpegls/jpegls.h"
#include "jpegls/preset_parameters.h"

namespace {

JlsScanInfo default_scan_info() {
  JlsScanInfo scan{};
  scan.interleave = 1;
  scan.t1 = scan.t2 = scan.t3 = -1;
  scan.reset = kDefaultReset;
  scan.alphabet = 256;
  scan.components = 1;
  for (int i = 0; i < kJlsMaxScanComponents; ++i) scan.component_ids[i] = i + 1;
  return scan;
}

}  // namespace

JlsInfo JPEGLS_DefaultInfo() {
  JlsInfo info{};
  info.alphabet = 256;
  info.components = 1;
  for (int i = 0; i < kJlsMaxComponents; ++i) {
    info.sampX[i] = 1;
    info.sampY[i] = 1;
    info.component_ids[i] = i + 1;
  }
  info.scans = 1;
  for (JlsScanInfo& scan : info.scan) scan = default_scan_info();
  return info;
}
