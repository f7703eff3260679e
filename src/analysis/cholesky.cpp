#include "analysis/cholesky.h"

#include <cmath>

bool cholesky_factor(const double m[cholesky_max_size][cholesky_max_size], int n,
                     double min_relative_pivot, double l[cholesky_max_size][cholesky_max_size]) {
  for (int j = 0; j < n; ++j) {
    double pivot = m[j][j];
    for (int k = 0; k < j; ++k) pivot -= l[j][k] * l[j][k];
    if (!(pivot > min_relative_pivot * m[j][j])) return false;
    l[j][j] = std::sqrt(pivot);
    for (int i = j + 1; i < n; ++i) {
      double sum = m[i][j];
      for (int k = 0; k < j; ++k) sum -= l[i][k] * l[j][k];
      l[i][j] = sum / l[j][j];
    }
  }
  return true;
}

void cholesky_solve(const double l[cholesky_max_size][cholesky_max_size], int n, const double* b,
                    double* x) {
  double y[cholesky_max_size];
  for (int i = 0; i < n; ++i) {
    double sum = b[i];
    for (int k = 0; k < i; ++k) sum -= l[i][k] * y[k];
    y[i] = sum / l[i][i];
  }
  for (int i = n - 1; i >= 0; --i) {
    double sum = y[i];
    for (int k = i + 1; k < n; ++k) sum -= l[k][i] * x[k];
    x[i] = sum / l[i][i];
  }
}
