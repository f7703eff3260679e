#include "jpegls/color_transform.h"

#include <algorithm>

#include "jpegls/codec_state.h"

namespace {

struct Alphabet {
  int mask;  // A - 1: reduction modulo A
  int half;  // A / 2
};

Alphabet alphabet_of(const JlsScanInfo& scan) { return {scan.alphabet - 1, scan.alphabet / 2}; }

bool check_transform(JlsCodec* codec, int id, int components, int sample_bytes) {
  if (id < 0 || id >= kColorTransformCount) {
    jls_message(codec, "unknown color xform : %d\n", id);
    return false;
  }
  if (id == 0) return true;
  if (sample_bytes != 1) {
    jls_message(codec, "16b color xforms not implemented yet!\n");
    return false;
  }
  if (id != kMatrixTransform && components < 3) {
    jls_message(codec, "error : color xform %d needs three components, the frame has %d\n", id,
                components);
    return false;
  }
  return true;
}

// Transform 4's YCbCr: the luma and chroma weights of ITU-R BT.601 in 14
// fractional bits (4898 = 0.299 * 2^14, ...), each sum rounded by 8192.
// The third value is 127 minus the usual red-difference chroma.
void forward_ycbcr(std::uint8_t* p, int mask) {
  const int r = p[0];
  const int g = p[1];
  const int b = p[2];
  const int y = (4898 * r + 9617 * g + 1867 * b + 8192) >> 14;
  const int u = ((8192 * b - 2764 * r - 5427 * g + 8192) >> 14) + 127;
  const int v = ((6859 * g + 1332 * b - 8192 * r + 8192) >> 14) + 127;
  p[0] = static_cast<std::uint8_t>(std::clamp(y, 0, mask));
  p[1] = static_cast<std::uint8_t>(std::clamp(u, 0, mask));
  p[2] = static_cast<std::uint8_t>(std::clamp(v, 0, mask));
}

void inverse_ycbcr(const std::uint8_t* p, std::uint8_t* out, int mask) {
  const int y = p[0];
  const int u = p[1];
  const int v = p[2];
  const int r = y + ((2925382 - 22970 * v) >> 14);
  const int g = y + ((11700 * v - 5638 * u - 761682) >> 14);
  const int b = y + ((29032 * u - 3678872) >> 14);
  out[0] = static_cast<std::uint8_t>(std::clamp(r, 0, std::min(mask, 255)));
  out[1] = static_cast<std::uint8_t>(std::clamp(g, 0, std::min(mask, 255)));
  out[2] = static_cast<std::uint8_t>(std::clamp(b, 0, std::min(mask, 255)));
}

// Transform 5 rounds the weighted sum of the other components: (S + 2^(s-1))
// >> s, an arithmetic shift.
std::int64_t rounded_shift(std::int64_t sum, int shift) {
  return shift > 0 ? (sum + (std::int64_t{1} << (shift - 1))) >> shift : sum;
}

// The decoder's rule, for i = 0..n-1: out_i = ((sum_{j<i} c_ij out_j +
// (in_i << s_i) + sum_{j>i} c_ij in_j + round) >> s_i) - H*offset_i mod A.
// Since in_i << s_i is a multiple of 2^s_i, out_i = in_i + rounded(S) -
// H*offset_i with S the sum over the other components; it is a chain of
// lifting steps, inverted exactly by running the steps backwards.
void inverse_matrix(const JlsScanInfo& scan, const std::uint8_t* in, std::uint8_t* out, int n,
                    Alphabet a) {
  std::uint8_t stored[kJlsMaxComponents];
  std::copy(in, in + n, stored);
  for (int i = 0; i < n; ++i) {
    std::int64_t sum = 0;
    for (int j = 0; j < n; ++j) {
      if (j != i) sum += std::int64_t{scan.transform_matrix[i][j]} * (j < i ? out[j] : stored[j]);
    }
    const int s = scan.transform_shift[i];
    std::int64_t value = stored[i] + rounded_shift(sum, s);
    if (scan.transform_offset[i] != 0) value -= a.half;
    out[i] = static_cast<std::uint8_t>(value & a.mask);
  }
}

void forward_matrix(const JlsScanInfo& scan, std::uint8_t* p, int n, Alphabet a) {
  std::uint8_t original[kJlsMaxComponents];
  std::copy(p, p + n, original);
  for (int i = n - 1; i >= 0; --i) {
    std::int64_t sum = 0;
    for (int j = 0; j < n; ++j) {
      if (j != i) sum += std::int64_t{scan.transform_matrix[i][j]} * (j < i ? original[j] : p[j]);
    }
    std::int64_t value = original[i] - rounded_shift(sum, scan.transform_shift[i]);
    if (scan.transform_offset[i] != 0) value += a.half;
    p[i] = static_cast<std::uint8_t>(value & a.mask);
  }
}

// Bit packing of the parameter block, with the stuffing of T.87 A.1.
struct BitPacker {
  std::vector<std::uint8_t> bytes;
  int byte = 0;
  int count = 0;  // bits in `byte`
  void put(int bit) {
    byte = byte << 1 | (bit & 1);
    ++count;
    const int width = !bytes.empty() && bytes.back() == 0xFF ? 7 : 8;
    if (count == width) {
      bytes.push_back(static_cast<std::uint8_t>(byte));
      byte = 0;
      count = 0;
    }
  }
  void put(std::uint32_t value, int n) {
    for (int k = n - 1; k >= 0; --k) put(static_cast<int>(value >> k & 1));
  }
  void pad() {
    while (count != 0) put(0);
  }
};

struct BitUnpacker {
  const std::uint8_t* data;
  int size;
  int position = 0;
  int bit = 8;  // next bit of data[position - 1], from 7 down; 8: none left
  int width = 8;
  bool ended = false;
  int get() {
    if (bit == 8 || bit < 0) {
      if (position == size) {
        ended = true;
        return 0;
      }
      width = position > 0 && data[position - 1] == 0xFF ? 7 : 8;
      ++position;
      bit = width - 1;
    }
    return data[position - 1] >> bit-- & 1;
  }
  std::uint32_t get(int n) {
    std::uint32_t value = 0;
    for (int k = 0; k < n; ++k) value = value << 1 | static_cast<std::uint32_t>(get());
    return value;
  }
};

}  // namespace

int forward_color_transform(JlsCodec* codec, const JlsScanInfo& scan, std::uint8_t* line, int width,
                            int components, int sample_bytes) {
  const int id = scan.color_transform;
  if (!check_transform(codec, id, components, sample_bytes)) return 0;
  const Alphabet a = alphabet_of(scan);
  for (int x = 0; x < width; ++x) {
    std::uint8_t* p = line + static_cast<std::size_t>(x) * components;
    const int r = p[0];
    const int g = components > 1 ? p[1] : 0;
    const int b = components > 2 ? p[2] : 0;
    switch (id) {
      case 0:
        return 1;
      case 1:
        p[0] = static_cast<std::uint8_t>((r - g + a.half) & a.mask);
        p[2] = static_cast<std::uint8_t>((b - g + a.half) & a.mask);
        break;
      case 2:
        p[0] = static_cast<std::uint8_t>((r - g + a.half) & a.mask);
        p[2] = static_cast<std::uint8_t>((b - ((r + g) >> 1) + a.half) & a.mask);
        break;
      case 3: {
        const int u = (b - g + a.half) & a.mask;
        const int v = (r - g + a.half) & a.mask;
        p[0] = static_cast<std::uint8_t>((((u + v) >> 2) + g - a.half / 2) & a.mask);
        p[1] = static_cast<std::uint8_t>(u);
        p[2] = static_cast<std::uint8_t>(v);
        break;
      }
      case 4:
        forward_ycbcr(p, a.mask);
        break;
      default:
        forward_matrix(scan, p, components, a);
        break;
    }
  }
  return 1;
}

int inverse_color_transform(JlsCodec* codec, const JlsScanInfo& scan, const std::uint8_t* line,
                            std::uint8_t* out, int width, int components, int sample_bytes) {
  const int id = scan.color_transform;
  if (!check_transform(codec, id, components, sample_bytes)) return 0;
  const Alphabet a = alphabet_of(scan);
  const std::size_t bytes = static_cast<std::size_t>(width) * components * sample_bytes;
  if (out != line) std::copy(line, line + bytes, out);
  if (id == 0) return 1;
  for (int x = 0; x < width; ++x) {
    std::uint8_t* p = out + static_cast<std::size_t>(x) * components;
    const int c0 = p[0];
    const int c1 = components > 1 ? p[1] : 0;
    const int c2 = components > 2 ? p[2] : 0;
    switch (id) {
      case 1:
        p[0] = static_cast<std::uint8_t>((c0 + c1 - a.half) & a.mask);
        p[2] = static_cast<std::uint8_t>((c2 + c1 - a.half) & a.mask);
        break;
      case 2: {
        const int r = (c0 + c1 - a.half) & a.mask;
        p[0] = static_cast<std::uint8_t>(r);
        p[2] = static_cast<std::uint8_t>((((c1 + r) >> 1) + c2 - a.half) & a.mask);
        break;
      }
      case 3: {
        // Stored (Y, U, V).
        const int g = (c0 + a.half / 2 - ((c1 + c2) >> 2)) & a.mask;
        p[0] = static_cast<std::uint8_t>((c2 + g - a.half) & a.mask);
        p[1] = static_cast<std::uint8_t>(g);
        p[2] = static_cast<std::uint8_t>((c1 + g - a.half) & a.mask);
        break;
      }
      case 4:
        inverse_ycbcr(p, p, a.mask);
        break;
      default:
        inverse_matrix(scan, p, p, components, a);
        break;
    }
  }
  return 1;
}

std::vector<std::uint8_t> pack_matrix_parameters(const JlsScanInfo& scan, int components) {
  BitPacker packer;
  for (int i = 0; i < components; ++i) {
    const int s = scan.transform_shift[i];
    packer.put(scan.transform_offset[i] != 0 ? 1 : 0);
    packer.put(static_cast<std::uint32_t>(s), 5);
    for (int j = 0; j < components; ++j) {
      if (j == i) continue;
      const int c = scan.transform_matrix[i][j];
      const std::uint32_t magnitude = c < 0 ? 0u - static_cast<std::uint32_t>(c) : c;
      for (std::uint32_t k = magnitude >> s; k > 0; --k) packer.put(0);
      packer.put(1);
      packer.put(magnitude & ((std::uint32_t{1} << s) - 1), s);
      if (c != 0) packer.put(c < 0 ? 1 : 0);
    }
  }
  packer.pad();
  return packer.bytes;
}

bool unpack_matrix_parameters(const std::uint8_t* block, int size, int components,
                              JlsScanInfo& scan) {
  BitUnpacker in{block, size};
  for (int i = 0; i < components; ++i) {
    scan.transform_offset[i] = in.get();
    const int s = static_cast<int>(in.get(5));
    scan.transform_shift[i] = s;
    for (int j = 0; j < components; ++j) {
      if (j == i) continue;
      std::uint64_t high = 0;
      while (in.get() == 0 && !in.ended) ++high;
      const std::uint64_t magnitude = high << s | in.get(s);
      if (in.ended || magnitude > 0x7FFFFFFF) return false;
      const int sign = magnitude != 0 ? in.get() : 0;
      scan.transform_matrix[i][j] =
          sign != 0 ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    }
    scan.transform_matrix[i][i] = 0;
  }
  return !in.ended;
}
