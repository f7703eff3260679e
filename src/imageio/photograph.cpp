#include "imageio/photograph.h"

#include <algorithm>

void reset_photograph(Photograph& photograph) {
  photograph.width = 0;
  photograph.height = 0;
  photograph.bits = 8;
  photograph.samples8.clear();
  photograph.samples16.clear();
  photograph.profile.clear();
}

void allocate_photograph_samples(Photograph& photograph, int width, int height, int bits) {
  photograph.width = width;
  photograph.height = height;
  photograph.bits = bits;
  photograph.samples8.clear();
  photograph.samples16.clear();
  if (bits == 16) {
    photograph.samples16.resize(photograph_sample_count(photograph));
  } else {
    photograph.samples8.resize(photograph_sample_count(photograph));
  }
}

RgbImage* photograph_rgb_image(const Photograph& photograph) {
  RgbImage* image = new_rgb_image(photograph.width, photograph.height);
  const std::size_t samples = photograph_sample_count(photograph);
  if (photograph.bits == 16) {
    std::transform(photograph.samples16.begin(), photograph.samples16.begin() + samples,
                   image->pixels, narrow_sample);
  } else {
    std::copy_n(photograph.samples8.begin(), samples, image->pixels);
  }
  return image;
}
