// Preset coding parameters of a scan (T.87 C.2.4.1.1): MAXVAL, the
// gradient thresholds T1, T2, T3 and RESET, with their defaults.
#pragma once

struct PresetParameters {
  int maxval;
  int t1, t2, t3;
  int reset;
};

// Default T1, T2, T3 for MAXVAL and NEAR (T.87 C.2.4.1.1.1, code of
// Figure C.3). RESET's default is 64.
PresetParameters default_preset_parameters(int maxval, int near);

inline constexpr int kDefaultReset = 64;

// Replaces the zero fields (T.87: "0 means the default") by the defaults
// and checks the ranges T.87 C.2.4.1.1 allows: NEAR + 1 <= T1 <= T2 <= T3
// <= MAXVAL and 3 <= RESET <= max(255, MAXVAL). Returns false when a value
// is out of range.
bool complete_preset_parameters(PresetParameters& p, int near);
