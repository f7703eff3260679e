// A photograph in memory at the precision its file stores: 8 or 16 bits a
// sample, three samples a pixel (red, green, blue; a grey photograph has
// three equal ones), rows bottom-up like RgbImage, no row padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/rgb_image.h"

struct Photograph {
  int width = 0;
  int height = 0;
  int bits = 8;                         // 8: samples8 holds the pixels; 16: samples16 does
  std::vector<std::uint8_t> samples8;   // width * height * 3 when bits is 8, else empty
  std::vector<std::uint16_t> samples16; // width * height * 3 when bits is 16, else empty
  // The description of the embedded colour profile the samples were
  // converted from to sRGB; empty when they are as the file stores them
  // (no profile, an unusable one, or conversion not asked for).
  std::string profile;
};

inline std::size_t photograph_sample_count(const Photograph& photograph) {
  return static_cast<std::size_t>(photograph.width) * static_cast<std::size_t>(photograph.height) *
         3;
}

// Empties `photograph` but keeps the memory of its samples, so that the
// next photograph of the same size decoded into it takes no new pages:
// photographs of tens of megapixels are beyond the size the allocator
// recycles, and each fresh allocation is faulted in and zeroed by the
// kernel page by page (a third of a large fit's time).
void reset_photograph(Photograph& photograph);

// Sizes the samples for `bits` (8 or 16) at width x height; their values
// are zero.
void allocate_photograph_samples(Photograph& photograph, int width, int height, int bits);

// A 16-bit sample as the nearest 8-bit one: v * 255 / 65535 = v / 257,
// rounded (halves cannot occur, 257 being odd).
inline std::uint8_t narrow_sample(std::uint16_t v) {
  return static_cast<std::uint8_t>((v + 128u) / 257u);
}

// The photograph as a new 8-bit RGB image (16-bit samples rounded).
RgbImage* photograph_rgb_image(const Photograph& photograph);
