// Cholesky factorisation of small symmetric positive definite systems, the
// normal equations A^T A x = A^T y of the project's linear least-squares
// fits (six coefficients at most: a PTM pixel's model, a quadric surface).
#pragma once

// The largest system these functions solve.
inline constexpr int cholesky_max_size = 6;

// Factors the leading n x n block of the symmetric matrix m as L L^T, L in
// the lower triangle of `l`. A pivot is the part of a column that the
// columns before it do not explain (squared); below min_relative_pivot
// times the column's own squared length the column is, to working
// accuracy, a combination of the others, and the factorisation is refused
// (false).
bool cholesky_factor(const double m[cholesky_max_size][cholesky_max_size], int n,
                     double min_relative_pivot, double l[cholesky_max_size][cholesky_max_size]);

// Solves L L^T x = b for the leading n unknowns by forward and back
// substitution.
void cholesky_solve(const double l[cholesky_max_size][cholesky_max_size], int n, const double* b,
                    double* x);
