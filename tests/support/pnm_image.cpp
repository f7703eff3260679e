#include "support/pnm_image.h"

#include <fstream>
#include <istream>
#include <stdexcept>

namespace {

// Next header number, past whitespace and '#' comment lines.
int header_number(std::istream& in) {
  for (;;) {
    const int c = in.peek();
    if (c == '#') {
      std::string comment;
      std::getline(in, comment);
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      in.get();
    } else {
      break;
    }
  }
  int value = 0;
  in >> value;
  return value;
}

}  // namespace

TestImage read_pnm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::string magic;
  int maxval = 0;
  TestImage image;
  in >> magic;
  image.width = header_number(in);
  image.height = header_number(in);
  maxval = header_number(in);
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
