// The progress bar of relumo-tool: one line on standard error, redrawn in
// place, for work that runs over about a second. Drawn only when standard
// error is a terminal and --quiet was not given, so that logs and pipes
// get no control characters.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/progress.h"

// Off for the rest of the process (--quiet).
void set_progress_bar_enabled(bool enabled);

class ProgressBar {
 public:
  // `label`: what is being done ("Encoding planes").
  explicit ProgressBar(std::string label);
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  // Ends the line if the bar was drawn.
  ~ProgressBar();

  // Shows done / total. Nothing is drawn in the first second, and the line
  // is redrawn at most ten times a second.
  void update(std::uint64_t done, std::uint64_t total);

  // A callback for library code that reports its progress.
  ProgressFn callback();

  // Ends the bar's line now (before a result is printed).
  void finish();

 private:
  std::string label_;
  bool active_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};
