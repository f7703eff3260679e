// Closed-form roots of real polynomials of degree two, three and four, in
// double precision and without iteration, for the search of each pixel's
// brightest light direction (normals.h).
//
// Every solver writes its real roots to the front of `roots` and their
// number to `count`; a solver that reaches no conclusion leaves `count` as
// the caller set it (the quartic's caller sets -1 for "no report"). Only
// the first `count` roots are defined afterwards. Callers initialise the
// arrays they pass.
#pragma once

// A complex value as its real and imaginary parts.
struct Complex {
  double re;
  double im;
};

// A t^4 + B t^3 + C t^2 + D t + E = 0 by Ferrari's method: the depressed
// quartic x^4 + p x^2 + q x + r (t = x - B/4A) and its resolvent cubic
// y^3 + 2p y^2 + (p^2 - 4r) y - q^2, whose roots are the squares of the
// pair sums z1, z2, z3 with x = (+-z1 +- z2 +- z3) / 2.
// |A| < 1e-16 solves the cubic B..E instead. Reports 4 roots when the
// resolvent has three real nonzero roots (a negative one makes all four
// NaN), 2 when it has one real root and a complex pair, 0 after printing
// "Can not compute any roots, help!" for a negative lone resolvent root,
// and nothing otherwise (a zero resolvent root among three, or a resolvent
// the cubic solver gives up on).
void solve_quartic(double a, double b, double c, double d, double e, double roots[4], int& count);

// a t^3 + b t^2 + c t + d = 0 by Cardano's method on the depressed cubic
// x^3 + p x + q (t = x - b/3a), in the trigonometric form for three real
// roots and the hyperbolic forms for one. |a| < 1e-16 solves the quadratic
// b..d instead. `complex_roots` receives the conjugate pair when exactly
// one root is real. Prints "Can not invert hyperbolic cosine, no roots
// found, <w>" and reports 0 should the hyperbolic cosine's argument w be
// below one (a guard: a positive discriminant already puts w within 1e-15
// of one or above it).
void solve_cubic(double a, double b, double c, double d, double roots[3], Complex complex_roots[2],
                 int& count);

// a t^2 + b t + c = 0: two real roots (count 2), one double root (count 1)
// or a conjugate pair in `complex_roots` (count 0); |a| < 1e-16 solves the
// linear equation b t + c = 0 (count 1, or 0 when |b| <= 1e-16 too).
void solve_quadratic(double a, double b, double c, double roots[2], Complex complex_roots[2],
                     int& count);

// The two square roots of re + i im, the principal one (argument in
// (-pi/2, pi/2]) first; both zero when |re + i im| < 1e-10.
void complex_sqrt(double re, double im, Complex roots[2]);
