#include "common/rgb_image.h"

#include <cstddef>

#include "common/checked_alloc.h"

RgbImage* new_rgb_image(int width, int height) {
  auto* image = checked_alloc_array<RgbImage>(1);
  image->width = width;
  image->height = height;
  const std::size_t pixels = static_cast<std::size_t>(width > 0 ? width : 0) *
                             static_cast<std::size_t>(height > 0 ? height : 0);
  image->pixels = checked_alloc_array<std::uint8_t>(pixels * 3);
  return image;
}

void free_rgb_image(RgbImage* image) {
  if (image == nullptr) return;
  checked_free(image->pixels);
  checked_free(image);
}
