#include "writers/palettize.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "common/parallel.h"

namespace {

constexpr int iterations = 10;
constexpr std::size_t dot_interval = 50000;
// Pixels gathered, assigned and accumulated at a time: their features stay
// in the first-level cache between the three steps.
constexpr std::size_t run_length = 4096;
// Runs assigned side by side before their totals are added up.
constexpr std::size_t group_runs = 64;

struct ModeText {
  int components;
  const char* title;
  const char* max_format;  // one conversion per component, then its trailing blanks
  const char* avg_format;
};

const ModeText* mode_text(int mode) {
  static const ModeText luminance{
      6, "Palletizing ptm via k-means clustering (slow).  Error statistics:",
      "\nMax: %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f   ", "Avg: %1.2f %1.2f %1.2f %1.2f %1.2f %1.2f"};
  static const ModeText color{
      9, "Palletizing ptm + color via k-means clustering (slow). Error statistics:",
      "\nMax: %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f  ",
      "Avg: %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f"};
  switch (mode) {
    case palette_mode_luminance:
      return &luminance;
    case palette_mode_color:
      return &color;
    default:
      return nullptr;
  }
}

// One iteration's error statistics and the sums for the update. Every
// term is an integer, so 64-bit sums give exactly the double sums of the
// reference (they stay far below 2^53).
struct IterationTotals {
  std::int64_t error_sum[max_palette_components] = {};
  std::int64_t error_max[max_palette_components] = {};
  std::int64_t count[palette_entries] = {};
  std::int64_t sum[palette_entries][max_palette_components] = {};
};

void accumulate(const std::uint8_t* features, const std::int16_t* indices, std::size_t count,
                int components, const std::vector<std::int32_t>& table, IterationTotals& totals) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* f = features + i * components;
    const int k = indices[i];
    const std::int32_t* t = table.data() + k * components;
    totals.count[k] += 1;
    for (int j = 0; j < components; ++j) {
      const std::int64_t difference = t[j] - f[j];
      const std::int64_t e = difference * difference;
      totals.error_sum[j] += e;
      totals.error_max[j] = std::max(totals.error_max[j], e);
      totals.sum[k][j] += f[j];
    }
  }
}

void add_totals(const IterationTotals& run, int components, IterationTotals& totals) {
  for (int j = 0; j < components; ++j) {
    totals.error_sum[j] += run.error_sum[j];
    totals.error_max[j] = std::max(totals.error_max[j], run.error_max[j]);
  }
  for (int k = 0; k < palette_entries; ++k) {
    totals.count[k] += run.count[k];
    for (int j = 0; j < components; ++j) totals.sum[k][j] += run.sum[k][j];
  }
}

void print_statistics(const ModeText& text, const IterationTotals& totals, std::size_t n) {
  double max[max_palette_components];
  double avg[max_palette_components];
  for (int j = 0; j < text.components; ++j) {
    max[j] = std::sqrt(static_cast<double>(totals.error_max[j]));
    avg[j] = std::sqrt(static_cast<double>(totals.error_sum[j]) / static_cast<double>(n));
  }
  if (text.components == 6) {
    std::printf(text.max_format, max[0], max[1], max[2], max[3], max[4], max[5]);
    std::printf(text.avg_format, avg[0], avg[1], avg[2], avg[3], avg[4], avg[5]);
  } else {
    std::printf(text.max_format, max[0], max[1], max[2], max[3], max[4], max[5], max[6], max[7],
                max[8]);
    std::printf(text.avg_format, avg[0], avg[1], avg[2], avg[3], avg[4], avg[5], avg[6], avg[7],
                avg[8]);
  }
}

void update_table(const Ptm& ptm, const IterationTotals& totals, int components,
                  LcgRandom& random, std::vector<std::int32_t>& table) {
  const std::size_t n = pixel_count(ptm);
  for (int k = 0; k < palette_entries; ++k) {
    std::int32_t* t = table.data() + k * components;
    if (totals.count[k] > 0) {
      for (int j = 0; j < components; ++j) {
        t[j] = static_cast<std::int32_t>(static_cast<double>(totals.sum[k][j]) /
                                         static_cast<double>(totals.count[k]));
      }
    } else {
      std::uint8_t f[max_palette_components];
      palette_features(ptm, palette_reseed_pixel(random.fraction(), n), 1, components, f);
      for (int j = 0; j < components; ++j) t[j] = f[j];
    }
  }
}

}  // namespace

std::size_t palette_reseed_pixel(float fraction, std::size_t n) {
  const float product = fraction * static_cast<float>(n - 1);
  return std::min(static_cast<std::size_t>(product), n - 1);
}

void palette_features(const Ptm& ptm, std::size_t first, std::size_t count, int components,
                      std::uint8_t* out) {
  const std::uint8_t* low = ptm.coef_planes[0] + first * 3;
  const std::uint8_t* high = ptm.coef_planes[1] + first * 3;
  for (std::size_t i = 0; i < count; ++i, out += components) {
    out[0] = low[3 * i];
    out[1] = low[3 * i + 1];
    out[2] = low[3 * i + 2];
    out[3] = high[3 * i];
    out[4] = high[3 * i + 1];
    out[5] = high[3 * i + 2];
    if (components == 9) get_lrgb_color(ptm, first + i, out + 6);
  }
}

bool cluster_palette(const Ptm& ptm, int mode, LcgRandom& random, Palette& palette, NearestIsa isa,
                     const ProgressFn& progress, int threads) {
  if (ptm.format != PTM_FORMAT_LRGB) {
    std::printf("Palletization is only implemented for LRGB format currently\n");
    return false;
  }
  const ModeText* text = mode_text(mode);
  if (text == nullptr) {
    std::printf("Unsupported pallet mode %d\n", mode);
    return false;
  }
  const std::size_t n = pixel_count(ptm);
  if (n == 0) {
    std::printf("Palletization needs a map with at least one pixel\n");
    return false;
  }
  const int components = text->components;
  palette.components = components;
  palette.indices.assign(n, 0);
  palette.table.assign(static_cast<std::size_t>(palette_entries) * components, 0);
  for (std::int32_t& value : palette.table) {
    value = static_cast<std::int32_t>(random.fraction() * 255.0f);
  }
  std::printf("%s", text->title);

  const std::size_t runs = (n + run_length - 1) / run_length;
  // Runs are assigned on every thread a group at a time, each with totals
  // of its own; the totals are integers, added in run order, and the dots
  // and the progress follow each group in order.
  std::vector<IterationTotals> run_totals(std::min(runs, group_runs));
  for (int iteration = 0; iteration < iterations; ++iteration) {
    const NearestEntrySearch search(palette.table.data(), components, isa);
    auto totals = std::make_unique<IterationTotals>();
    for (std::size_t group = 0; group < runs; group += group_runs) {
      const std::size_t group_end = std::min(runs, group + group_runs);
      parallel_blocks(
          threads, static_cast<std::int64_t>(group_end - group), 1,
          [&](std::int64_t begin, std::int64_t end) {
            std::vector<std::uint8_t> features(run_length * components);
            for (std::int64_t r = begin; r < end; ++r) {
              const std::size_t first = (group + static_cast<std::size_t>(r)) * run_length;
              const std::size_t count = std::min(run_length, n - first);
              palette_features(ptm, first, count, components, features.data());
              std::int16_t* indices = palette.indices.data() + first;
              search.assign(features.data(), count, indices);
              IterationTotals& own = run_totals[static_cast<std::size_t>(r)];
              own = IterationTotals{};
              accumulate(features.data(), indices, count, components, palette.table, own);
            }
          });
      for (std::size_t r = group; r < group_end; ++r) {
        add_totals(run_totals[r - group], components, *totals);
        // A dot for every multiple of 50000 among this run's pixels.
        const std::size_t first = r * run_length;
        const std::size_t count = std::min(run_length, n - first);
        for (std::size_t i = (first + dot_interval - 1) / dot_interval * dot_interval;
             i < first + count; i += dot_interval) {
          std::printf(".");
          std::fflush(stdout);
        }
      }
      report_progress(progress, iteration * n + std::min(n, group_end * run_length),
                      iterations * n);
    }
    print_statistics(*text, *totals, n);
    update_table(ptm, *totals, components, random, palette.table);
  }
  std::printf("\n");
  return true;
}
