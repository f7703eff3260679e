#include "analysis/root_finders.h"

#include <cmath>
#include <cstdio>

// The tolerances below are absolute: the normal search feeds these solvers
// luminance coefficients in display units (one grey level is 1.0), far
// above them, so they only catch coefficients that are zero up to rounding.

namespace {

// Below this a leading coefficient counts as zero and the degree drops.
constexpr double zero_coefficient = 1e-16;

// 2 pi / 3 and 4 pi / 3: the other two angles of the trigonometric form.
constexpr double third_turn = 2.0943951023931953;
constexpr double two_third_turns = 4.1887902047863905;

// The hyperbolic cosine's argument must be at least one. A guard only: a
// positive discriminant already puts the computed argument above 1 - 1e-15.
constexpr double min_acosh_argument = 0.99999999;

// The real cube root tau of -q (tau^3 = -q), by the library power
// function on |q|.
double negated_cube_root(double q) {
  return q >= 0.0 ? -std::pow(q, 1.0 / 3.0) : std::pow(-q, 1.0 / 3.0);
}

// Below this modulus complex_sqrt gives zero.
constexpr double negligible_modulus = 1e-10;

// The real part of complex_sqrt's first (principal) root, by the same
// operations: the quartic needs no more, and skipping the rest saves three
// of the four trigonometric calls.
double principal_sqrt_real(double re, double im) {
  const double modulus = std::sqrt(re * re + im * im);
  if (modulus < negligible_modulus) return 0.0;
  double angle = std::acos(re / modulus);
  if (im < 0.0) angle = -angle;
  return std::sqrt(modulus) * std::cos(angle / 2.0);
}

}  // namespace

void solve_quadratic(double a, double b, double c, double roots[2], Complex complex_roots[2],
                     int& count) {
  if (std::fabs(a) >= zero_coefficient) {
    const double b_n = b / a;
    const double discriminant = b_n * b_n / 4.0 - c / a;
    if (discriminant > 0.0) {
      const double root = std::sqrt(discriminant);
      roots[0] = root - b_n / 2.0;
      roots[1] = -b_n / 2.0 - root;
      count = 2;
    } else if (std::fabs(discriminant) >= zero_coefficient) {
      const double im = std::sqrt(-discriminant);
      complex_roots[0] = {-b_n / 2.0, im};
      complex_roots[1] = {-b_n / 2.0, -im};
      count = 0;
    } else {
      roots[0] = -b_n / 2.0;
      count = 1;
    }
  } else if (std::fabs(b) > zero_coefficient) {
    roots[0] = -c / b;
    count = 1;
  } else {
    count = 0;
  }
}

void solve_cubic(double a, double b, double c, double d, double roots[3], Complex complex_roots[2],
                 int& count) {
  if (std::fabs(a) < zero_coefficient) {
    solve_quadratic(b, c, d, roots, complex_roots, count);
    return;
  }
  // The quartic's resolvent is already monic; x / 1 is x, and the three
  // divisions are worth saving on that path.
  const bool monic = a == 1.0;
  const double b_n = monic ? b : b / a;
  const double c_n = monic ? c : c / a;
  const double d_n = monic ? d : d / a;
  // Depressed cubic x^3 + p x + q with t = x - b_n/3, and its discriminant
  // (p/3)^3 + (q/2)^2: negative for three distinct real roots.
  const double p = c_n - b_n * b_n * 0.3333333333333333;
  const double q = 0.07407407407407407 * (b_n * b_n * b_n) - b_n * c_n / 3.0 + d_n;
  const double discriminant = 0.037037037037037035 * (p * p * p) + 0.25 * (q * q);
  const double shift = b_n / 3.0;
  double s = std::sqrt(std::fabs(p) / 3.0);

  if (std::fabs(p) < zero_coefficient) {
    if (std::fabs(q) < zero_coefficient) {
      roots[0] = roots[1] = roots[2] = -shift;
      count = 3;
      return;
    }
    // x^3 = -q: the real cube root tau, and the other two from
    // (x^3 + q) / (x - tau) = x^2 + tau x + tau^2, written with q.
    const double tau = negated_cube_root(q);
    double quadratic_roots[2] = {0.0, 0.0};
    Complex pair[2] = {{0.0, 0.0}, {0.0, 0.0}};
    solve_quadratic(1.0, -q / (tau * tau), -q / tau, quadratic_roots, pair, count);
    if (count == 2) {
      roots[0] = tau - shift;
      roots[1] = quadratic_roots[0] - shift;
      roots[2] = quadratic_roots[1] - shift;
      count = 3;
    } else {
      roots[0] = tau - shift;
      complex_roots[0] = {pair[0].re - shift, pair[0].im};
      complex_roots[1] = {pair[1].re - shift, pair[1].im};
      count = 1;
    }
    return;
  }

  // With x = -2 s c, s = sqrt(|p|/3) taking the sign of q, the cubic
  // becomes 4c^3 - 3c = w (p < 0) or its hyperbolic sine analogue (p > 0),
  // w = q / (2 s^3) >= 0.
  if (q < 0.0) s = -s;
  const double w = q / (2.0 * (s * s * s));
  if (p < 0.0 && discriminant <= 0.0) {
    // Three real roots: cos 3phi = w.
    const double phi = std::acos(w) / 3.0;
    roots[0] = -2.0 * s * std::cos(phi) - shift;
    roots[1] = -2.0 * s * std::cos(phi + third_turn) - shift;
    roots[2] = -2.0 * s * std::cos(phi + two_third_turns) - shift;
    count = 3;
  } else if (p < 0.0 && discriminant > 0.0) {
    // One real root: cosh 3psi = w, psi = acosh(w) / 3.
    if (w <= min_acosh_argument) {
      std::printf("Can not invert hyperbolic cosine, no roots found, %lf\n", w);
      count = 0;
      return;
    }
    const double psi = std::log(w + std::sqrt(w * w - 1.0)) / 3.0;
    const double t1 = s * std::cosh(psi);
    const double im = std::sqrt(3.0) * s * std::sinh(psi);
    roots[0] = -2.0 * t1 - shift;
    complex_roots[0] = {t1 - shift, im};
    complex_roots[1] = {t1 - shift, -im};
    count = 1;
  } else if (p > 0.0) {
    // One real root: sinh 3psi = w, psi = asinh(w) / 3.
    const double psi = std::log(w + std::sqrt(w * w + 1.0)) / 3.0;
    const double t1 = s * std::sinh(psi);
    const double im = std::sqrt(3.0) * s * std::cosh(psi);
    roots[0] = -2.0 * t1 - shift;
    complex_roots[0] = {t1 - shift, im};
    complex_roots[1] = {t1 - shift, -im};
    count = 1;
  }
  // Otherwise p or the discriminant is NaN (a coefficient was not a
  // number, or the discriminant's terms overflowed to opposite
  // infinities): nothing is reported.
}

void solve_quartic(double a, double b, double c, double d, double e, double roots[4], int& count) {
  if (std::fabs(a) < zero_coefficient) {
    Complex unused[2] = {{0.0, 0.0}, {0.0, 0.0}};
    solve_cubic(b, c, d, e, roots, unused, count);
    return;
  }
  const double b_n = b / a;
  const double c_n = c / a;
  const double d_n = d / a;
  const double e_n = e / a;
  // Depressed quartic x^4 + p x^2 + q x + r, t = x - b_n/4.
  const double p = c_n - 0.375 * (b_n * b_n);
  const double q = 0.125 * (b_n * b_n * b_n) - 0.5 * b_n * c_n + d_n;
  const double r =
      e_n - 0.25 * b_n * d_n + 0.0625 * (b_n * b_n) * c_n - 0.01171875 * std::pow(b_n, 4.0);
  const double shift = b_n / 4.0;

  double y[3] = {0.0, 0.0, 0.0};
  Complex w[2] = {{0.0, 0.0}, {0.0, 0.0}};
  int resolvent_count = -1;
  solve_cubic(1.0, 2.0 * p, p * p - 4.0 * r, -(q * q), y, w, resolvent_count);

  if (resolvent_count == 3) {
    // z1 z2 z3 must equal -q; the four roots take an odd number of minus
    // signs, so z3 carries the sign of q. A zero resolvent root leaves the
    // pairing undetermined and nothing is reported.
    if (y[0] == 0.0 || y[1] == 0.0 || y[2] == 0.0) return;
    const double z1 = std::sqrt(y[0]);
    const double z2 = std::sqrt(y[1]);
    double z3 = std::sqrt(y[2]);
    if (q < 0.0) z3 = -z3;
    roots[0] = (z1 + z2 - z3) / 2.0 - shift;
    roots[1] = (z1 - z2 + z3) / 2.0 - shift;
    roots[2] = (-z1 + z2 + z3) / 2.0 - shift;
    roots[3] = (-z1 - z2 - z3) / 2.0 - shift;
    count = 4;
  } else if (resolvent_count == 1) {
    // One real resolvent root y1 and a conjugate pair w1, w2: the pair's
    // principal square roots are conjugate too, so their sum is real and
    // two of the quartic's roots are real. Their common real part (cos is
    // even) is computed once.
    const double s1 = principal_sqrt_real(w[0].re, w[0].im);
    const double s2 =
        w[1].re == w[0].re && w[1].im == -w[0].im ? s1 : principal_sqrt_real(w[1].re, w[1].im);
    double y1 = y[0];
    if (std::fabs(y1) < zero_coefficient) {
      y1 = zero_coefficient;
    } else if (y1 < -zero_coefficient) {
      std::printf("Can not compute any roots, help!\n");
      count = 0;
      return;
    }
    double z = std::sqrt(y1);
    if (q < 0.0) z = -z;
    roots[0] = (s1 + s2 - z) / 2.0 - shift;
    roots[1] = (-z - s1 - s2) / 2.0 - shift;
    count = 2;
  }
}

void complex_sqrt(double re, double im, Complex roots[2]) {
  const double modulus = std::sqrt(re * re + im * im);
  if (modulus < negligible_modulus) {
    roots[0] = {0.0, 0.0};
    roots[1] = {0.0, 0.0};
    return;
  }
  double angle = std::acos(re / modulus);
  if (im < 0.0) angle = -angle;
  const double root_modulus = std::sqrt(modulus);
  roots[0] = {root_modulus * std::cos(angle / 2.0), root_modulus * std::sin(angle / 2.0)};
  const double turned = angle + 6.283185307179586;
  roots[1] = {root_modulus * std::cos(turned / 2.0), root_modulus * std::sin(turned / 2.0)};
}
