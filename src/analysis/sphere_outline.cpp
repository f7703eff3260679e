#include "analysis/sphere_outline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "analysis/normal_equations3.h"
#include "common/srgb_curve.h"

namespace {

// Profiles are sampled every quarter pixel; the levels on the two sides of
// a step are read 2 to 3 pixels from it, beyond a pixel's mixing and most
// of a JPEG block's ringing.
constexpr double profile_step = 0.25;
constexpr int level_near = 8;      // samples: 2 pixels
constexpr int level_far = 12;      // 3 pixels
constexpr int gradient_reach = 4;  // the step's height over +-1 pixel

// Steps weaker than this share of the typical one are left out of a fit.
constexpr double weak_step = 0.3;
// Tukey's biweight constant (95 % efficiency for normal residuals), and the
// smallest residual scale it is given (in pixels), so that a fit whose
// points agree almost exactly still keeps them all.
constexpr double biweight = 4.685;
constexpr double least_scale = 0.02;

// The sRGB curve in a table (4096 steps, read with interpolation): the
// profiles need hundreds of thousands of decoded samples.
struct LinearTable {
  std::array<float, 4097> values;
  LinearTable() {
    for (int i = 0; i <= 4096; ++i) values[i] = static_cast<float>(srgb_to_linear(i / 4096.0));
  }
  float operator()(float encoded) const {
    const float at = std::clamp(encoded, 0.0f, 1.0f) * 4096.0f;
    const int i = std::min(static_cast<int>(at), 4095);
    return values[i] + (at - i) * (values[i + 1] - values[i]);
  }
};

// Linear light at picture point (x, y), interpolated between the four
// nearest pixel centres; false outside the picture.
bool sample(const GreyPicture& picture, const LinearTable& linear, double x, double y,
            float& value) {
  const double fx = x - picture.left - 0.5;
  const double fy = y - picture.top - 0.5;
  const int i = static_cast<int>(std::floor(fx));
  const int j = static_cast<int>(std::floor(fy));
  if (i < 0 || j < 0 || i + 1 >= picture.width || j + 1 >= picture.height) return false;
  const float tx = static_cast<float>(fx - i);
  const float ty = static_cast<float>(fy - j);
  const float a = linear(picture.at(i, j));
  const float b = linear(picture.at(i + 1, j));
  const float c = linear(picture.at(i, j + 1));
  const float d = linear(picture.at(i + 1, j + 1));
  value = (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
  return true;
}

double mean(const std::vector<float>& p, int from, int to) {
  double sum = 0;
  for (int k = from; k <= to; ++k) sum += p[k];
  return sum / (to - from + 1);
}

struct Shifted {
  double u;
  double v;
  double weight;
};

// Kasa's algebraic fit: u^2 + v^2 + D u + E v + F = 0 in least squares.
bool algebraic_circle(const std::vector<Shifted>& p, double& cu, double& cv, double& r) {
  NormalEquations3 equations;
  for (const Shifted& q : p) {
    const double row[3] = {q.u, q.v, 1};
    equations.add(row, -(q.u * q.u + q.v * q.v), q.weight);
  }
  double x[3];
  if (!equations.solve(x)) return false;
  cu = -x[0] / 2;
  cv = -x[1] / 2;
  const double r2 = cu * cu + cv * cv - x[2];
  if (!(r2 > 0)) return false;
  r = std::sqrt(r2);
  return true;
}

double median_of(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

void find_outline_points(const GreyPicture& picture, const Circle& guess, double window,
                         std::vector<OutlinePoint>& points) {
  const LinearTable linear;
  // About one ray per pixel of the circumference.
  const int rays = std::clamp(static_cast<int>(2 * std::numbers::pi * guess.radius), 64, 4096);
  const int margin = level_far + gradient_reach;
  const double start = guess.radius - window - margin * profile_step;
  if (start < 1) return;
  const int window_samples = static_cast<int>(std::ceil(window / profile_step));
  const int count = 2 * (window_samples + margin) + 1;
  std::vector<float> profile(static_cast<std::size_t>(count));
  for (int k = 0; k < rays; ++k) {
    const double angle = 2 * std::numbers::pi * (k + 0.5) / rays;
    const double dx = std::cos(angle);
    const double dy = std::sin(angle);
    bool inside = true;
    for (int s = 0; s < count && inside; ++s) {
      const double along = start + s * profile_step;
      inside = sample(picture, linear, guess.x + along * dx, guess.y + along * dy, profile[s]);
    }
    if (!inside) continue;
    // The strongest step within the window, either way (a black sphere on
    // black velvet may show its lit rim brighter than the cloth).
    int best = -1;
    double best_step = 0;
    for (int s = margin; s < count - margin; ++s) {
      const double step = std::abs(profile[s + gradient_reach] - profile[s - gradient_reach]);
      if (step > best_step) best_step = step, best = s;
    }
    if (best < 0) continue;
    const double before = mean(profile, best - level_far, best - level_near);
    const double after = mean(profile, best + level_near, best + level_far);
    const double level = (before + after) / 2;
    const double rising = after > before ? 1 : -1;
    // The crossing of the halfway level nearest the step, in its direction.
    double crossing = -1;
    double nearest = INFINITY;
    for (int s = best - level_near; s < best + level_near; ++s) {
      const double a = rising * (profile[s] - level);
      const double b = rising * (profile[s + 1] - level);
      if (a <= 0 && b > 0 && std::abs(s + 0.5 - best) < nearest) {
        nearest = std::abs(s + 0.5 - best);
        crossing = s + a / (a - b);
      }
    }
    if (crossing < 0) continue;
    const double along = start + crossing * profile_step;
    points.push_back({guess.x + along * dx, guess.y + along * dy, std::abs(after - before)});
  }
}

bool fit_outline_circle(const std::vector<OutlinePoint>& points, Circle& circle) {
  if (points.size() < 8) return false;
  std::vector<double> contrasts;
  for (const OutlinePoint& p : points) contrasts.push_back(p.contrast);
  const double typical = median_of(contrasts);
  double mx = 0;
  double my = 0;
  std::vector<Shifted> kept;
  for (const OutlinePoint& p : points) {
    if (p.contrast >= weak_step * typical) kept.push_back({p.x, p.y, p.contrast});
  }
  if (kept.size() < 8) return false;
  // Coordinates about the points' mean, for a well-conditioned system.
  for (const Shifted& q : kept) mx += q.u, my += q.v;
  mx /= kept.size();
  my /= kept.size();
  for (Shifted& q : kept) q.u -= mx, q.v -= my;
  double cu, cv, r;
  if (!algebraic_circle(kept, cu, cv, r)) return false;
  // Gauss-Newton on the distances to the circle, reweighted by Tukey's
  // biweight of the residuals at each step.
  std::vector<double> residuals(kept.size());
  for (int iteration = 0; iteration < 30; ++iteration) {
    for (std::size_t i = 0; i < kept.size(); ++i) {
      residuals[i] = std::hypot(kept[i].u - cu, kept[i].v - cv) - r;
    }
    std::vector<double> magnitudes;
    for (double d : residuals) magnitudes.push_back(std::abs(d));
    const double scale = std::max(least_scale, 1.4826 * median_of(magnitudes));
    const double limit = biweight * scale;
    NormalEquations3 equations;
    for (std::size_t i = 0; i < kept.size(); ++i) {
      const double d = residuals[i];
      if (std::abs(d) >= limit) continue;
      const double t = 1 - (d / limit) * (d / limit);
      const double w = t * t * kept[i].weight;
      const double distance = std::max(1e-9, d + r);
      const double row[3] = {-(kept[i].u - cu) / distance, -(kept[i].v - cv) / distance, -1};
      equations.add(row, -d, w);
    }
    double delta[3];
    if (!equations.solve(delta)) return false;
    cu += delta[0], cv += delta[1], r += delta[2];
    if (!(r > 0)) return false;
    if (std::abs(delta[0]) + std::abs(delta[1]) + std::abs(delta[2]) < 1e-7) break;
  }
  circle = {cu + mx, cv + my, r};
  return true;
}

bool refine_sphere_circle(const std::vector<const GreyPicture*>& pictures, Circle guess,
                          double window, Circle& refined) {
  const double windows[3] = {window, std::min(window, 2 * refined_outline_window),
                             refined_outline_window};
  for (double w : windows) {
    std::vector<OutlinePoint> points;
    for (const GreyPicture* picture : pictures) find_outline_points(*picture, guess, w, points);
    if (!fit_outline_circle(points, guess)) return false;
  }
  refined = guess;
  return true;
}
