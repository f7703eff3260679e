#include "analysis/photograph_fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/photograph_fit_solve.h"
#include "common/checked_alloc.h"
#include "common/cpu_features.h"
#include "render/evaluate.h"
#include "render/evaluate_rows.h"

namespace {

int values_per_pixel(FitLayout layout) { return layout == FitLayout::lrgb ? 6 : 18; }

std::size_t pixel_count(const PhotographFit& fit) {
  return static_cast<std::size_t>(fit.width) * static_cast<std::size_t>(fit.height);
}

bool masked_out(const std::uint8_t* object_mask, std::size_t p) {
  return object_mask != nullptr && object_mask[p] == 0;
}

// A sample in grey levels for the least-squares sums, and in 16-bit units
// for the colour sums. Multiplying by the rounded 1/257 gives exactly w
// for the 16-bit equal w * 257 of every 8-bit level w, as dividing would.
float grey_levels(std::uint8_t v) { return v; }
float grey_levels(std::uint16_t v) { return static_cast<float>(v) * (1.0f / 257.0f); }
std::uint32_t sixteen_bit_units(std::uint8_t v) { return v * 257u; }
std::uint32_t sixteen_bit_units(std::uint16_t v) { return v; }
std::uint8_t grey_level_byte(std::uint8_t v) { return v; }
std::uint8_t grey_level_byte(std::uint16_t v) { return narrow_sample(v); }

template <typename Sample>
void accumulate_samples(PhotographFit& fit, const Sample* rgb, const float w[6]) {
  const std::size_t pixels = pixel_count(fit);
  float* values = fit.values;
  if (fit.layout == FitLayout::lrgb) {
    std::uint32_t* sums = fit.color_sums;
    for (std::size_t p = 0; p < pixels; ++p, rgb += 3, values += 6, sums += 4) {
      const Sample y = std::max({rgb[0], rgb[1], rgb[2]});
      const float sample = grey_levels(y);
      for (int k = 0; k < 6; ++k) values[k] += w[k] * sample;
      sums[0] += sixteen_bit_units(rgb[0]);
      sums[1] += sixteen_bit_units(rgb[1]);
      sums[2] += sixteen_bit_units(rgb[2]);
      sums[3] += sixteen_bit_units(y);
    }
    return;
  }
  for (std::size_t p = 0; p < pixels; ++p, rgb += 3, values += 18) {
    for (int c = 0; c < 3; ++c) {
      const float sample = grey_levels(rgb[c]);
      for (int k = 0; k < 6; ++k) values[6 * c + k] += w[k] * sample;
    }
  }
}

template <typename Sample>
void add_row_errors(const std::uint8_t* relit, const Sample* photo, int width,
                    const std::uint8_t* row_mask, RelitErrors& errors) {
  for (int x = 0; x < width; ++x) {
    if (row_mask != nullptr && row_mask[x] == 0) continue;
    for (int c = 0; c < 3; ++c) {
      ++errors.counts[c][std::abs(relit[3 * x + c] - grey_level_byte(photo[3 * x + c]))];
    }
  }
}

}  // namespace

bool begin_photograph_fit(const LightDirection* lights, int count, int width, int height,
                          FitLayout layout, PhotographFit& fit) {
  fit = PhotographFit{};
  double inverse[6][6];
  if (count > max_fit_photographs || !invert_normal_matrix(lights, count, inverse)) return false;
  fit.width = width;
  fit.height = height;
  fit.layout = layout;
  std::memcpy(fit.inverse, inverse, sizeof inverse);
  const std::size_t pixels = pixel_count(fit);
  const std::size_t values = pixels * values_per_pixel(layout);
  fit.values = checked_alloc_array<float>(values);
  std::fill(fit.values, fit.values + values, 0.0f);
  if (layout == FitLayout::lrgb) {
    fit.color_sums = checked_alloc_array<std::uint32_t>(pixels * 4);
    std::fill(fit.color_sums, fit.color_sums + pixels * 4, 0u);
  }
  return true;
}

void accumulate_photograph(PhotographFit& fit, const Photograph& photograph, LightDirection light) {
  double row[6];
  design_row(light, row);
  float w[6];
  for (int k = 0; k < 6; ++k) w[k] = static_cast<float>(row[k]);
  if (photograph.bits == 16) {
    accumulate_samples(fit, photograph.samples16.data(), w);
  } else {
    accumulate_samples(fit, photograph.samples8.data(), w);
  }
}

void solve_photograph_fit(PhotographFit& fit) {
  float m[6][6];
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 6; ++c) m[r][c] = static_cast<float>(fit.inverse[r][c]);
  }
  const std::size_t vectors = pixel_count(fit) * (values_per_pixel(fit.layout) / 6);
  if (cpu_has_avx2()) {
    solve_vectors_avx2(fit.values, vectors, m);
  } else {
    solve_vectors_portable(fit.values, vectors, m);
  }
}

Ptm* make_fitted_ptm(PhotographFit& fit, const std::uint8_t* object_mask,
                     CoefRepresentation representation) {
  const std::size_t pixels = pixel_count(fit);
  const int per_pixel = values_per_pixel(fit.layout);
  for (std::size_t p = 0; p < pixels; ++p) {
    if (masked_out(object_mask, p)) std::fill_n(fit.values + per_pixel * p, per_pixel, 0.0f);
  }
  if (fit.layout == FitLayout::rgb) {
    return make_rgb_ptm(RgbFit{fit.width, fit.height, fit.values}, representation);
  }
  std::uint8_t* color = checked_alloc_array<std::uint8_t>(pixels * 3);
  for (std::size_t p = 0; p < pixels; ++p) {
    const std::uint32_t* sums = fit.color_sums + 4 * p;
    for (int c = 0; c < 3; ++c) {
      color[3 * p + c] = masked_out(object_mask, p) ? 0 : lrgb_color_byte(sums[c], sums[3]);
    }
  }
  Ptm* ptm = make_lrgb_ptm(LrgbFit{fit.width, fit.height, fit.values, color}, representation);
  checked_free(color);
  return ptm;
}

void free_photograph_fit(PhotographFit& fit) {
  checked_free(fit.values);
  checked_free(fit.color_sums);
  fit = PhotographFit{};
}

RelitErrors relit_errors(const Ptm& ptm, const Photograph& photograph, LightDirection light,
                         const std::uint8_t* object_mask) {
  RelitErrors errors;
  const LightWeights weights = light_weights_for(light.u, light.v);
  const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
  const std::size_t row_bytes = static_cast<std::size_t>(ptm.width) * 3;
  std::vector<std::uint8_t> relit(row_bytes);
  for (int y = 0; y < ptm.height; ++y) {
    evaluate_row(ptm, weights, 0, y, ptm.width, relit.data());
    const std::size_t row_start = static_cast<std::size_t>(y) * ptm.width;
    const std::uint8_t* row_mask = object_mask != nullptr ? object_mask + row_start : nullptr;
    if (photograph.bits == 16) {
      add_row_errors(relit.data(), photograph.samples16.data() + row_start * 3, ptm.width,
                     row_mask, errors);
    } else {
      add_row_errors(relit.data(), photograph.samples8.data() + row_start * 3, ptm.width,
                     row_mask, errors);
    }
  }
  return errors;
}

void add_relit_errors(RelitErrors& total, const RelitErrors& part) {
  for (int c = 0; c < 3; ++c) {
    for (int d = 0; d < 256; ++d) total.counts[c][d] += part.counts[c][d];
  }
}

namespace {

void add_squares(const RelitErrors& errors, int channel, double& squares, double& samples) {
  for (int d = 0; d < 256; ++d) {
    const double n = static_cast<double>(errors.counts[channel][d]);
    squares += n * d * d;
    samples += n;
  }
}

}  // namespace

double relit_rms(const RelitErrors& errors, int channel) {
  double squares = 0.0;
  double samples = 0.0;
  add_squares(errors, channel, squares, samples);
  return samples > 0 ? std::sqrt(squares / samples) : 0.0;
}

double relit_rms(const RelitErrors& errors) {
  double squares = 0.0;
  double samples = 0.0;
  for (int c = 0; c < 3; ++c) add_squares(errors, c, squares, samples);
  return samples > 0 ? std::sqrt(squares / samples) : 0.0;
}

int relit_percentile(const RelitErrors& errors, int channel, double fraction) {
  std::uint64_t samples = 0;
  for (int d = 0; d < 256; ++d) samples += errors.counts[channel][d];
  if (samples == 0) return 0;
  // Nearest rank: the ceil(fraction * n)-th smallest difference.
  const auto rank = static_cast<std::uint64_t>(std::ceil(fraction * static_cast<double>(samples)));
  std::uint64_t seen = 0;
  for (int d = 0; d < 256; ++d) {
    seen += errors.counts[channel][d];
    if (seen >= rank) return d;
  }
  return 255;
}
