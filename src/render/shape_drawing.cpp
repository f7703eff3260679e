#include "render/shape_drawing.h"

#include <algorithm>
#include <cmath>

namespace {

// Lays `color` over the pixel at (x, y) by `coverage` 0..1.
void cover(RgbImage& image, int x, int y, double coverage, DrawColor color) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height || coverage <= 0) return;
  const int share = static_cast<int>(std::lround(std::min(coverage, 1.0) * 255));
  // The picture's rows are bottom-up: top-down row y is stored at height - 1 - y.
  std::uint8_t* p =
      image.pixels + (static_cast<std::size_t>(image.height - 1 - y) * image.width + x) * 3;
  p[0] = blend_sample(p[0], color.red, share);
  p[1] = blend_sample(p[1], color.green, share);
  p[2] = blend_sample(p[2], color.blue, share);
}

// Calls fn(x, y, cx, cy) for every pixel of the box [x0, x1] x [y0, y1]
// inside the picture, (cx, cy) its centre.
template <typename Fn>
void each_pixel(const RgbImage& image, double x0, double y0, double x1, double y1, Fn fn) {
  const int left = std::max(0, static_cast<int>(std::floor(x0)));
  const int top = std::max(0, static_cast<int>(std::floor(y0)));
  const int right = std::min(image.width - 1, static_cast<int>(std::ceil(x1)));
  const int bottom = std::min(image.height - 1, static_cast<int>(std::ceil(y1)));
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) fn(x, y, x + 0.5, y + 0.5);
  }
}

// The share of a pixel a shape covers whose edge lies `inside` pixels
// from the pixel's centre (negative: outside): a unit-wide ramp.
double edge_coverage(double inside) { return std::clamp(inside + 0.5, 0.0, 1.0); }

}  // namespace

void fill_rectangle(RgbImage& image, int left, int top, int width, int height, DrawColor color) {
  const int x0 = std::max(0, left);
  const int y0 = std::max(0, top);
  const int x1 =
      static_cast<int>(std::min<long long>(image.width, static_cast<long long>(left) + width));
  const int y1 =
      static_cast<int>(std::min<long long>(image.height, static_cast<long long>(top) + height));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) cover(image, x, y, 1, color);
  }
}

void fill_disc(RgbImage& image, double x, double y, double radius, DrawColor color) {
  each_pixel(image, x - radius - 1, y - radius - 1, x + radius + 1, y + radius + 1,
             [&](int px, int py, double cx, double cy) {
               cover(image, px, py, edge_coverage(radius - std::hypot(cx - x, cy - y)), color);
             });
}

void draw_ring(RgbImage& image, double x, double y, double radius, double width, DrawColor color) {
  const double reach = radius + width / 2 + 1;
  each_pixel(image, x - reach, y - reach, x + reach, y + reach,
             [&](int px, int py, double cx, double cy) {
               const double off = std::abs(std::hypot(cx - x, cy - y) - radius);
               cover(image, px, py, edge_coverage(width / 2 - off), color);
             });
}

void draw_line(RgbImage& image, double x0, double y0, double x1, double y1, double width,
               DrawColor color) {
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double length = std::hypot(dx, dy);
  if (length == 0) return;
  const double ux = dx / length;
  const double uy = dy / length;
  const double reach = width / 2 + 1;
  each_pixel(image, std::min(x0, x1) - reach, std::min(y0, y1) - reach, std::max(x0, x1) + reach,
             std::max(y0, y1) + reach, [&](int px, int py, double cx, double cy) {
               // Distances from the stroke's axis and past its ends.
               const double along = (cx - x0) * ux + (cy - y0) * uy;
               const double across = std::abs((cx - x0) * uy - (cy - y0) * ux);
               const double beyond = std::max(-along, along - length);
               const double coverage =
                   std::min(edge_coverage(width / 2 - across), edge_coverage(-beyond));
               cover(image, px, py, coverage, color);
             });
}
