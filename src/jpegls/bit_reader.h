// Bit input of entropy-coded scan data (T.87 A.1 and D.1): most significant
// bit first, a 0 bit stuffed after every 0xFF, and a 0xFF followed by a byte
// with its high bit set ends the data (a marker, left in the stream).
//
// Bits sit left-aligned in a 64-bit cache. Past the end of the data the
// cache is padded with zero bits and the padding is counted, so the coding
// loops need no bounds check per sample: a line that consumed padding is
// refused once it is complete.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "jpegls/byte_stream.h"

struct BitReader {
  std::uint64_t cache;
  int valid;     // bits of the cache that are data (the rest are 0)
  int padded;    // zero bits appended after the data ended
  int after_ff;  // the last byte taken was 0xFF: the next carries 7 bits
  int stopped;   // a marker or the end of the stream was reached
  int error;     // an impossible code was read
  ByteStream* stream;
};

void bit_reader_start(BitReader& r, ByteStream& stream);
void bit_reader_fill_slow(BitReader& r);

// Tops the cache up to at least 57 bits (data or padding).
inline void bit_reader_fill(BitReader& r) {
  ByteStream& s = *r.stream;
  if (s.fill - s.position >= 8 && r.after_ff == 0) {
    std::uint64_t x;
    std::memcpy(&x, s.buffer + s.position, 8);
    x = __builtin_bswap64(x);
    // No 0xFF among the next eight bytes: whole bytes go straight in.
    const std::uint64_t inverted = ~x;
    if (((inverted - 0x0101010101010101u) & ~inverted & 0x8080808080808080u) == 0) {
      const int take = (64 - r.valid) >> 3;
      x &= ~std::uint64_t{0} << (64 - 8 * take);
      r.cache |= x >> r.valid;
      r.valid += 8 * take;
      s.position += take;
      return;
    }
  }
  bit_reader_fill_slow(r);
}

// `n` bits (0..32) as an unsigned number.
inline int read_bits(BitReader& r, int n) {
  if (r.valid < n) bit_reader_fill(r);
  const int value = static_cast<int>((r.cache >> 1) >> (63 - n));
  r.cache <<= n;
  r.valid -= n;
  return value;
}

inline int read_bit(BitReader& r) {
  if (r.valid < 1) bit_reader_fill(r);
  const int value = static_cast<int>(r.cache >> 63);
  r.cache <<= 1;
  r.valid -= 1;
  return value;
}

// Counts leading zero bits and consumes them with the terminating 1 bit;
// more than `max_zeros` is a broken code (flagged, 0 returned).
inline int read_unary_slow(BitReader& r, int max_zeros) {
  int zeros = 0;
  for (;;) {
    if (r.valid <= 56) bit_reader_fill(r);
    if (r.cache != 0) {
      const int n = std::countl_zero(r.cache);
      zeros += n;
      if (zeros > max_zeros) break;
      r.cache <<= n + 1;
      r.valid -= n + 1;
      return zeros;
    }
    zeros += r.valid;
    r.valid = 0;
    if (zeros > max_zeros) break;
  }
  r.error = 1;
  return 0;
}

// Limited-length Golomb code of T.87 A.5.3 (code segment A.11 inverse):
// a unary prefix below LIMIT - qbpp - 1 followed by k bits, or that many
// zeros, a 1 and the value - 1 in qbpp bits.
inline int read_golomb(BitReader& r, int k, int limit, int qbpp) {
  const int escape = limit - qbpp - 1;
  if (r.valid < 32) bit_reader_fill(r);
  std::uint64_t c = r.cache;
  if (c != 0) {
    const int n = std::countl_zero(c);
    if (n < escape && n + 1 + k <= r.valid) {
      c <<= n + 1;
      const int value = (n << k) | static_cast<int>((c >> 1) >> (63 - k));
      r.cache = c << k;
      r.valid -= n + 1 + k;
      return value;
    }
  }
  const int zeros = read_unary_slow(r, escape);
  if (zeros < escape) return (zeros << k) | read_bits(r, k);
  return read_bits(r, qbpp) + 1;
}

// True when the data ended inside what was decoded, or a code was broken.
inline bool bit_reader_failed(const BitReader& r) { return r.error != 0 || r.padded > r.valid; }
