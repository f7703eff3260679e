#include "analysis/highlight_spots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis/normal_equations3.h"

namespace {

// The rim left out of the search: the outline's pixels mix the sphere with
// whatever lies behind it.
double searched_radius(const Circle& circle) {
  return circle.radius - std::max(1.5, 0.02 * circle.radius);
}

// The noise of a flawless dark glaze in 8-bit samples rounds to nothing;
// half a level of an 8-bit sample keeps the threshold above the rounding.
constexpr double least_noise = 0.5 / 255;
// A spot's peak must stand this many noise deviations above the
// background, and its pixels this many above it to belong to a spot (or a
// quarter of the way up to the brightest sample, whichever is higher, so
// that the halo of a bright highlight does not join it to its neighbours).
constexpr double peak_deviations = 12;
constexpr double member_deviations = 8;
constexpr double member_fraction = 0.25;
// The top tenth of a spot's rise weighs fully: a clipped plateau with
// compression noise on it counts as one flat top.
constexpr double full_weight_fraction = 0.9;

// The rim of a spot counts from this many noise deviations above the
// glaze's local level, or this share of the spot's rise, whichever is
// higher.
constexpr double rim_deviations = 4;
constexpr double rim_fraction = 0.05;

// 1.4826 times the median absolute deviation estimates a normal
// distribution's standard deviation.
constexpr double mad_to_deviation = 1.4826;

double median_of(std::vector<float>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Picture pixels left .. right, top .. bottom (inclusive).
struct Window {
  int left, top, right, bottom;
};

// a + b x + c y: the glaze's level near a spot.
struct Plane {
  double a = 0, b = 0, c = 0;
  double at(double x, double y) const { return a + b * x + c * y; }
};

// The least-squares plane through the window's border pixels that lie in
// the disc (its mean level when they do not determine a tilt).
Plane border_plane(const GreyPicture& picture, const std::vector<std::uint8_t>& in_disc,
                   const Window& window) {
  NormalEquations3 equations;
  int count = 0;
  double sum = 0;
  for (int y = window.top; y <= window.bottom; ++y) {
    for (int x = window.left; x <= window.right; ++x) {
      if (y != window.top && y != window.bottom && x != window.left && x != window.right) continue;
      const int p = y * picture.width + x;
      if (!in_disc[p]) continue;
      const double row[3] = {1, static_cast<double>(x), static_cast<double>(y)};
      equations.add(row, picture.samples[p]);
      sum += picture.samples[p];
      ++count;
    }
  }
  Plane plane;
  if (count > 0) plane.a = sum / count;
  double solution[3];
  if (count >= 6 && equations.solve(solution)) plane = {solution[0], solution[1], solution[2]};
  return plane;
}

}  // namespace

DiscSpots find_disc_spots(const GreyPicture& picture, const Circle& circle) {
  DiscSpots result;
  const double radius = searched_radius(circle);
  if (radius <= 0 || picture.width == 0 || picture.height == 0) return result;
  const int w = picture.width;
  const int h = picture.height;
  // Which of the picture's samples lie in the searched disc.
  std::vector<std::uint8_t> in_disc(static_cast<std::size_t>(w) * h, 0);
  std::vector<float> values;
  for (int j = 0; j < h; ++j) {
    const double dy = picture.top + j + 0.5 - circle.y;
    for (int i = 0; i < w; ++i) {
      const double dx = picture.left + i + 0.5 - circle.x;
      if (dx * dx + dy * dy > radius * radius) continue;
      in_disc[static_cast<std::size_t>(j) * w + i] = 1;
      values.push_back(picture.at(i, j));
    }
  }
  if (values.empty()) return result;
  const float peak = *std::max_element(values.begin(), values.end());
  const double background = median_of(values);
  for (float& v : values) v = std::abs(v - static_cast<float>(background));
  const double noise = std::max(least_noise, mad_to_deviation * median_of(values));
  result.background = background;
  result.noise = noise;
  if (peak - background < peak_deviations * noise) return result;
  const double threshold =
      background + std::max(member_deviations * noise, member_fraction * (peak - background));

  // 8-connected groups of samples above the threshold, by flood fill.
  std::vector<std::uint8_t> taken(in_disc.size(), 0);
  std::vector<int> stack;
  std::vector<int> members;
  for (int start = 0; start < w * h; ++start) {
    if (!in_disc[start] || taken[start] || picture.samples[start] <= threshold) continue;
    members.clear();
    stack.assign(1, start);
    taken[start] = 1;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      members.push_back(p);
      const int px = p % w;
      const int py = p / w;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int qx = px + dx;
          const int qy = py + dy;
          if (qx < 0 || qy < 0 || qx >= w || qy >= h) continue;
          const int q = qy * w + qx;
          if (in_disc[q] && !taken[q] && picture.samples[q] > threshold) {
            taken[q] = 1;
            stack.push_back(q);
          }
        }
      }
    }
    double top = 0;
    int left = w, right = 0, upper = h, lower = 0;
    for (int p : members) {
      top = std::max(top, static_cast<double>(picture.samples[p]));
      left = std::min(left, p % w), right = std::max(right, p % w);
      upper = std::min(upper, p / w), lower = std::max(lower, p / w);
    }
    if (top - background < peak_deviations * noise) continue;
    HighlightSpot spot;
    for (int p : members) spot.strength += picture.samples[p] - background;
    // The centre from a window around the spot that holds its soft rim:
    // the spot over the local level of the glaze (a plane through the
    // window's border, which the glaze's shading tilts), each pixel
    // weighing by its rise from just above the noise to near the top.
    const int reach = std::max(2, std::max(right - left, lower - upper) / 2 + 1);
    const Window window{std::max(0, left - reach), std::max(0, upper - reach),
                        std::min(w - 1, right + reach), std::min(h - 1, lower + reach)};
    const Plane glaze = border_plane(picture, in_disc, window);
    const double rise_top = top - glaze.at(0.5 * (left + right), 0.5 * (upper + lower));
    const double low = std::max(rim_deviations * noise, rim_fraction * rise_top);
    const double full = full_weight_fraction * rise_top;
    double weight_sum = 0, sx = 0, sy = 0;
    for (int y = window.top; y <= window.bottom; ++y) {
      for (int x = window.left; x <= window.right; ++x) {
        const int p = y * w + x;
        if (!in_disc[p]) continue;
        const double rise = picture.samples[p] - glaze.at(x, y);
        const double weight = std::clamp((rise - low) / (full - low), 0.0, 1.0);
        weight_sum += weight;
        sx += weight * (x + 0.5);
        sy += weight * (y + 0.5);
      }
    }
    if (!(weight_sum > 0)) continue;
    spot.x = picture.left + sx / weight_sum;
    spot.y = picture.top + sy / weight_sum;
    spot.peak = top - background;
    spot.pixels = static_cast<int>(members.size());
    result.spots.push_back(spot);
  }
  std::stable_sort(
      result.spots.begin(), result.spots.end(),
      [](const HighlightSpot& a, const HighlightSpot& b) { return a.strength > b.strength; });
  return result;
}
