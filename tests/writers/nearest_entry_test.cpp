#include "writers/nearest_entry.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

const NearestIsa all_isas[] = {NearestIsa::naive, NearestIsa::scalar, NearestIsa::sse2,
                               NearestIsa::avx2, NearestIsa::avx512};
const char* isa_names[] = {"naive", "scalar", "sse2", "avx2", "avx512"};

std::vector<std::int16_t> assign(NearestIsa isa, const std::vector<std::uint8_t>& features, int D,
                                 const std::vector<std::int32_t>& table) {
  std::vector<std::int16_t> indices(features.size() / D, -1);
  const NearestEntrySearch search(table.data(), D, isa);
  search.assign(features.data(), indices.size(), indices.data());
  return indices;
}

// The nearest entry by the definition, in exact integers: the smallest
// squared distance, the lowest entry number among equals.
std::vector<std::int16_t> nearest_by_definition(const std::vector<std::uint8_t>& features, int D,
                                                const std::vector<std::int32_t>& table) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i * D < features.size(); ++i) {
    long best = -1;
    int index = 0;
    for (int k = 0; k < 256; ++k) {
      long d = 0;
      for (int j = 0; j < D; ++j) {
        const long e = features[i * D + j] - table[k * D + j];
        d += e * e;
      }
      if (best < 0 || d < best) {
        best = d;
        index = k;
      }
    }
    out.push_back(static_cast<std::int16_t>(index));
  }
  return out;
}

}  // namespace

// Every search path finds the nearest entry with ties to the lowest index:
// on tables built to tie (all entries equal, duplicates, pixels half-way
// between two entries, entries of equal component sums), at the largest
// distances, and on random tables and pixels, for runs that do and do not
// fill the last block of sixteen.
TEST(NearestEntry, EveryPathFindsTheNearestEntryWithTiesToTheLowestIndex) {
  struct Case {
    const char* name;
    int D;
    std::size_t pixels;
    std::function<int(int k, int j, std::mt19937& random)> entry;
    std::function<int(std::size_t i, int j, std::mt19937& random)> pixel;
  };
  const auto any = [](auto, int, std::mt19937& random) { return static_cast<int>(random() & 255); };
  const Case cases[] = {
      {"all entries equal", 6, 33, [](int, int, std::mt19937&) { return 77; }, any},
      // Entries k and k + 128 are the same vector: only k may win.
      {"every vector twice", 9, 50,
       [](int k, int j, std::mt19937&) { return (k % 128) * 2 + j; }, any},
      // Entry k = (2k', ..., 2k') for k' = 255 - k; pixels at odd values lie
      // half-way between two entries.
      {"pixels half-way between entries", 6, 128,
       [](int k, int, std::mt19937&) { return (255 - k) & ~1; },
       [](std::size_t i, int, std::mt19937&) { return static_cast<int>(2 * (i % 128) + 1); }},
      // Every entry of component sum 765: (a, 255 - a, b, 255 - b, 128,
      // 127), all different.
      {"equal component sums", 6, 40,
       [](int k, int j, std::mt19937&) {
         const int values[6] = {k, 255 - k, (7 * k) % 256, 255 - (7 * k) % 256, 128, 127};
         return values[j];
       },
       any},
      {"largest distances", 9, 17,
       [](int k, int, std::mt19937&) { return k % 2 == 0 ? 255 : 254; },
       [](std::size_t, int, std::mt19937&) { return 0; }},
      {"random D=6", 6, 1000, any, any},
      {"random D=9", 9, 999, any, any},
      {"random D=6, one pixel", 6, 1, any, any},
      // Pixels near a few entries: the pruning skips most of the table.
      {"clustered D=6", 6, 2000,
       [](int k, int j, std::mt19937&) { return (k * 37 + j * 53) % 256; },
       [](std::size_t i, int j, std::mt19937& random) {
         return std::min(255, static_cast<int>(((i % 7) * 37 + j * 53) % 256 + random() % 3));
       }},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  // The pruning bound is met with equality: for a pixel (100, ..., 100),
  // entry 0 = (110, ..., 110) lies at d = 100 D with its projection on the
  // all-ones direction 10 D from the pixel's, so (10 D)^2 = D d exactly;
  // entry 1 ties with it at the pixel's own projection, entries 2 ..
  // `others` + 1 (also there) are farther, and the rest (all 0 or all 255)
  // far away. The search starts at the pixel's projection; only a bound that
  // never skips an entry at equality reaches entry 0 and lets it win. The
  // number of entries at the pixel's projection varies so that the end of
  // their group falls on every place of a run of visited entries.
  for (int others = 0; others < 40; ++others) {
    for (int D : {6, 9}) {
      all.push_back({"tight pruning bound", D, 20,
                     [others, D](int k, int j, std::mt19937&) {
                       if (k == 0) return 110;
                       if (k == 1) {  // d = 100 D: (+-10 x 6) or (+-15 x 4, 0 x 5)
                         if (D == 6) return j % 2 == 0 ? 110 : 90;
                         return j < 4 ? (j % 2 == 0 ? 115 : 85) : 100;
                       }
                       if (k <= others + 1) return j < 2 ? (j == 0 ? 122 : 78) : 100;  // d = 968
                       return k % 2 == 0 ? 0 : 255;
                     },
                     // One pixel of each sixteen (100, ..., 100), the rest
                     // all 0, exactly on an entry: the largest best
                     // distance is that one lane's.
                     [](std::size_t i, int, std::mt19937&) { return i % 16 == 5 ? 100 : 0; }});
    }
  }
  for (const Case& c : all) {
    std::mt19937 random(12345);
    std::vector<std::int32_t> table(256 * c.D);
    for (int k = 0; k < 256; ++k) {
      for (int j = 0; j < c.D; ++j) table[k * c.D + j] = c.entry(k, j, random);
    }
    std::vector<std::uint8_t> features(c.pixels * c.D);
    for (std::size_t i = 0; i < c.pixels; ++i) {
      for (int j = 0; j < c.D; ++j) features[i * c.D + j] = static_cast<std::uint8_t>(c.pixel(i, j, random));
    }
    const std::vector<std::int16_t> expected = nearest_by_definition(features, c.D, table);
    for (int i = 0; i < 5; ++i) {
      if (!nearest_isa_available(all_isas[i])) continue;
      EXPECT_EQ(assign(all_isas[i], features, c.D, table), expected)
          << c.name << ", D=" << c.D << ", " << isa_names[i];
    }
  }
}
