#include "writers/nearest_entry.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "common/cpu_features.h"

namespace {

constexpr int block = 16;  // pixels searched together
constexpr int chunk = 16;  // entries visited between two pruning checks

// Two int16 in one int32 lane, `low` first in memory.
std::int32_t pair(int low, int high) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(low)) |
                                   static_cast<std::uint32_t>(static_cast<std::uint16_t>(high))
                                       << 16);
}

// The multiply-add of two pair lanes, as pmaddwd forms it.
std::int32_t madd(std::int32_t a, std::int32_t b) {
  const auto a0 = static_cast<std::int16_t>(a & 0xffff);
  const auto a1 = static_cast<std::int16_t>(static_cast<std::uint32_t>(a) >> 16);
  const auto b0 = static_cast<std::int16_t>(b & 0xffff);
  const auto b1 = static_cast<std::int16_t>(static_cast<std::uint32_t>(b) >> 16);
  return a0 * b0 + a1 * b1;
}

template <int Pairs>
std::int32_t run_scalar(const NearestPixels& pixels, const NearestTable& table, int from, int to,
                        std::int32_t best[16]) {
  std::int32_t largest = 0;
  for (int lane = 0; lane < block; ++lane) {
    std::int32_t smallest = best[lane];
    for (int e = from; e < to; ++e) {
      std::int32_t key = table.offset[e];
      for (int p = 0; p < Pairs; ++p) {
        key += madd(pixels.pair_values[p][lane], table.pair_values[e * Pairs + p]);
      }
      smallest = std::min(smallest, key);
    }
    best[lane] = smallest;
    largest = std::max(largest, (smallest >> 8) + pixels.norm[lane]);
  }
  return largest;
}

// The direction the entries spread most along (the principal axis of the
// table, by power iteration on its covariance), as small integers: the
// projections on it separate the entries best, so the bound prunes most.
// Any integer direction keeps the bound exact; without a spread (all
// entries alike) it is the all-ones vector.
void projection_weights(const std::int32_t* table, int components, std::int32_t* weights) {
  double mean[max_palette_components] = {};
  for (int k = 0; k < palette_entries; ++k) {
    for (int j = 0; j < components; ++j) mean[j] += table[k * components + j];
  }
  for (int j = 0; j < components; ++j) mean[j] /= palette_entries;
  double covariance[max_palette_components][max_palette_components] = {};
  for (int k = 0; k < palette_entries; ++k) {
    for (int a = 0; a < components; ++a) {
      for (int b = 0; b < components; ++b) {
        covariance[a][b] += (table[k * components + a] - mean[a]) * (table[k * components + b] - mean[b]);
      }
    }
  }
  double axis[max_palette_components];
  std::fill(axis, axis + components, 1.0);
  double largest = 0;
  for (int step = 0; step < 32; ++step) {
    double next[max_palette_components] = {};
    for (int a = 0; a < components; ++a) {
      for (int b = 0; b < components; ++b) next[a] += covariance[a][b] * axis[b];
    }
    largest = 0;
    for (int j = 0; j < components; ++j) largest = std::max(largest, std::abs(next[j]));
    if (!(largest > 0)) break;
    for (int j = 0; j < components; ++j) axis[j] = next[j] / largest;
  }
  bool any = false;
  for (int j = 0; j < components; ++j) {
    weights[j] = largest > 0 ? static_cast<std::int32_t>(std::lround(axis[j] * 16)) : 0;
    any = any || weights[j] != 0;
  }
  if (!any) std::fill(weights, weights + components, 1);
}

void prepare_table(const std::int32_t* table, int components, NearestTable& prepared) {
  prepared.components = components;
  prepared.pairs = (components + 1) / 2;
  projection_weights(table, components, prepared.weights);
  prepared.weight_norm = 0;
  for (int j = 0; j < components; ++j) prepared.weight_norm += prepared.weights[j] * prepared.weights[j];
  std::int32_t projections[palette_entries];
  int order[palette_entries];
  for (int k = 0; k < palette_entries; ++k) {
    const std::int32_t* t = table + k * components;
    projections[k] = 0;
    for (int j = 0; j < components; ++j) projections[k] += prepared.weights[j] * t[j];
    order[k] = k;
  }
  std::stable_sort(order, order + palette_entries,
                   [&](int a, int b) { return projections[a] < projections[b]; });
  for (int position = 0; position < palette_entries; ++position) {
    const int k = order[position];
    const std::int32_t* t = table + k * components;
    std::int32_t norm = 0;
    for (int j = 0; j < components; ++j) norm += t[j] * t[j];
    prepared.projection[position] = projections[k];
    prepared.offset[position] = 256 * norm + k;
    for (int p = 0; p < prepared.pairs; ++p) {
      const int second = 2 * p + 1 < components ? t[2 * p + 1] : 0;
      prepared.pair_values[position * prepared.pairs + p] = pair(-4 * t[2 * p], -4 * second);
    }
  }
}

// Sixteen pixels from `features` (the last one repeated past `count`),
// and the range of their projections.
struct PixelBlock {
  NearestPixels pixels;
  std::int32_t projection_low, projection_high;
};

void load_block(const std::uint8_t* features, std::size_t count, const NearestTable& table,
                PixelBlock& b) {
  const int components = table.components;
  b.projection_low = INT32_MAX;
  b.projection_high = INT32_MIN;
  for (int lane = 0; lane < block; ++lane) {
    const std::size_t i = std::min<std::size_t>(lane, count - 1);
    const std::uint8_t* f = features + i * components;
    std::int32_t projection = 0, norm = 0;
    for (int j = 0; j < components; ++j) {
      projection += table.weights[j] * f[j];
      norm += f[j] * f[j];
    }
    for (int p = 0; p < table.pairs; ++p) {
      const int second = 2 * p + 1 < components ? f[2 * p + 1] : 0;
      b.pixels.pair_values[p][lane] = pair(128 * f[2 * p], 128 * second);
    }
    b.pixels.norm[lane] = norm;
    b.projection_low = std::min(b.projection_low, projection);
    b.projection_high = std::max(b.projection_high, projection);
  }
}

// An entry whose projection lies `gap` beyond every pixel's is strictly
// farther than each pixel's best when gap^2 > |w|^2 (largest best).
bool beyond(std::int64_t gap, std::int64_t bound) { return gap > 0 && gap * gap > bound; }

}  // namespace

double nearest_entry_sentinel(int components) { return components * 16777216.0 + 1.0; }

void assign_nearest_naive(const std::uint8_t* features, std::size_t count, int components,
                          const std::int32_t* table, std::int16_t* indices) {
  const double sentinel = nearest_entry_sentinel(components);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* f = features + i * components;
    double nearest = sentinel;
    int index = 0;
    for (int k = 0; k < palette_entries; ++k) {
      const std::int32_t* t = table + k * components;
      double distance = 0;
      for (int j = 0; j < components; ++j) {
        const int difference = f[j] - t[j];
        distance += difference * difference;
      }
      if (distance < nearest) {
        nearest = distance;
        index = k;
      }
    }
    indices[i] = static_cast<std::int16_t>(index);
  }
}

NearestRunFn nearest_run_scalar(int pairs) {
  switch (pairs) {
    case 3:
      return run_scalar<3>;
    case 5:
      return run_scalar<5>;
    default:
      return nullptr;
  }
}

bool nearest_isa_available(NearestIsa isa) {
  switch (isa) {
    case NearestIsa::naive:
    case NearestIsa::scalar:
      return true;
#if defined(__x86_64__)
    case NearestIsa::sse2:
      return true;
    case NearestIsa::avx2:
      return cpu_has_avx2();
    case NearestIsa::avx512:
      return cpu_has_avx512bw();
#endif
    default:
      return false;
  }
}

NearestIsa best_nearest_isa() {
  for (NearestIsa isa : {NearestIsa::avx512, NearestIsa::avx2, NearestIsa::sse2}) {
    if (nearest_isa_available(isa)) return isa;
  }
  return NearestIsa::scalar;
}

NearestEntrySearch::NearestEntrySearch(const std::int32_t* table, int components, NearestIsa isa)
    : table_(table),
      components_(components),
      isa_(nearest_isa_available(isa) ? isa : NearestIsa::scalar) {
  if (isa_ == NearestIsa::naive) return;
  prepare_table(table, components, prepared_);
  switch (isa_) {
#if defined(__x86_64__)
    case NearestIsa::sse2:
      run_ = nearest_run_sse2(prepared_.pairs);
      break;
    case NearestIsa::avx2:
      run_ = nearest_run_avx2(prepared_.pairs);
      break;
    case NearestIsa::avx512:
      run_ = nearest_run_avx512(prepared_.pairs);
      break;
#endif
    default:
      break;
  }
  if (run_ == nullptr) run_ = nearest_run_scalar(prepared_.pairs);
}

void NearestEntrySearch::assign(const std::uint8_t* features, std::size_t count,
                                std::int16_t* indices) const {
  const int components = components_;
  if (isa_ == NearestIsa::naive) {
    assign_nearest_naive(features, count, components, table_, indices);
    return;
  }
  const NearestTable& table = prepared_;
  PixelBlock b;
  alignas(64) std::int32_t best[block];
  for (std::size_t first = 0; first < count; first += block) {
    const std::size_t in_block = std::min<std::size_t>(block, count - first);
    load_block(features + first * components, in_block, table, b);
    std::fill(best, best + block, INT32_MAX);
    // Start with the entries whose projections lie around the pixels' own.
    const int middle = (b.projection_low + b.projection_high) / 2;
    const std::int32_t* projection = table.projection;
    const int centre = static_cast<int>(
        std::lower_bound(projection, projection + palette_entries, middle) - projection);
    int low = std::clamp(centre - chunk / 2, 0, palette_entries - chunk);
    int high = low + chunk;
    std::int32_t largest = run_(b.pixels, table, low, high, best);
    for (;;) {
      const std::int64_t bound = largest * table.weight_norm;
      const bool down = low > 0 && !beyond(b.projection_low - projection[low - 1], bound);
      const bool up =
          high < palette_entries && !beyond(projection[high] - b.projection_high, bound);
      if (!down && !up) break;
      if (down) {
        const int from = std::max(0, low - chunk);
        largest = run_(b.pixels, table, from, low, best);
        low = from;
      }
      if (up) {
        const int to = std::min(palette_entries, high + chunk);
        largest = run_(b.pixels, table, high, to, best);
        high = to;
      }
    }
    for (std::size_t lane = 0; lane < in_block; ++lane) {
      indices[first + lane] = static_cast<std::int16_t>(best[lane] & 0xff);
    }
  }
}
