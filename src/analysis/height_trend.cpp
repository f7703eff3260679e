#include "analysis/height_trend.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/cholesky.h"
#include "common/parallel.h"

namespace {

constexpr int most_terms = cholesky_max_size;
constexpr int rows_per_block = 32;

// A term of the fit refused below this relative pivot is, to working
// accuracy, a combination of the terms kept before it.
constexpr double min_relative_pivot = 1e-10;

// The terms 1, x, y, x^2, x y, y^2 as powers of x and y.
constexpr int x_power[most_terms] = {0, 1, 0, 2, 1, 0};
constexpr int y_power[most_terms] = {0, 0, 1, 0, 1, 2};

int term_count(HeightTrend trend) {
  switch (trend) {
    case HeightTrend::none:
      return 0;
    case HeightTrend::plane:
      return 3;
    case HeightTrend::quadric:
      return 6;
  }
  return 0;
}

// Coordinates centred on the picture and scaled to about -1..1, so that
// the powers up to 4 in the normal matrix stay comparable in size.
struct Frame {
  double centre_x;
  double centre_y;
  double scale;
  double x(int column) const { return (column - centre_x) * scale; }
  double y(int row) const { return (row - centre_y) * scale; }
};

// The moments of a block of rows: sum of x^a y^b (a + b <= 4) over the
// object's pixels, and sum of h x^a y^b (a + b <= 2).
struct Moments {
  double xy[5][5] = {};
  double hxy[3][3] = {};
};

void add_row(const float* row, int width, const Frame& frame, double y, Moments& sums) {
  // Per row: sum x^a (a <= 4) and sum h x^a (a <= 2), then weighted by y^b.
  double px[5] = {};
  double phx[3] = {};
  for (int column = 0; column < width; ++column) {
    const float h = row[column];
    if (!std::isfinite(h)) continue;
    const double x = frame.x(column);
    const double x2 = x * x;
    px[0] += 1;
    px[1] += x;
    px[2] += x2;
    px[3] += x2 * x;
    px[4] += x2 * x2;
    phx[0] += h;
    phx[1] += h * x;
    phx[2] += h * x2;
  }
  double yb = 1;
  for (int b = 0; b <= 4; ++b, yb *= y) {
    for (int a = 0; a + b <= 4; ++a) sums.xy[a][b] += px[a] * yb;
    if (b > 2) continue;
    for (int a = 0; a + b <= 2; ++a) sums.hxy[a][b] += phx[a] * yb;
  }
}

Moments height_moments(const float* heights, int width, int height, const Frame& frame,
                       int threads) {
  std::vector<Moments> blocks(static_cast<std::size_t>(block_count(height, rows_per_block)));
  parallel_blocks(threads, height, rows_per_block, [&](std::int64_t begin, std::int64_t end) {
    Moments& sums = blocks[static_cast<std::size_t>(begin / rows_per_block)];
    for (std::int64_t r = begin; r < end; ++r) {
      add_row(heights + static_cast<std::size_t>(r) * static_cast<std::size_t>(width), width,
              frame, frame.y(static_cast<int>(r)), sums);
    }
  });
  Moments total;
  for (const Moments& block : blocks) {
    for (int a = 0; a < 5; ++a)
      for (int b = 0; b < 5; ++b) total.xy[a][b] += block.xy[a][b];
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) total.hxy[a][b] += block.hxy[a][b];
  }
  return total;
}

// The normal matrix of the terms kept[0 .. n - 1]: sums of products of
// two terms, each a moment x^a y^b.
void normal_matrix(const Moments& sums, const int* kept, int n,
                   double normal[most_terms][most_terms]) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      normal[i][j] = sums.xy[x_power[kept[i]] + x_power[kept[j]]][y_power[kept[i]] + y_power[kept[j]]];
    }
  }
}

// The least-squares coefficients of the first `terms` terms. Terms are
// taken in order and one whose column the kept ones already explain gets
// 0. The factor of a leading block does not depend on what follows it, so
// after a refused term the factor's first rows still belong to the kept
// terms.
void fit_trend(const Moments& sums, int terms, double coefficients[most_terms]) {
  int kept[most_terms];
  int n = 0;
  double normal[most_terms][most_terms] = {};
  double factor[most_terms][most_terms] = {};
  for (int t = 0; t < terms; ++t) {
    kept[n] = t;
    normal_matrix(sums, kept, n + 1, normal);
    if (cholesky_factor(normal, n + 1, min_relative_pivot, factor)) ++n;
  }
  double right[most_terms] = {};
  double solution[most_terms] = {};
  for (int i = 0; i < n; ++i) right[i] = sums.hxy[x_power[kept[i]]][y_power[kept[i]]];
  if (n > 0) cholesky_solve(factor, n, right, solution);
  for (int t = 0; t < most_terms; ++t) coefficients[t] = 0;
  for (int i = 0; i < n; ++i) coefficients[kept[i]] = solution[i];
}

}  // namespace

void remove_height_trend(float* heights, int width, int height, HeightTrend trend, int threads) {
  const int terms = term_count(trend);
  if (terms == 0 || width <= 0 || height <= 0) return;
  const Frame frame{(width - 1) / 2.0, (height - 1) / 2.0, 2.0 / std::max(width, height)};
  const Moments sums = height_moments(heights, width, height, frame, threads);
  double c[most_terms];
  fit_trend(sums, terms, c);
  parallel_blocks(threads, height, rows_per_block, [&](std::int64_t begin, std::int64_t end) {
    for (std::int64_t r = begin; r < end; ++r) {
      const double y = frame.y(static_cast<int>(r));
      float* row = heights + static_cast<std::size_t>(r) * static_cast<std::size_t>(width);
      for (int column = 0; column < width; ++column) {
        const double x = frame.x(column);
        const double fitted = c[0] + c[1] * x + c[2] * y + c[3] * x * x + c[4] * x * y + c[5] * y * y;
        row[column] = static_cast<float>(row[column] - fitted);
      }
    }
  });
}
