// Weighted least squares in three unknowns through the normal equations
// (A^T W A) x = A^T W b, for the small fits of the light finder: a circle
// through outline points, a plane under a highlight. Three unknowns are
// solved directly by Cramer's rule.
#pragma once

struct NormalEquations3 {
  double m[3][3] = {};  // A^T W A
  double r[3] = {};     // A^T W b

  // Adds the equation row . x = value with `weight`.
  void add(const double row[3], double value, double weight = 1) {
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] += weight * row[i] * row[j];
      r[i] += weight * row[i] * value;
    }
  }

  // The solution; false when the equations do not determine it (the
  // determinant is not finite, or negligible against the diagonal's
  // product).
  bool solve(double x[3]) const;
};
