// Palettizing an LRGB map: vector quantisation of every pixel's stored
// coefficient bytes (and, for the colour table, its colour) into a table of
// 256 entries by k-means, and the PTM_LUT or PTM_C_LUT file made from the
// table and one index per pixel.
//
// The clustering is plain k-means with a fixed course, so that the same map
// and the same random sequence give the same file on every machine:
//   - the initial table: for each entry and component in order,
//     trunc(random fraction x 255);
//   - ten iterations of assignment (nearest entry, ties to the lowest
//     index; writers/nearest_entry.h) and update (each entry becomes the
//     truncated mean of its pixels; an entry without pixels becomes the
//     vector of pixel trunc(random fraction x (n - 1)));
//   - after each assignment, per component, the largest and the root mean
//     square difference between the pixels and their entries, printed.
// "x" is a single-precision product of the float fraction and the integer
// converted to float, truncated toward zero, as C computes it.
#pragma once

#include <cstdint>
#include <vector>

#include "common/lcg_random.h"
#include "common/progress.h"
#include "ptm/ptm.h"
#include "writers/nearest_entry.h"

// The two files, by the number the writer takes.
enum PaletteMode : int {
  palette_mode_color = 1,      // PTM_C_LUT: a0..a5, red, green, blue per entry
  palette_mode_luminance = 2,  // PTM_LUT: a0..a5 per entry, colour per pixel
};

struct Palette {
  int components = 0;                 // D: 6 (luminance) or 9 (colour)
  std::vector<std::int32_t> table;    // 256 x D values 0..255, entry-major
  std::vector<std::int16_t> indices;  // one per pixel, pixel order y * width + x
};

// The feature vector of each of `count` pixels from `first` on: the three
// bytes of coefficient plane 0, the three of plane 1, and for D = 9 the
// pixel's red, green and blue; D bytes per pixel into `out`.
void palette_features(const Ptm& ptm, std::size_t first, std::size_t count, int components,
                      std::uint8_t* out);

// The pixel an empty entry is re-seeded from: trunc(fraction x (n - 1)),
// the product in single precision. When n - 1 is above 2^24 it can round
// up to a float beyond n - 1; such a draw takes the last pixel rather than
// one past the map.
std::size_t palette_reseed_pixel(float fraction, std::size_t n);

// Clusters `ptm` for `mode`, drawing from `random` (which goes on from
// wherever it stands), with the assignment of instruction set `isa`
// (NearestIsa::naive: the reference loop). Prints on standard output the
// title ("Palletizing ptm via k-means clustering (slow).  Error
// statistics:" or "Palletizing ptm + color via k-means clustering (slow).
// Error statistics:"), a dot for every 50000th pixel of each assignment
// (flushed), each iteration's "\nMax: ..." and "Avg: ..." lines, and a final
// line feed. The result holds the table after the tenth update and the
// indices of the tenth assignment. `progress` hears of every group of runs
// of pixels assigned, counted over all ten iterations (10 x pixels in all).
// Refuses, with "Palletization is only implemented for LRGB format
// currently\n" and before any draw, a map that is not LRGB, and a map
// without pixels or a mode other than 1 and 2 with a message of their own;
// false then. The assignment runs on up to `threads` threads; the sums it
// feeds are integers, so the table, the indices and the figures are the
// same for any number.
bool cluster_palette(const Ptm& ptm, int mode, LcgRandom& random, Palette& palette,
                     NearestIsa isa = best_nearest_isa(), const ProgressFn& progress = {},
                     int threads = 1);

// Writes the palettized map to `path` (through write_ptm_output: the same
// messages, no file left after a failure): "PTM_1.2", "PTM_FORMAT_PTM_LUT"
// (mode 2) or "PTM_FORMAT_PTM_C_LUT" (mode 1), width, height, the map's six
// scales and biases (the table holds stored coefficient bytes), "256
// N_LUT_ENTRIES"; then the 256 entries of D bytes, one index byte per
// pixel, and for mode 2 the red, green and blue bytes of every pixel.
// Another mode prints "Unsupported pallet mode in
// output_paletized_LRGB_ptm\n"; a palette that does not belong to the map
// and mode is refused too. False unless the whole file was written.
bool output_paletized_LRGB_ptm(const Ptm& ptm, const Palette& palette, int mode, const char* path);
