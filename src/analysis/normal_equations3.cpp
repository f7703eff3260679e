#include "analysis/normal_equations3.h"

#include <cmath>

namespace {

double determinant(const double a[3][3]) {
  return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
         a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
         a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

// Below this share of the diagonal's product the matrix is singular to
// working accuracy.
constexpr double least_relative_determinant = 1e-12;

}  // namespace

bool NormalEquations3::solve(double x[3]) const {
  const double d = determinant(m);
  const double scale = std::abs(m[0][0] * m[1][1] * m[2][2]);
  if (!std::isfinite(d) || !(std::abs(d) > least_relative_determinant * scale)) return false;
  for (int k = 0; k < 3; ++k) {
    double t[3][3];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) t[i][j] = j == k ? r[i] : m[i][j];
    }
    x[k] = determinant(t) / d;
  }
  return true;
}
