#include "jpegls/preset_parameters.h"

#include <algorithm>

namespace {

// T.87 C.2.4.1.1.1: BASIC_T1, BASIC_T2, BASIC_T3.
constexpr int basic_t1 = 3;
constexpr int basic_t2 = 7;
constexpr int basic_t3 = 21;

}  // namespace

PresetParameters default_preset_parameters(int maxval, int near) {
  PresetParameters p{maxval, 0, 0, 0, kDefaultReset};
  if (maxval >= 128) {
    const int factor = (std::min(maxval, 4095) + 128) / 256;
    p.t1 = factor * (basic_t1 - 2) + 2 + 3 * near;
    if (p.t1 > maxval || p.t1 < near + 1) p.t1 = near + 1;
    p.t2 = factor * (basic_t2 - 3) + 3 + 5 * near;
    if (p.t2 > maxval || p.t2 < p.t1) p.t2 = p.t1;
    p.t3 = factor * (basic_t3 - 4) + 4 + 7 * near;
    if (p.t3 > maxval || p.t3 < p.t2) p.t3 = p.t2;
  } else {
    const int factor = 256 / (maxval + 1);
    p.t1 = std::max(2, basic_t1 / factor + 3 * near);
    if (p.t1 > maxval || p.t1 < near + 1) p.t1 = near + 1;
    p.t2 = std::max(3, basic_t2 / factor + 5 * near);
    if (p.t2 > maxval || p.t2 < p.t1) p.t2 = p.t1;
    p.t3 = std::max(4, basic_t3 / factor + 7 * near);
    if (p.t3 > maxval || p.t3 < p.t2) p.t3 = p.t2;
  }
  return p;
}

bool complete_preset_parameters(PresetParameters& p, int near) {
  const PresetParameters defaults = default_preset_parameters(p.maxval, near);
  if (p.t1 <= 0) p.t1 = defaults.t1;
  if (p.t2 <= 0) p.t2 = defaults.t2;
  if (p.t3 <= 0) p.t3 = defaults.t3;
  if (p.reset <= 0) p.reset = kDefaultReset;
  return p.t1 >= near + 1 && p.t1 <= p.maxval && p.t2 >= p.t1 && p.t2 <= p.maxval && p.t3 >= p.t2 &&
         p.t3 <= p.maxval && p.reset >= 3 && p.reset <= std::max(255, p.maxval);
}
