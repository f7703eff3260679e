// The assignment step of the palettizer's k-means: for every pixel's
// feature vector, the nearest of the 256 table entries by squared Euclidean
// distance, ties going to the lowest entry number.
//
// The reference is the plain loop: every entry, integer differences
// squared and summed in double precision, the first entry below every
// earlier one (from a sentinel above any possible distance) wins. The fast
// path gives the same entry for every pixel, only sooner:
//
//  - Exact integers. A distance is at most 9 * 255^2 = 585225, so it fits
//    in 32 bits with room to spare. With F = the pixel's own squared norm,
//      d_k - F = |t_k|^2 - 2 f.t_k,
//    and the entry that minimises d_k minimises this too. The products
//    f_j * t_kj are formed by 16-bit multiply-adds (pmaddwd) on pairs of
//    components: the pixel's bytes times 128 (at most 32640) against the
//    table's bytes times -4 (at least -1020), so each product is
//    -2 f_j t_kj times 256. An entry's key is therefore
//      key_k = 256 |t_k|^2 + k + sum over pairs of madd(128 f, -4 t_k)
//            = 256 (d_k - F) + k,
//    which fits in a signed 32-bit integer (|d_k - F| < 2^20). The smallest
//    key is the smallest distance, and among equal distances the lowest k:
//    one integer minimum per entry replaces the compare and the tie rule.
//
//  - Exact pruning. For any integer direction w, by Cauchy-Schwarz,
//    (w.f - w.t_k)^2 <= |w|^2 d_k. The entries are sorted by their
//    projection w.t on the direction they spread most along (the table's
//    principal axis, rounded to small integers) and visited outward from
//    the pixels' own projections, sixteen pixels at a time; once an entry's
//    projection is so far from every pixel's that the left side exceeds
//    |w|^2 times each pixel's best distance so far, it and every entry
//    beyond it are strictly farther than that best and cannot win or tie,
//    so they are skipped. All of it is integer arithmetic, and the keys
//    still carry the original entry numbers, so neither the direction nor
//    the visiting order can change which entry wins.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int palette_entries = 256;
constexpr int max_palette_components = 9;

enum class NearestIsa { naive, scalar, sse2, avx2, avx512 };

// The sentinel the reference starts from: D * 2^24 + 1, above every
// possible distance (100663297 for D = 6, 150994945 for D = 9).
double nearest_entry_sentinel(int components);

// The reference loop, as the clustering states it: `features` holds
// `count` vectors of `components` bytes, `table` 256 entries of
// `components` values 0..255; the nearest entry of each pixel goes to
// `indices`.
void assign_nearest_naive(const std::uint8_t* features, std::size_t count, int components,
                          const std::int32_t* table, std::int16_t* indices);

// Whether this processor has the instruction set (naive and scalar always).
bool nearest_isa_available(NearestIsa isa);
// The fastest one available.
NearestIsa best_nearest_isa();

// The table prepared for the fast search: entries in order of their
// projection on one direction, each with its key offset 256 |t|^2 + k and its components
// as pairs of int16 -4 t (the odd last one of D = 9 paired with 0).
struct NearestTable {
  int components = 0;
  int pairs = 0;
  std::int32_t weights[max_palette_components];  // the projection direction w
  std::int64_t weight_norm = 0;                   // |w|^2
  std::int32_t projection[palette_entries];       // w . t, ascending
  std::int32_t offset[palette_entries];  // 256 |t|^2 + original entry number
  std::int32_t pair_values[palette_entries * 5];  // entry-major, `pairs` per entry
};

// Sixteen pixels' features prepared for the search: per pair of
// components, sixteen int32 lanes each holding two int16 128 f; and each
// pixel's squared norm F.
struct alignas(64) NearestPixels {
  std::int32_t pair_values[5][16];
  std::int32_t norm[16];
};

// Lowers best[lane] to the smallest key over the prepared entries
// from .. to - 1 for each of the sixteen pixels, and returns the largest
// of the sixteen best distances so far, (best >> 8) + F (the arithmetic
// shift floors 256 (d - F) + k to d - F), for the pruning bound.
using NearestRunFn = std::int32_t (*)(const NearestPixels& pixels, const NearestTable& table,
                                      int from, int to, std::int32_t best[16]);

// One searcher per assignment pass: the table is prepared once, then any
// number of pixel runs are assigned against it.
class NearestEntrySearch {
 public:
  // `table`: 256 entries of `components` (6 or 9) values 0..255.
  NearestEntrySearch(const std::int32_t* table, int components, NearestIsa isa);

  // The same result as assign_nearest_naive on the same table.
  void assign(const std::uint8_t* features, std::size_t count, std::int16_t* indices) const;

 private:
  const std::int32_t* table_;
  int components_;
  NearestIsa isa_;
  NearestRunFn run_ = nullptr;
  NearestTable prepared_;
};

// The run kernels behind the search, one per instruction set (null where
// the processor lacks it).
NearestRunFn nearest_run_scalar(int pairs);
NearestRunFn nearest_run_sse2(int pairs);
NearestRunFn nearest_run_avx2(int pairs);
NearestRunFn nearest_run_avx512(int pairs);
