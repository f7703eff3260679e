#include "analysis/highlight_spots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

// 1.4826 times the median absolute deviation estimates a normal
// distribution's standard deviation.
constexpr double mad_to_deviation = 1.4826;

double median_of(std::vector<float>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
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
    HighlightSpot spot;
    double top = 0;
    for (int p : members) top = std::max(top, static_cast<double>(picture.samples[p]));
    if (top - background < peak_deviations * noise) continue;
    const double full = full_weight_fraction * (top - threshold);
    double weight_sum = 0;
    double sx = 0;
    double sy = 0;
    for (int p : members) {
      const double v = picture.samples[p];
      const double weight = std::min(1.0, (v - threshold) / full);
      weight_sum += weight;
      sx += weight * (p % w + 0.5);
      sy += weight * (p / w + 0.5);
      spot.strength += v - background;
    }
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
