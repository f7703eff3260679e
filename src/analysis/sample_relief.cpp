#include "analysis/sample_relief.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "common/checked_alloc.h"

namespace {

constexpr double pi = std::numbers::pi;

struct Point {
  double x;
  double y;
};

struct Segment {
  Point a;
  Point b;
};

// Glyphs of the stroke font: centre lines of the strokes in em units
// (cap height 1, y up, x from the glyph's left edge), as polylines.
using Polyline = std::vector<Point>;

struct Glyph {
  double advance;  // width of the glyph's strokes in em
  std::vector<Polyline> strokes;
};

// Points of an elliptic arc from angle a0 to a1 (degrees), both ends
// included; curves of the font are polylines through such points.
Polyline arc(Point centre, double rx, double ry, double a0, double a1, int pieces) {
  Polyline line;
  for (int i = 0; i <= pieces; ++i) {
    const double a = (a0 + (a1 - a0) * i / pieces) * pi / 180.0;
    line.push_back({centre.x + rx * std::cos(a), centre.y + ry * std::sin(a)});
  }
  return line;
}

Polyline join(Polyline first, const Polyline& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::vector<Glyph> relumo_glyphs() {
  const Glyph r{0.6,
                {{{0, 0}, {0, 1}},
                 join(join({{0, 1}}, arc({0.34, 0.76}, 0.24, 0.24, 90, -90, 12)), {{0, 0.52}}),
                 {{0.26, 0.52}, {0.6, 0}}}};
  const Glyph e{0.5, {{{0.5, 1}, {0, 1}, {0, 0}, {0.5, 0}}, {{0, 0.52}, {0.42, 0.52}}}};
  const Glyph l{0.5, {{{0, 1}, {0, 0}, {0.5, 0}}}};
  const Glyph u{0.6, {join(join({{0, 1}}, arc({0.3, 0.3}, 0.3, 0.3, 180, 360, 12)), {{0.6, 1}})}};
  const Glyph m{0.75, {{{0, 0}, {0, 1}, {0.375, 0.35}, {0.75, 1}, {0.75, 0}}}};
  const Glyph o{0.7, {arc({0.35, 0.5}, 0.35, 0.5, 0, 360, 32)}};
  return {r, e, l, u, m, o};
}

// The word as line segments in pixels: cap height `size`, left end of the
// baseline at `origin`, glyphs `gap` em apart.
std::vector<Segment> word_segments(Point origin, double size, double gap) {
  std::vector<Segment> segments;
  double pen = origin.x;
  for (const Glyph& glyph : relumo_glyphs()) {
    for (const Polyline& line : glyph.strokes) {
      for (std::size_t i = 1; i < line.size(); ++i) {
        segments.push_back({{pen + size * line[i - 1].x, origin.y + size * line[i - 1].y},
                            {pen + size * line[i].x, origin.y + size * line[i].y}});
      }
    }
    pen += size * (glyph.advance + gap);
  }
  return segments;
}

double word_width(double size, double gap) {
  double width = 0.0;
  for (const Glyph& glyph : relumo_glyphs()) width += size * (glyph.advance + gap);
  return width - size * gap;
}

double distance_to_segment(Point p, const Segment& s) {
  const double dx = s.b.x - s.a.x;
  const double dy = s.b.y - s.a.y;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

// Rounded stroke profile: height * cos^2(pi d / 2r) inside the stroke
// radius r, zero outside; smooth at the crest and where it meets the ground.
double stroke_profile(double d, double radius, double height) {
  if (d >= radius) return 0.0;
  const double c = std::cos(pi * d / (2.0 * radius));
  return height * c * c;
}

double gaussian(double d2, double sigma) { return std::exp(-d2 / (2.0 * sigma * sigma)); }

double smoothstep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// Everything is laid out in fractions of the raster so that a smaller
// raster (in tests) holds the same picture.
struct Layout {
  double scale;  // pixels per unit of the 512 x 384 design
  std::vector<Segment> letters;
  double stroke_radius;
  Point ring_centre;
  double ring_radius;
};

Layout make_layout(int width, int height) {
  Layout layout{};
  layout.scale = std::min(width / 512.0, height / 384.0);
  const double size = 88.0 * layout.scale;
  const double gap = 0.22;
  const Point origin{0.5 * width - 0.5 * word_width(size, gap), 0.52 * height};
  layout.letters = word_segments(origin, size, gap);
  layout.stroke_radius = 0.085 * size;
  layout.ring_centre = {0.5 * width, 0.26 * height};
  layout.ring_radius = 52.0 * layout.scale;
  return layout;
}

double letter_distance(const Layout& layout, Point p) {
  double best = 1e30;
  for (const Segment& s : layout.letters) best = std::min(best, distance_to_segment(p, s));
  return best;
}

// Height in pixels at p.
double relief_height(const Layout& layout, Point p, int width, int height, double letter_d) {
  const double s = layout.scale;
  double h = stroke_profile(letter_d, layout.stroke_radius, 6.0 * s);

  // Bumps: two large domes in the lower corners, two small ones above the
  // word, and a boss inside the ring.
  const struct {
    double fx, fy, sigma, amplitude;
  } bumps[] = {{0.14, 0.22, 30, 16},
               {0.86, 0.20, 24, 12},
               {0.30, 0.88, 12, 6},
               {0.70, 0.88, 12, 6},
               {0.50, 0.26, 16, 9}};
  for (const auto& b : bumps) {
    const double dx = p.x - b.fx * width;
    const double dy = p.y - b.fy * height;
    h += b.amplitude * s * gaussian(dx * dx + dy * dy, b.sigma * s);
  }

  // A ring groove of Gaussian section around the medallion.
  const double rho = std::hypot(p.x - layout.ring_centre.x, p.y - layout.ring_centre.y);
  const double off_ring = rho - layout.ring_radius;
  h -= 5.0 * s * gaussian(off_ring * off_ring, 4.0 * s);

  // A shallow groove frame 16 units inside the border.
  const double inset = 16.0 * s;
  const double to_frame = std::min({std::fabs(p.x - inset), std::fabs(p.x - (width - 1 - inset)),
                                    std::fabs(p.y - inset), std::fabs(p.y - (height - 1 - inset))});
  const bool inside_frame_box = p.x > inset - 6 * s && p.x < width - 1 - inset + 6 * s &&
                                p.y > inset - 6 * s && p.y < height - 1 - inset + 6 * s;
  if (inside_frame_box) h -= 3.0 * s * gaussian(to_frame * to_frame, 2.5 * s);
  return h;
}

// Reflectance at p: terracotta ground with a slow mottling, an ochre band
// behind the word, a blue-green medallion in the ring, ivory lettering.
void relief_albedo(const Layout& layout, Point p, int width, int height, double letter_d,
                   float out[3]) {
  const double s = layout.scale;
  const double mottle = 1.0 + 0.05 * std::sin(p.x / (23.0 * s)) * std::sin(p.y / (17.0 * s)) +
                        0.03 * std::sin((p.x + 2 * p.y) / (9.0 * s));
  double c[3] = {0.78 * mottle, 0.44 * mottle, 0.28 * mottle};
  auto paint = [&c](const double colour[3], double amount) {
    for (int k = 0; k < 3; ++k) c[k] += (colour[k] - c[k]) * amount;
  };

  const double ochre[3] = {0.86, 0.66, 0.26};
  const double band_lo = 0.46 * height;
  const double band_hi = 0.80 * height;
  const double band = smoothstep(band_lo - 2 * s, band_lo + 2 * s, p.y) *
                      (1.0 - smoothstep(band_hi - 2 * s, band_hi + 2 * s, p.y)) *
                      smoothstep(0.07 * width, 0.09 * width, p.x) *
                      (1.0 - smoothstep(0.91 * width, 0.93 * width, p.x));
  paint(ochre, 0.85 * band);

  const double teal[3] = {0.16, 0.46, 0.52};
  const double rho = std::hypot(p.x - layout.ring_centre.x, p.y - layout.ring_centre.y);
  paint(teal, 1.0 - smoothstep(layout.ring_radius - 9 * s, layout.ring_radius - 7 * s, rho));

  const double ivory[3] = {0.95, 0.90, 0.78};
  const double r = layout.stroke_radius;
  paint(ivory, 1.0 - smoothstep(0.55 * r, 0.8 * r, letter_d));

  const double oxblood[3] = {0.50, 0.16, 0.14};
  const double dx = p.x - 0.86 * width;
  const double dy = p.y - 0.20 * height;
  paint(oxblood, 1.0 - smoothstep(20 * s, 23 * s, std::hypot(dx, dy)));

  for (int k = 0; k < 3; ++k) out[k] = static_cast<float>(std::clamp(c[k], 0.0, 1.0));
}

}  // namespace

SampleRelief* make_sample_relief(int width, int height) {
  auto* relief = checked_alloc_array<SampleRelief>(1);
  relief->width = width;
  relief->height = height;
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  relief->normals = checked_alloc_array<float>(pixels * 3);
  relief->albedo = checked_alloc_array<float>(pixels * 3);

  const Layout layout = make_layout(width, height);
  std::vector<double> h(pixels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Point p{static_cast<double>(x), static_cast<double>(y)};
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      const double letter_d = letter_distance(layout, p);
      h[i] = relief_height(layout, p, width, height, letter_d);
      relief_albedo(layout, p, width, height, letter_d, relief->albedo + 3 * i);
    }
  }

  // Normal of the surface z = h(x, y): (-dh/dx, -dh/dy, 1), normalised, with
  // central differences inside and one-sided ones at the border.
  auto at = [&](int x, int y) { return h[static_cast<std::size_t>(y) * width + x]; };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int x0 = std::max(x - 1, 0), x1 = std::min(x + 1, width - 1);
      const int y0 = std::max(y - 1, 0), y1 = std::min(y + 1, height - 1);
      const double dx = x1 > x0 ? (at(x1, y) - at(x0, y)) / (x1 - x0) : 0.0;
      const double dy = y1 > y0 ? (at(x, y1) - at(x, y0)) / (y1 - y0) : 0.0;
      const double norm = std::sqrt(dx * dx + dy * dy + 1.0);
      float* n = relief->normals + 3 * (static_cast<std::size_t>(y) * width + x);
      n[0] = static_cast<float>(-dx / norm);
      n[1] = static_cast<float>(-dy / norm);
      n[2] = static_cast<float>(1.0 / norm);
    }
  }
  return relief;
}

void free_sample_relief(SampleRelief* relief) {
  if (relief == nullptr) return;
  checked_free(relief->normals);
  checked_free(relief->albedo);
  checked_free(relief);
}

void sample_light_directions(LightDirection lights[sample_light_count]) {
  const double elevations[4] = {18.0, 36.0, 54.0, 72.0};
  int i = 0;
  for (int ring = 0; ring < 4; ++ring) {
    const double radius = std::cos(elevations[ring] * pi / 180.0);
    for (int k = 0; k < 12; ++k, ++i) {
      const double azimuth = (30.0 * k + 7.5 * ring) * pi / 180.0;
      lights[i] = {static_cast<float>(radius * std::cos(azimuth)),
                   static_cast<float>(radius * std::sin(azimuth))};
    }
  }
}

void render_lambertian(const SampleRelief& relief, LightDirection light, RgbImage& out) {
  const double lx = light.u;
  const double ly = light.v;
  const double lz = std::sqrt(std::max(0.0, 1.0 - lx * lx - ly * ly));
  const std::size_t pixels = static_cast<std::size_t>(relief.width) * relief.height;
  for (std::size_t i = 0; i < pixels; ++i) {
    const float* n = relief.normals + 3 * i;
    const double shade = std::max(0.0, n[0] * lx + n[1] * ly + n[2] * lz);
    for (int c = 0; c < 3; ++c) {
      const double value = std::round(relief.albedo[3 * i + c] * shade * 255.0);
      out.pixels[3 * i + c] = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
    }
  }
}
