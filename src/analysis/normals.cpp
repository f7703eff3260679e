#include "analysis/normals.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/root_finders.h"
#include "common/end_program.h"
#include "common/parallel.h"

namespace {

// Coefficients below this are zero up to rounding (display units: one grey
// level is 1.0).
constexpr double zero_coefficient = 1e-14;

// An interior stationary point with u^2 + v^2 above this is treated as
// lying on or beyond the circle, where the light would graze the surface.
constexpr double inside_unit_disc = 0.99999999;

// A maximum must be proper by this margin: 4 a0 a1 - a2^2 (the Hessian's
// determinant) and -a0 clearly positive.
constexpr double proper_maximum_margin = 1e-8;

// Stored coefficients are (b - bias) * scale with the scale times 256.
constexpr double inverse_scale_unit = 0.00390625;

// The luminance of an RGB map: the NTSC luma weights, rounded to two places.
constexpr double red_weight = 0.3;
constexpr double green_weight = 0.59;
constexpr double blue_weight = 0.11;

// (b - B) * S in wrapping 32-bit arithmetic, as the evaluators' conversion
// forms it before its division by 256.
std::int32_t scaled_coefficient(int stored_byte, std::int32_t scale, std::int32_t bias) {
  const std::uint32_t difference =
      static_cast<std::uint32_t>(stored_byte) - static_cast<std::uint32_t>(bias);
  return static_cast<std::int32_t>(difference * static_cast<std::uint32_t>(scale));
}

// Coefficient k (0..5) of colour plane pair c at `pixel`: a0..a2 live in
// plane 2c, a3..a5 in plane 2c + 1, three bytes per pixel.
std::int32_t plane_coefficient(const Ptm& ptm, int c, std::size_t pixel, int k) {
  const std::uint8_t* plane = ptm.coef_planes[2 * c + (k < 3 ? 0 : 1)];
  return scaled_coefficient(plane[pixel * 3 + k % 3], ptm.scale_bias[k], ptm.scale_bias[6 + k]);
}

bool supported_format(int format) {
  return format == PTM_FORMAT_RGB || format == PTM_FORMAT_LUM || format == PTM_FORMAT_LRGB;
}

void require_supported_format(const Ptm& ptm) {
  if (!supported_format(ptm.format)) {
    std::printf("Unsupported ptm format for specular effects\n");
    end_program(-1);
  }
}

double model_value(const double a[6], double u, double v) {
  return a[0] * (u * u) + a[1] * (v * v) + a[2] * u * v + a[3] * u + a[4] * v + a[5];
}

struct CirclePoint {
  double u;
  double v;
};

// The rational parametrisation of the unit circle: t = 0 is (0, 1), and
// (0, -1) is only the limit t -> +-infinity.
CirclePoint circle_point(double t) {
  const double denominator = 1.0 + t * t;
  return {2.0 * t / denominator, (1.0 - t * t) / denominator};
}

// The arc around (0, -1) that the parametrisation cannot reach: 260 to 280
// degrees in one-degree steps. The directions are the same for every
// pixel, so they are computed once.
constexpr int arc_sample_count = 21;

struct ArcDirections {
  double cos[arc_sample_count];
  double sin[arc_sample_count];
};

ArcDirections make_arc_directions() {
  ArcDirections arc{};
  for (int i = 0; i < arc_sample_count; ++i) {
    const double theta = (i * 0.005555555555555555 + 1.4444444444444444) * 3.141592653589793;
    arc.cos[i] = std::cos(theta);
    arc.sin[i] = std::sin(theta);
  }
  return arc;
}

const ArcDirections arc_directions = make_arc_directions();

struct ArcSample {
  int index;
  double value;
};

// The first of the brightest arc samples. The search starts from the
// first sample rather than from a fixed floor (say -1000, below any
// brightness a map in display units shows): a model darker than such a
// floor all along the arc (a large negative a5) still has a sample to
// compare with, and whenever a sample rises above the floor the answer is
// the same.
ArcSample brightest_arc_sample(const double a[6]) {
  ArcSample best{0, model_value(a, arc_directions.cos[0], arc_directions.sin[0])};
  for (int i = 1; i < arc_sample_count; ++i) {
    const double value = model_value(a, arc_directions.cos[i], arc_directions.sin[i]);
    if (value > best.value) best = {i, value};
  }
  return best;
}

// trunc(127 * component) in its low 8 bits. Components of unit vectors
// are in range; anything else (not produced here) stores 0 rather than
// converting an unrepresentable value.
std::int8_t stored_component(double component) {
  const double scaled = 127.0 * component;
  if (!(std::fabs(scaled) < 2147483648.0)) return 0;
  return static_cast<std::int8_t>(static_cast<std::int32_t>(scaled));
}

}  // namespace

void luminance_coefficients(const Ptm& ptm, std::size_t pixel, double a[6]) {
  if (ptm.format == PTM_FORMAT_RGB) {
    for (int k = 0; k < 6; ++k) {
      const double red = plane_coefficient(ptm, 0, pixel, k);
      const double green = plane_coefficient(ptm, 1, pixel, k);
      const double blue = plane_coefficient(ptm, 2, pixel, k);
      a[k] = (red_weight * red + green_weight * green + blue_weight * blue) * inverse_scale_unit;
    }
    return;
  }
  for (int k = 0; k < 6; ++k) a[k] = plane_coefficient(ptm, 0, pixel, k) * inverse_scale_unit;
}

int maximize_on_unit_circle(const double a[6], double& u, double& v) {
  // On the circle, dL/dt = 2 Q(t) / (1 + t^2)^3 with the quartic Q below;
  // its real roots are the circle's stationary points.
  const double qa = a[2] - a[3];
  const double qb = 4.0 * a[1] - 2.0 * a[4] - 4.0 * a[0];
  const double qc = -6.0 * a[2];
  const double qd = 4.0 * a[0] - 4.0 * a[1] - 2.0 * a[4];
  const double qe = a[2] + a[3];
  if (std::fabs(qa) < zero_coefficient && std::fabs(qb) < zero_coefficient &&
      std::fabs(qc) < zero_coefficient && std::fabs(qd) < zero_coefficient) {
    u = 0.0;
    v = 1.0;
    return 1;
  }

  double roots[4] = {0.0, 0.0, 0.0, 0.0};
  int count = -1;
  solve_quartic(qa, qb, qc, qd, qe, roots, count);
  // No report (count -1) leaves nothing to choose from, like no root at
  // all: both fall back to the clamped interior point.
  if (count <= 0) {
    std::printf("Error: No roots could be found, resort to clamping\n");
    return -1;
  }

  CirclePoint points[4] = {};
  double values[4] = {0.0, 0.0, 0.0, 0.0};
  for (int i = 0; i < count; ++i) {
    points[i] = circle_point(roots[i]);
    values[i] = model_value(a, points[i].u, points[i].v);
  }
  // The brightest root, the earliest of equal maxima. A NaN value (from a
  // negative resolvent root, or a root too large to square) fails every
  // comparison; with three or four roots no root is then chosen and the
  // value stays NaN, which loses to the arc below.
  int chosen = -1;
  if (count == 1) {
    chosen = 0;
  } else if (count == 2) {
    chosen = values[1] >= values[0] ? 1 : 0;
  } else {
    for (int i = 0; i < count && chosen < 0; ++i) {
      bool brightest = true;
      for (int j = 0; j < i; ++j) brightest = brightest && values[i] > values[j];
      for (int j = i + 1; j < count; ++j) brightest = brightest && values[i] >= values[j];
      if (brightest) chosen = i;
    }
  }
  const double root_value = chosen >= 0 ? values[chosen] : std::numeric_limits<double>::quiet_NaN();

  const ArcSample sample = brightest_arc_sample(a);
  if (root_value >= sample.value) {
    u = points[chosen].u;
    v = points[chosen].v;
  } else {
    u = arc_directions.cos[sample.index];
    v = arc_directions.sin[sample.index];
  }
  return 1;
}

void unit_normal_from_coefficients(const double a[6], double normal[3]) {
  const double a0 = a[0];
  const double a1 = a[1];
  const double a2 = a[2];
  const double a3 = a[3];
  const double a4 = a[4];

  // The stationary point of the quadric: grad L = 0, i.e.
  // [2a0 a2; a2 2a1] (u, v) = -(a3, a4), whose determinant is -M.
  double u = 0.0;
  double v = 0.0;
  const double m = a2 * a2 - 4.0 * a0 * a1;
  if (std::fabs(m) < zero_coefficient) {
    u = 0.0;
    v = 0.0;
  } else if (std::fabs(a2) < zero_coefficient) {
    u = -a3 / (2.0 * a0);
    v = -a4 / (2.0 * a1);
  } else {
    u = (2.0 * a1 * a3 - a2 * a4) / m;
    v = (-2.0 * a0 * u - a3) / a2;
  }

  if (std::fabs(a0) < zero_coefficient && std::fabs(a1) < zero_coefficient &&
      std::fabs(a2) < zero_coefficient && std::fabs(a3) < zero_coefficient &&
      std::fabs(a4) < zero_coefficient) {
    normal[0] = 0.0;
    normal[1] = 0.0;
    normal[2] = 1.0;
    return;
  }

  const double interior = u * u + v * v;
  const bool proper_maximum =
      4.0 * a0 * a1 - a2 * a2 > proper_maximum_margin && a0 < -proper_maximum_margin;
  if (interior > inside_unit_disc || !proper_maximum) {
    if (maximize_on_unit_circle(a, u, v) == -1) {
      const double radius = std::sqrt(interior);
      if (radius > zero_coefficient) {
        u /= radius;
        v /= radius;
      }
    }
  }

  const double z_squared = 1.0 - u * u - v * v;
  normal[0] = u;
  normal[1] = v;
  normal[2] = z_squared >= 0.0 ? std::sqrt(z_squared) : 0.0;
}

void normal_from_coefficients(const double a[6], std::int8_t normal[3]) {
  double unit[3];
  unit_normal_from_coefficients(a, unit);
  normal[0] = stored_component(unit[0]);
  normal[1] = stored_component(unit[1]);
  normal[2] = stored_component(unit[2]);
}

namespace {

// Calls each(begin, end) over the map's pixels in fixed blocks among
// `threads` threads; each pixel's normal is computed alone.
template <typename Each>
void over_pixel_blocks(const Ptm& ptm, int threads, Each each) {
  constexpr std::int64_t pixels_per_block = 1 << 14;
  parallel_blocks(threads, static_cast<std::int64_t>(pixel_count(ptm)), pixels_per_block,
                  [&](std::int64_t begin, std::int64_t end) {
                    each(static_cast<std::size_t>(begin), static_cast<std::size_t>(end));
                  });
}

}  // namespace

void compute_normal_field(const Ptm& ptm, std::int8_t* normals, int threads) {
  if (pixel_count(ptm) == 0) return;
  require_supported_format(ptm);
  over_pixel_blocks(ptm, threads, [&](std::size_t begin, std::size_t end) {
    double a[6];
    for (std::size_t pixel = begin; pixel < end; ++pixel) {
      luminance_coefficients(ptm, pixel, a);
      normal_from_coefficients(a, normals + pixel * 3);
    }
  });
}

void compute_unit_normal_field(const Ptm& ptm, float* normals, int threads) {
  if (pixel_count(ptm) == 0) return;
  require_supported_format(ptm);
  over_pixel_blocks(ptm, threads, [&](std::size_t begin, std::size_t end) {
    double a[6];
    double unit[3];
    for (std::size_t pixel = begin; pixel < end; ++pixel) {
      luminance_coefficients(ptm, pixel, a);
      unit_normal_from_coefficients(a, unit);
      for (int c = 0; c < 3; ++c) normals[pixel * 3 + c] = static_cast<float>(unit[c]);
    }
  });
}
