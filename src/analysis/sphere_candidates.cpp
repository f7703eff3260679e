#include "analysis/sphere_candidates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// The smallest sphere looked for: 3 pixels of the small pictures (24 in
// the photographs at 1/8), below which a highlight is a pixel or two.
constexpr double least_radius = 3;
// Dark regions are cut at these fractions of the way from the quartile
// picture's darkest hundredth to its median level.
constexpr double threshold_fractions[] = {0.15, 0.25, 0.35, 0.45, 0.55, 0.65};
// How round a region must be: the smaller spread of its pixels at least
// this share of the larger, the radius from its second moments within
// this share of the radius from its area, and at most this share of the
// disc of that radius outside it.
constexpr double least_axis_ratio = 0.8;
constexpr double radius_agreement = 0.1;
constexpr double most_missing = 0.08;

struct Region {
  double x;  // centroid, small pictures' coordinates
  double y;
  double radius;
};

float percentile(std::vector<float> values, double fraction) {
  const auto at = values.begin() + static_cast<std::ptrdiff_t>(fraction * (values.size() - 1));
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

// Per pixel, the level three quarters of the pictures stay below.
std::vector<float> upper_quartile_picture(const std::vector<GreyPicture>& pictures) {
  const std::size_t size = pictures[0].samples.size();
  std::vector<float> quartile(size);
  std::vector<float> values(pictures.size());
  const auto rank = static_cast<std::ptrdiff_t>(3 * (values.size() - 1) / 4);
  for (std::size_t p = 0; p < size; ++p) {
    for (std::size_t k = 0; k < pictures.size(); ++k) values[k] = pictures[k].samples[p];
    std::nth_element(values.begin(), values.begin() + rank, values.end());
    quartile[p] = values[rank];
  }
  return quartile;
}

// The round regions darker than `threshold` (4-connected), away from the
// picture's border.
void round_regions(const std::vector<float>& picture, int w, int h, float threshold,
                   std::vector<Region>& found) {
  std::vector<int> label(picture.size(), -1);
  std::vector<int> stack;
  std::vector<int> members;
  int next_label = 0;
  for (int start = 0; start < w * h; ++start) {
    if (label[start] >= 0 || picture[start] >= threshold) continue;
    members.clear();
    stack.assign(1, start);
    label[start] = next_label;
    bool touches_border = false;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      members.push_back(p);
      const int x = p % w;
      const int y = p / w;
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) touches_border = true;
      const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : neighbours) {
        if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
        const int q = n[1] * w + n[0];
        if (label[q] < 0 && picture[q] < threshold) {
          label[q] = next_label;
          stack.push_back(q);
        }
      }
    }
    const int this_label = next_label++;
    const double area = static_cast<double>(members.size());
    if (touches_border || area < std::numbers::pi * least_radius * least_radius) continue;
    double sx = 0, sy = 0;
    for (int p : members) sx += p % w + 0.5, sy += p / w + 0.5;
    const double cx = sx / area;
    const double cy = sy / area;
    double xx = 0, yy = 0, xy = 0;
    for (int p : members) {
      const double dx = p % w + 0.5 - cx;
      const double dy = p / w + 0.5 - cy;
      xx += dx * dx, yy += dy * dy, xy += dx * dy;
    }
    xx /= area, yy /= area, xy /= area;
    // The covariance's eigenvalues; a filled disc of radius R has R^2 / 4
    // both ways.
    const double mean = (xx + yy) / 2;
    const double spread = std::sqrt((xx - yy) * (xx - yy) / 4 + xy * xy);
    const double larger = mean + spread;
    const double smaller = mean - spread;
    const double radius = std::sqrt(area / std::numbers::pi);
    if (smaller < least_axis_ratio * larger) continue;
    if (std::abs(2 * std::sqrt(mean) / radius - 1) > radius_agreement) continue;
    // The disc of that radius must be the region's, but for its rim.
    int disc = 0, missing = 0;
    for (int y = static_cast<int>(cy - radius); y <= static_cast<int>(cy + radius); ++y) {
      for (int x = static_cast<int>(cx - radius); x <= static_cast<int>(cx + radius); ++x) {
        const double dx = x + 0.5 - cx;
        const double dy = y + 0.5 - cy;
        if (dx * dx + dy * dy > (radius - 0.5) * (radius - 0.5)) continue;
        ++disc;
        if (x < 0 || y < 0 || x >= w || y >= h || label[y * w + x] != this_label) ++missing;
      }
    }
    if (missing > most_missing * disc) continue;
    found.push_back({cx, cy, radius});
  }
}

// Whether a region shows a bright spot that moves: in at least a third of
// the pictures a sample (within three quarters of its radius, where a
// light above the object's plane is mirrored) stands clear above the mean
// of its eight neighbours, and those peaks are not all in one place. A
// highlight is a few pixels of the photograph, diluted in its block of the
// small picture but still a peak; the glaze's diffuse shading is smooth
// and makes none.
bool has_moving_highlight(const std::vector<GreyPicture>& pictures, const Region& region) {
  const double reach = 0.75 * region.radius;
  int seen = 0;
  double first_x = 0, first_y = 0, farthest = 0;
  std::vector<float> rises;
  for (const GreyPicture& picture : pictures) {
    rises.clear();
    float peak = -1;
    double px = 0, py = 0;
    for (int y = static_cast<int>(region.y - reach); y <= static_cast<int>(region.y + reach); ++y) {
      for (int x = static_cast<int>(region.x - reach); x <= static_cast<int>(region.x + reach);
           ++x) {
        const double dx = x + 0.5 - region.x;
        const double dy = y + 0.5 - region.y;
        if (x < 1 || y < 1 || x + 1 >= picture.width || y + 1 >= picture.height ||
            dx * dx + dy * dy > reach * reach) {
          continue;
        }
        float around = 0;
        for (int j = -1; j <= 1; ++j) {
          for (int i = -1; i <= 1; ++i) around += (i != 0 || j != 0) ? picture.at(x + i, y + j) : 0;
        }
        const float rise = picture.at(x, y) - around / 8;
        rises.push_back(rise);
        if (rise > peak) peak = rise, px = x + 0.5, py = y + 0.5;
      }
    }
    if (rises.size() < 5) return false;
    const float typical = percentile(rises, 0.5);
    for (float& v : rises) v = std::abs(v - typical);
    const double noise = std::max(0.25 / 255, 1.4826 * percentile(rises, 0.5));
    if (peak - typical < 8 * noise) continue;
    if (seen++ == 0) {
      first_x = px, first_y = py;
    } else {
      farthest = std::max(farthest, std::hypot(px - first_x, py - first_y));
    }
  }
  const int needed = std::max(1, static_cast<int>(pictures.size()) / 3);
  const bool moves = pictures.size() < 3 || farthest >= 0.2 * region.radius;
  return seen >= needed && moves;
}

}  // namespace

std::vector<Circle> find_sphere_candidates(const std::vector<GreyPicture>& pictures, int scale) {
  std::vector<Circle> circles;
  if (pictures.empty() || pictures[0].width < 3 || pictures[0].height < 3) return circles;
  const int w = pictures[0].width;
  const int h = pictures[0].height;
  const std::vector<float> quartile = upper_quartile_picture(pictures);
  const float dark = percentile(quartile, 0.01);
  const float typical = percentile(quartile, 0.5);
  if (typical - dark <= 1.0f / 255) return circles;
  std::vector<Region> regions;
  for (double fraction : threshold_fractions) {
    round_regions(quartile, w, h, static_cast<float>(dark + fraction * (typical - dark)), regions);
  }
  // One sphere shows at several thresholds: the largest of its round
  // regions (cut nearest its outline's mid level) stands for it.
  std::vector<Region> spheres;
  for (const Region& r : regions) {
    bool merged = false;
    for (Region& s : spheres) {
      if (std::hypot(r.x - s.x, r.y - s.y) < 0.5 * std::max(r.radius, s.radius)) {
        if (r.radius > s.radius) s = r;
        merged = true;
        break;
      }
    }
    if (!merged) spheres.push_back(r);
  }
  for (const Region& s : spheres) {
    if (has_moving_highlight(pictures, s))
      circles.push_back({s.x * scale, s.y * scale, s.radius * scale});
  }
  std::sort(circles.begin(), circles.end(),
            [](const Circle& a, const Circle& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  return circles;
}
