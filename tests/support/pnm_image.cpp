#include "support/pnm_image.h"

#include <fstream>
#include <stdexcept>

TestImage read_pnm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::string magic;
  int maxval = 0;
  TestImage image;
  in >> magic >> image.width >> image.height >> maxval;
  in.get();  // the single whitespace byte before the samples
  image.components = magic == "P6" ? 3 : 1;
  image.bits = 1;
  while ((1 << image.bits) <= maxval) ++image.bits;
  const std::size_t count = static_cast<std::size_t>(image.width) * image.height * image.components;
  image.samples.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    int value = in.get();
    if (maxval > 255) value = value << 8 | in.get();  // big-endian samples
    image.samples[i] = static_cast<std::uint16_t>(value);
  }
  if (!in) throw std::runtime_error("short image " + path);
  return image;
}
