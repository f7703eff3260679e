#include "render/specular.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

HalfVector specular_half_vector(float u, float v) {
  const double d = static_cast<double>(u) * u + static_cast<double>(v) * v;
  const double r = std::sqrt(d);
  if (r <= 1) {
    // (L + V) / |L + V| with L = (u, v, sqrt(1 - d)) and V = (0, 0, 1):
    // |L + V| = sqrt(2 (1 + Lz)).
    const double g = 1 + std::sqrt(1 - d);
    const double f = std::sqrt(2 * g);
    return {u / f, v / f, g / f};
  }
  if (r <= 2) {
    // The z of L + V falls linearly from 1 at r = 1 to 0 at r = 2.
    const double g = 2 - r;
    const double f = std::sqrt(g * g + static_cast<double>(v) * v + static_cast<double>(u) * u);
    return {u / f, v / f, g / f};
  }
  return {u / r, v / r, 0};
}

namespace {

// The highlight 255 ks t of a normal (three signed bytes) for the half-way
// vector, exponent and Ks.
double highlight_of(const std::int8_t* n, const SpecularSettings& settings,
                    const HalfVector& half) {
  const double nx = n[0];
  const double ny = n[1];
  const double nz = n[2];
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  double s = 0;
  if (length > 0) {
    s = nx / length * half.x + ny / length * half.y + nz / length * half.z;
  }
  double t = 0;
  if (s > 1) {
    t = 1;
  } else if (s >= 0) {
    t = std::pow(s, settings.exponent);
  }
  return t * settings.ks * 255;
}

void shade(std::uint8_t& c, float kd, double highlight) {
  const float value = static_cast<float>(c * kd + highlight);
  const long rounded = std::lrintf(value);  // nearest, ties to even
  c = static_cast<std::uint8_t>(rounded > 255 ? 255 : rounded);
}

// A map whose normals are not computed yet shows no highlight, like a
// pixel whose normal has no length.
const std::int8_t no_normal[3] = {0, 0, 0};

const std::int8_t* normal_at(const Ptm& ptm, int x, int y) {
  return ptm.normals == nullptr ? no_normal
                                : ptm.normals + (static_cast<std::size_t>(y) * ptm.width + x) * 3;
}

// Highlights already computed during one picture, by normal: a surface's
// normals repeat, and the power and square root are most of the cost.
// Direct-mapped on a hash of the three bytes; a slot remembers its normal,
// so a collision only costs a recomputation.
class HighlightMemo {
 public:
  HighlightMemo() { std::fill(std::begin(keys_), std::end(keys_), empty_key); }

  double highlight(const std::int8_t* n, const SpecularSettings& settings, const HalfVector& half) {
    const std::uint32_t key = static_cast<std::uint8_t>(n[0]) |
                              static_cast<std::uint32_t>(static_cast<std::uint8_t>(n[1])) << 8 |
                              static_cast<std::uint32_t>(static_cast<std::uint8_t>(n[2])) << 16;
    const std::uint32_t slot = (key * 2654435761u) >> (32 - slot_bits);
    if (keys_[slot] != key) {
      keys_[slot] = key;
      values_[slot] = highlight_of(n, settings, half);
    }
    return values_[slot];
  }

 private:
  static constexpr int slot_bits = 16;
  static constexpr std::uint32_t empty_key = 0xffffffffu;  // no normal has it
  std::uint32_t keys_[1 << slot_bits];
  double values_[1 << slot_bits];
};

}  // namespace

void apply_specular(const Ptm& ptm, const SpecularSettings& settings, const HalfVector& half, int x,
                    int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
  const double highlight = highlight_of(normal_at(ptm, x, y), settings, half);
  shade(r, settings.kd, highlight);
  shade(g, settings.kd, highlight);
  shade(b, settings.kd, highlight);
}

void apply_specular_to_image(const Ptm& ptm, const SpecularSettings& settings,
                             const HalfVector& half, RgbImage& image, int x0, int y0) {
  auto memo = std::make_unique<HighlightMemo>();
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* pixel = image.pixels + static_cast<std::size_t>(y) * image.width * 3;
    for (int x = 0; x < image.width; ++x, pixel += 3) {
      const double highlight = memo->highlight(normal_at(ptm, x0 + x, y0 + y), settings, half);
      shade(pixel[0], settings.kd, highlight);
      shade(pixel[1], settings.kd, highlight);
      shade(pixel[2], settings.kd, highlight);
    }
  }
}

void evaluate_texture_mapped(const Ptm& ptm, const LightWeights& head_on, int x, int y, int k,
                             std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
  select_evaluator(ptm)(ptm, head_on, x, y, r, g, b);
  r = static_cast<std::uint8_t>((k * r) >> 8);
  g = static_cast<std::uint8_t>((k * g) >> 8);
  b = static_cast<std::uint8_t>((k * b) >> 8);
}
