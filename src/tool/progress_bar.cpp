#include "tool/progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace {

bool bar_enabled = true;

constexpr int bar_width = 40;
constexpr auto first_draw_after = std::chrono::seconds(1);
constexpr auto redraw_every = std::chrono::milliseconds(100);

}  // namespace

void set_progress_bar_enabled(bool enabled) { bar_enabled = enabled; }

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)),
      active_(bar_enabled && isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(std::uint64_t done, std::uint64_t total) {
  if (!active_ || total == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < first_draw_after) return;
  if (drawn_ && now - last_draw_ < redraw_every && done < total) return;
  last_draw_ = now;
  drawn_ = true;
  if (done > total) done = total;
  const int filled = static_cast<int>(done * bar_width / total);
  const int percent = static_cast<int>(done * 100 / total);
  char bar[bar_width + 1];
  for (int i = 0; i < bar_width; ++i) bar[i] = i < filled ? '#' : '.';
  bar[bar_width] = '\0';
  std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar, percent);
  std::fflush(stderr);
}

ProgressFn ProgressBar::callback() {
  return [this](std::uint64_t done, std::uint64_t total) { update(done, total); };
}

void ProgressBar::finish() {
  if (drawn_) std::fputc('\n', stderr);
  drawn_ = false;
  active_ = false;
}
