#include "analysis/photograph_fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/photograph_fit_solve.h"
#include "common/checked_alloc.h"
#include "common/cpu_features.h"
#include "common/parallel.h"
#include "render/evaluate.h"
#include "render/evaluate_rows.h"

namespace {

int values_per_pixel(FitLayout layout) { return 6 * fitted_channels(layout); }

std::size_t pixel_count(const PhotographFit& fit) {
  return static_cast<std::size_t>(fit.width) * static_cast<std::size_t>(fit.height);
}

bool masked_out(const std::uint8_t* object_mask, std::size_t p) {
  return object_mask != nullptr && object_mask[p] == 0;
}

// The pixels of one block of the per-pixel passes: enough work to be
// worth a thread, many blocks even for a photograph of a few megapixels.
constexpr std::int64_t pixel_block = 16384;

// A sample in grey levels for the least-squares sums, and in 16-bit units
// for the colour sums. Multiplying by the rounded 1/257 gives exactly w
// for the 16-bit equal w * 257 of every 8-bit level w, as dividing would.
float grey_levels(std::uint8_t v) { return v; }
float grey_levels(std::uint16_t v) { return static_cast<float>(v) * (1.0f / 257.0f); }
std::uint32_t sixteen_bit_units(std::uint8_t v) { return v * 257u; }
std::uint32_t sixteen_bit_units(std::uint16_t v) { return v; }
std::uint8_t grey_level_byte(std::uint8_t v) { return v; }
std::uint8_t grey_level_byte(std::uint16_t v) { return narrow_sample(v); }

// Pixels begin .. end - 1 of one photograph into the sums.
template <typename Sample>
void accumulate_samples(PhotographFit& fit, const Sample* rgb, const float w[6], std::size_t begin,
                        std::size_t end) {
  rgb += 3 * begin;
  if (fit.layout == FitLayout::lrgb) {
    float* values = fit.values + 6 * begin;
    float* squares = fit.squares + begin;
    std::uint32_t* sums = fit.color_sums + 4 * begin;
    for (std::size_t p = begin; p < end; ++p, rgb += 3, values += 6, ++squares, sums += 4) {
      const Sample y = std::max({rgb[0], rgb[1], rgb[2]});
      const float sample = grey_levels(y);
      for (int k = 0; k < 6; ++k) values[k] += w[k] * sample;
      *squares += sample * sample;
      sums[0] += sixteen_bit_units(rgb[0]);
      sums[1] += sixteen_bit_units(rgb[1]);
      sums[2] += sixteen_bit_units(rgb[2]);
      sums[3] += sixteen_bit_units(y);
    }
    return;
  }
  float* values = fit.values + 18 * begin;
  float* squares = fit.squares + 3 * begin;
  for (std::size_t p = begin; p < end; ++p, rgb += 3, values += 18, squares += 3) {
    for (int c = 0; c < 3; ++c) {
      const float sample = grey_levels(rgb[c]);
      for (int k = 0; k < 6; ++k) values[6 * c + k] += w[k] * sample;
      squares[c] += sample * sample;
    }
  }
}

// One vector's part of the residual, y^T y - 2 c^T b + c^T G c with b the
// sums A^T y, c the coefficients solved from them and G = A^T A, in
// double: the terms are of the order of N * 255^2 and their difference
// may be a few grey levels squared.
double vector_residual(double yy, const float b[6], const float c[6], const double g[6][6]) {
  double r = yy;
  for (int i = 0; i < 6; ++i) {
    double gc = 0.0;
    for (int j = 0; j < 6; ++j) gc += g[i][j] * c[j];
    r += static_cast<double>(c[i]) * (gc - 2.0 * static_cast<double>(b[i]));
  }
  return r;
}

// Vectors a block solves at a time, their sums kept beside them for the
// residual (a few kilobytes, in the cache).
constexpr std::size_t solve_chunk = 256;

// The residual of one block of vectors [begin, end) and its solve.
struct BlockResidual {
  double squares[3] = {};
  std::uint64_t pixels = 0;
};

template <typename Solve>
BlockResidual solve_block(PhotographFit& fit, const float m[6][6], const std::uint8_t* object_mask,
                          std::size_t begin, std::size_t end, Solve solve) {
  const int channels = fitted_channels(fit.layout);
  BlockResidual residual;
  float sums[6 * solve_chunk];
  for (std::size_t first = begin; first < end; first += solve_chunk) {
    const std::size_t count = std::min(solve_chunk, end - first);
    float* values = fit.values + 6 * first;
    std::copy_n(values, 6 * count, sums);
    solve(values, count, m);
    for (std::size_t v = 0; v < count; ++v) {
      const std::size_t vector = first + v;
      if (masked_out(object_mask, vector / channels)) continue;
      residual.squares[vector % channels] +=
          vector_residual(fit.squares[vector], sums + 6 * v, values + 6 * v, fit.normal);
      if (vector % channels == 0) ++residual.pixels;
    }
  }
  return residual;
}

// Fills n elements with zeros in blocks: the first touch of a large
// array's pages is spread over the threads that will use them.
template <typename T>
T* zeroed_array(std::size_t n, int threads) {
  T* array = checked_alloc_array<T>(n);
  parallel_blocks(threads, static_cast<std::int64_t>(n), 64 * pixel_block,
                  [&](std::int64_t begin, std::int64_t end) {
                    std::fill(array + begin, array + end, T{});
                  });
  return array;
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
                          FitLayout layout, int threads, PhotographFit& fit) {
  fit = PhotographFit{};
  double inverse[6][6];
  if (count > max_fit_photographs || !invert_normal_matrix(lights, count, inverse)) return false;
  fit.width = width;
  fit.height = height;
  fit.layout = layout;
  fit.photographs = count;
  fit.threads = std::max(1, threads);
  std::memcpy(fit.inverse, inverse, sizeof inverse);
  for (int i = 0; i < count; ++i) {
    double row[6];
    design_row(lights[i], row);
    for (int r = 0; r < 6; ++r) {
      for (int c = 0; c < 6; ++c) fit.normal[r][c] += row[r] * row[c];
    }
  }
  const std::size_t pixels = pixel_count(fit);
  fit.values = zeroed_array<float>(pixels * values_per_pixel(layout), fit.threads);
  fit.squares = zeroed_array<float>(pixels * fitted_channels(layout), fit.threads);
  if (layout == FitLayout::lrgb) fit.color_sums = zeroed_array<std::uint32_t>(pixels * 4, fit.threads);
  return true;
}

void accumulate_photograph(PhotographFit& fit, const Photograph& photograph, LightDirection light) {
  double row[6];
  design_row(light, row);
  float w[6];
  for (int k = 0; k < 6; ++k) w[k] = static_cast<float>(row[k]);
  parallel_blocks(fit.threads, static_cast<std::int64_t>(pixel_count(fit)), pixel_block,
                  [&](std::int64_t begin, std::int64_t end) {
                    if (photograph.bits == 16) {
                      accumulate_samples(fit, photograph.samples16.data(), w, begin, end);
                    } else {
                      accumulate_samples(fit, photograph.samples8.data(), w, begin, end);
                    }
                  });
}

double residual_rms(const FitResiduals& residuals, int channel) {
  if (residuals.samples == 0) return 0.0;
  return std::sqrt(std::max(0.0, residuals.squares[channel]) /
                   static_cast<double>(residuals.samples));
}

FitResiduals solve_photograph_fit(PhotographFit& fit, const std::uint8_t* object_mask) {
  float m[6][6];
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 6; ++c) m[r][c] = static_cast<float>(fit.inverse[r][c]);
  }
  const int channels = fitted_channels(fit.layout);
  const auto vectors = static_cast<std::int64_t>(pixel_count(fit) * channels);
  // Blocks of whole pixels, so that each pixel is counted by one block.
  const std::int64_t block = pixel_block * channels;
  std::vector<BlockResidual> blocks(static_cast<std::size_t>(block_count(vectors, block)));
  const bool avx2 = cpu_has_avx2();
  parallel_blocks(fit.threads, vectors, block, [&](std::int64_t begin, std::int64_t end) {
    blocks[begin / block] =
        avx2 ? solve_block(fit, m, object_mask, begin, end, solve_vectors_avx2)
             : solve_block(fit, m, object_mask, begin, end, solve_vectors_portable);
  });
  // The blocks' sums added in block order: the same total for any number
  // of threads.
  FitResiduals residuals;
  residuals.channels = channels;
  std::uint64_t pixels = 0;
  for (const BlockResidual& part : blocks) {
    for (int c = 0; c < channels; ++c) residuals.squares[c] += part.squares[c];
    pixels += part.pixels;
  }
  residuals.samples = pixels * static_cast<std::uint64_t>(fit.photographs);
  checked_free(fit.squares);
  fit.squares = nullptr;
  return residuals;
}

Ptm* make_fitted_ptm(PhotographFit& fit, const std::uint8_t* object_mask) {
  const std::size_t pixels = pixel_count(fit);
  const int channels = fitted_channels(fit.layout);
  const int per_pixel = values_per_pixel(fit.layout);
  const auto count = static_cast<std::int64_t>(pixels);
  Ptm* ptm = create_stored_ptm(fit.width, fit.height,
                               channels == 1 ? PTM_FORMAT_LRGB : PTM_FORMAT_RGB);
  if (fit.layout == FitLayout::lrgb) {
    parallel_blocks(fit.threads, count, pixel_block, [&](std::int64_t begin, std::int64_t end) {
      for (auto p = static_cast<std::size_t>(begin); p < static_cast<std::size_t>(end); ++p) {
        const std::uint32_t* sums = fit.color_sums + 4 * p;
        for (int c = 0; c < 3; ++c) {
          ptm->color_planes[c][p] =
              masked_out(object_mask, p) ? 0 : lrgb_color_byte(sums[c], sums[3]);
        }
      }
    });
    checked_free(fit.color_sums);
    fit.color_sums = nullptr;
  }
  if (object_mask != nullptr) {
    parallel_blocks(fit.threads, count, pixel_block, [&](std::int64_t begin, std::int64_t end) {
      for (auto p = static_cast<std::size_t>(begin); p < static_cast<std::size_t>(end); ++p) {
        if (masked_out(object_mask, p)) std::fill_n(fit.values + per_pixel * p, per_pixel, 0.0f);
      }
    });
  }
  // One scale and bias per coefficient for every channel: the channels'
  // groups of six lie like the pixels of an LRGB fit.
  choose_scale_bias(fit.values, pixels * channels, ptm->scale_bias, fit.threads);
  for (int c = 0; c < channels; ++c) {
    quantize_coefficient_planes(fit.values + 6 * c, pixels, per_pixel, ptm->scale_bias,
                                ptm->coef_planes[2 * c], ptm->coef_planes[2 * c + 1], fit.threads);
  }
  free_photograph_fit(fit);
  return ptm;
}

void free_photograph_fit(PhotographFit& fit) {
  checked_free(fit.values);
  checked_free(fit.color_sums);
  checked_free(fit.squares);
  fit = PhotographFit{};
}

FitFootprint photograph_fit_footprint(std::uint64_t pixels, FitLayout layout) {
  const std::uint64_t channels = fitted_channels(layout);
  const std::uint64_t values = pixels * values_per_pixel(layout) * sizeof(float);
  const std::uint64_t color_sums = layout == FitLayout::lrgb ? pixels * 4 * sizeof(std::uint32_t) : 0;
  const std::uint64_t squares = pixels * channels * sizeof(float);
  const std::uint64_t color = layout == FitLayout::lrgb ? pixels * 3 : 0;
  const std::uint64_t stored = pixels * 6 * channels;
  FitFootprint footprint;
  footprint.summing = values + color_sums + squares;
  footprint.mapping = std::max(values + color_sums, values + stored) + color;
  footprint.map = stored + color;
  return footprint;
}

RelitErrors relit_errors(const Ptm& ptm, const Photograph& photograph, LightDirection light,
                         const std::uint8_t* object_mask, int threads) {
  const LightWeights weights = light_weights_for(light.u, light.v);
  const EvaluateRowFn evaluate_row = select_row_evaluator(ptm);
  // Rows in blocks, each counting on its own; counts add up exactly, so
  // the total is the same for any number of threads.
  const std::int64_t rows_per_block = std::max<std::int64_t>(1, pixel_block / ptm.width);
  std::vector<RelitErrors> blocks(
      static_cast<std::size_t>(block_count(ptm.height, rows_per_block)));
  parallel_blocks(threads, ptm.height, rows_per_block, [&](std::int64_t first, std::int64_t last) {
    RelitErrors& errors = blocks[first / rows_per_block];
    std::vector<std::uint8_t> relit(static_cast<std::size_t>(ptm.width) * 3);
    for (auto y = static_cast<int>(first); y < last; ++y) {
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
  });
  RelitErrors total;
  for (const RelitErrors& part : blocks) add_relit_errors(total, part);
  return total;
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
