#include "common/base64.h"

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

void append_base64(const std::uint8_t* data, std::size_t size, std::string& out) {
  out.reserve(out.size() + (size + 2) / 3 * 4);
  std::size_t i = 0;
  // Every three bytes become four characters of six bits each.
  for (; i + 3 <= size; i += 3) {
    const std::uint32_t group = std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 |
                                std::uint32_t{data[i + 2]};
    out += alphabet[group >> 18 & 63];
    out += alphabet[group >> 12 & 63];
    out += alphabet[group >> 6 & 63];
    out += alphabet[group & 63];
  }
  // One or two bytes left: their bits padded with zeros, the missing
  // characters written as '='.
  const std::size_t left = size - i;
  if (left == 0) return;
  const std::uint32_t group =
      std::uint32_t{data[i]} << 16 | (left == 2 ? std::uint32_t{data[i + 1]} << 8 : 0);
  out += alphabet[group >> 18 & 63];
  out += alphabet[group >> 12 & 63];
  out += left == 2 ? alphabet[group >> 6 & 63] : '=';
  out += '=';
}
