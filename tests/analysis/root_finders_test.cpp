#include "analysis/root_finders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// What a solver reported: its count and the real roots it wrote, in order.
struct Solution {
  int count = -1;
  std::vector<double> roots;
  Complex pair[2] = {};
};

Solution quadratic(double a, double b, double c) {
  Solution s;
  double roots[2] = {0.0, 0.0};
  solve_quadratic(a, b, c, roots, s.pair, s.count);
  s.roots.assign(roots, roots + std::max(s.count, 0));
  return s;
}

Solution cubic(double a, double b, double c, double d) {
  Solution s;
  double roots[3] = {0.0, 0.0, 0.0};
  solve_cubic(a, b, c, d, roots, s.pair, s.count);
  s.roots.assign(roots, roots + std::max(s.count, 0));
  return s;
}

Solution quartic(double a, double b, double c, double d, double e) {
  Solution s;
  double roots[4] = {0.0, 0.0, 0.0, 0.0};
  solve_quartic(a, b, c, d, e, roots, s.count);
  s.roots.assign(roots, roots + std::max(s.count, 0));
  return s;
}

std::vector<double> sorted(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values;
}

}  // namespace

TEST(SolveQuadratic, RealRootsDoubleRootComplexPairAndTheLinearFallback) {
  EXPECT_EQ(quadratic(1, -4, 3).roots, (std::vector<double>{3, 1}));    // (t - 1)(t - 3)
  EXPECT_EQ(quadratic(-2, 2, 12).roots, (std::vector<double>{3, -2}));  // -2 (t - 3)(t + 2)
  EXPECT_EQ(quadratic(1, -2, 1).roots, (std::vector<double>{1}));       // (t - 1)^2: count 1

  const Solution pair = quadratic(1, 2, 5);  // -1 +- 2i
  EXPECT_EQ(pair.count, 0);
  EXPECT_EQ(pair.pair[0].re, -1.0);
  EXPECT_EQ(pair.pair[0].im, 2.0);
  EXPECT_EQ(pair.pair[1].im, -2.0);

  EXPECT_EQ(quadratic(1e-17, 2, -4).roots, (std::vector<double>{2}));  // 2t - 4
  EXPECT_EQ(quadratic(1e-17, 1e-17, 5).count, 0);                      // a constant
}

TEST(SolveCubic, ThreeRealRootsByTheTrigonometricForm) {
  // (t - 1)(t - 2)(t - 3), also scaled: -2s cos(phi), then phi + 120 and
  // phi + 240 degrees.
  for (double scale : {1.0, 2.0, -0.25}) {
    const Solution s = cubic(scale, -6 * scale, 11 * scale, -6 * scale);
    ASSERT_EQ(s.count, 3);
    EXPECT_NEAR(s.roots[0], 1.0, 1e-12) << "scale " << scale;
    EXPECT_NEAR(s.roots[1], 3.0, 1e-12) << "scale " << scale;
    EXPECT_NEAR(s.roots[2], 2.0, 1e-12) << "scale " << scale;
  }
  // 2 (t - 1)^2 (t + 2): a double root is only good to sqrt(epsilon).
  const std::vector<double> r = sorted(cubic(2, 0, -6, 4).roots);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_NEAR(r[0], -2.0, 1e-12);
  EXPECT_NEAR(r[1], 1.0, 1e-7);
  EXPECT_NEAR(r[2], 1.0, 1e-7);
  // Triple roots, written three times.
  EXPECT_EQ(cubic(1, 0, 0, 0).roots, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(cubic(1, -6, 12, -8).roots, (std::vector<double>{2, 2, 2}));
}

TEST(SolveCubic, OneRealRootAndAComplexPair) {
  struct Case {
    double coefficients[4];
    double root;
    Complex pair;  // one of the two, the other is its conjugate
  };
  const Case cases[] = {
      {{1, 0, 1, -10}, 2.0, {-1.0, 2.0}},                 // p > 0, hyperbolic sine form
      {{1, 0, -6, -9}, 3.0, {-1.5, 0.8660254037844386}},  // p < 0, hyperbolic cosine form
      {{1, -3, 3, -9}, 3.0, {0.0, 1.7320508075688772}},   // p = 0: (t - 1)^3 = 8, cube root
      {{2, -6, 6, -18}, 3.0, {0.0, 1.7320508075688772}},
  };
  for (const Case& c : cases) {
    const double* k = c.coefficients;
    const Solution s = cubic(k[0], k[1], k[2], k[3]);
    ASSERT_EQ(s.count, 1) << "d = " << k[3];
    EXPECT_NEAR(s.roots[0], c.root, 1e-12) << "d = " << k[3];
    EXPECT_NEAR(s.pair[0].re, c.pair.re, 1e-12) << "d = " << k[3];
    EXPECT_NEAR(std::fabs(s.pair[0].im), c.pair.im, 1e-12) << "d = " << k[3];
    EXPECT_EQ(s.pair[1].re, s.pair[0].re);
    EXPECT_EQ(s.pair[1].im, -s.pair[0].im);
  }
  // A negligible leading coefficient falls back to the quadratic.
  EXPECT_EQ(cubic(1e-17, 1, -4, 3).roots, (std::vector<double>{3, 1}));
}

TEST(SolveQuartic, RealRootsByFerrarisResolvent) {
  // (t - 1)(t - 2)(t - 3)(t - 4), scaled.
  for (double scale : {1.0, 2.0, -0.5}) {
    const Solution s = quartic(scale, -10 * scale, 35 * scale, -50 * scale, 24 * scale);
    ASSERT_EQ(s.count, 4);
    const std::vector<double> r = sorted(s.roots);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(r[i], i + 1.0, 1e-7) << "scale " << scale;
  }
  // (t^2 + 1)(t - 1)(t - 2): two real roots beside a complex pair.
  const Solution two = quartic(1, -3, 3, -3, 2);
  ASSERT_EQ(two.count, 2);
  EXPECT_NEAR(two.roots[0], 2.0, 1e-12);
  EXPECT_NEAR(two.roots[1], 1.0, 1e-12);
  // Negligible leading coefficients fall back to the cubic and on.
  EXPECT_EQ(sorted(quartic(1e-17, 1, -6, 11, -6).roots), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(quartic(1e-17, 1e-17, 1, -2, 1).roots, (std::vector<double>{1}));
}

// Quartics of pixels' circle searches, with their roots as computed by an
// independent rendition of the same closed form that takes both complex
// square roots of the resolvent's pair in full: the solver's shortcuts
// (only the principal roots' real parts, the second from the first for a
// conjugate pair, no division by a monic leading coefficient) must not
// move a single bit. -4t^4 + 4 also shows the resolvent's lone root 0
// lifted to 1e-16, which moves the roots +-1 down by 5e-9.
TEST(SolveQuartic, RootsAreBitForBitThoseOfTheFullClosedForm) {
  struct Case {
    double coefficients[5];
    std::vector<double> roots;
  };
  const Case cases[] = {
      {{-38, 96, -66, -328, 60}, {0x1.6cb639a2752a8p-3, -0x1.604439c53832bp+0}},
      {{-44, -38, -30, -22, 54}, {0x1.6741414f977c5p-1, -0x1.41a679c98945fp+0}},
      {{-59, 138, 240, 98, -21}, {0x1.cbd283bf25344p+1, 0x1.388077d54f620p-3}},
      {{63, -224, -18, 128, -57}, {0x1.befa09f1c01d3p+1, -0x1.bbd42c93d9384p-1}},
      {{-4, 0, 0, 0, 4}, {0x1.ffffffd50ce24p-1, -0x1.00000015798eep+0}},
      {{5, 276, -30, -356, 5},
       {0x1.cbc0566699000p-7, 0x1.2becd4d8bb780p+0, -0x1.19b2e20e34940p+0, -0x1.ba482535543a4p+5}},
      {{-45, -268, 288, 356, -51},
       {0x1.0c78af9d4e6c8p-3, 0x1.7fb80270eb984p+0, -0x1.b6ea9a9455c3ap-1, -0x1.ae9c4543c2738p+2}},
  };
  for (const Case& c : cases) {
    const double* q = c.coefficients;
    EXPECT_EQ(quartic(q[0], q[1], q[2], q[3], q[4]).roots, c.roots) << "A = " << q[0];
  }
}

// Even quartics (q = 0) have the resolvent root y = 0, which rounding
// makes exactly zero, slightly negative or, for a lone real root, more
// negative than the 1e-16 allowance.
TEST(SolveQuartic, ResolventRootsAtZero) {
  // -t^4 + 120 t^2 - 39 (t^2 = 60 +- sqrt 3561): y = 0 exactly leaves the
  // pairing undetermined; the caller's count stays as it was.
  EXPECT_EQ(quartic(-1, 0, 120, 0, -39).count, -1);

  // -11 t^4 + 120 t^2 - 29: sqrt of a negative y poisons all four roots.
  const Solution poisoned = quartic(-11, 0, 120, 0, -29);
  ASSERT_EQ(poisoned.count, 4);
  for (double root : poisoned.roots) EXPECT_TRUE(std::isnan(root));

  // 5 t^4 + 84 t^2 - 33: a negative lone resolvent root means no root.
  testing::internal::CaptureStdout();
  EXPECT_EQ(quartic(5, 0, 84, 0, -33).count, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can not compute any roots, help!\n");
}

TEST(ComplexSqrt, PrincipalRootFirstThenItsNegation) {
  Complex roots[2] = {};
  complex_sqrt(3.0, 4.0, roots);  // (2 + i)^2 = 3 + 4i
  EXPECT_NEAR(roots[0].re, 2.0, 1e-15);
  EXPECT_NEAR(roots[0].im, 1.0, 1e-15);
  EXPECT_NEAR(roots[1].re, -2.0, 1e-15);
  EXPECT_NEAR(roots[1].im, -1.0, 1e-15);

  complex_sqrt(0.0, -2.0, roots);  // (1 - i)^2 = -2i
  EXPECT_NEAR(roots[0].re, 1.0, 1e-15);
  EXPECT_NEAR(roots[0].im, -1.0, 1e-15);

  complex_sqrt(-4.0, 0.0, roots);  // on the negative axis: 2i first
  EXPECT_NEAR(roots[0].re, 0.0, 1e-15);
  EXPECT_NEAR(roots[0].im, 2.0, 1e-15);

  complex_sqrt(3e-11, -4e-11, roots);  // modulus 5e-11: zero
  EXPECT_EQ(roots[0].re, 0.0);
  EXPECT_EQ(roots[1].im, 0.0);
}
