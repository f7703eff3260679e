// Bit output of entropy-coded scan data (T.87 A.1): most significant bit
// first, and after every 0xFF byte the next byte carries a 0 bit and seven
// data bits, so no marker can appear inside the data.
#pragma once

#include <cstdint>

#include "jpegls/byte_stream.h"

struct BitWriter {
  std::uint64_t bits;  // pending bits in the low `count` positions
  int count;
  int after_ff;
  ByteStream* stream;
};

inline void bit_writer_start(BitWriter& w, ByteStream& stream) {
  w = BitWriter{};
  w.stream = &stream;
}

// Appends the low `n` bits of `value` (n 0..32).
inline void write_bits(BitWriter& w, std::uint32_t value, int n) {
  w.bits = (w.bits << n) | value;
  w.count += n;
  for (;;) {
    const int width = w.after_ff != 0 ? 7 : 8;
    if (w.count < width) return;
    w.count -= width;
    const auto byte = static_cast<std::uint8_t>((w.bits >> w.count) & ((1u << width) - 1));
    stream_put_byte(*w.stream, byte);
    w.after_ff = byte == 0xFF;
  }
}

inline void write_zeros(BitWriter& w, int n) {
  for (; n > 32; n -= 32) write_bits(w, 0, 32);
  write_bits(w, 0, n);
}

// Limited-length Golomb code of T.87 A.5.3 (code segment A.11).
inline void write_golomb(BitWriter& w, int value, int k, int limit, int qbpp) {
  const int high = value >> k;
  const int escape = limit - qbpp - 1;
  if (high < escape) {
    write_zeros(w, high);
    write_bits(w, (1u << k) | (static_cast<std::uint32_t>(value) & ((1u << k) - 1)), k + 1);
  } else {
    write_zeros(w, escape);
    write_bits(w, 1, 1);
    write_bits(w, static_cast<std::uint32_t>(value - 1) & ((1u << qbpp) - 1), qbpp);
  }
}

// Pads the last byte with 0 bits. A final 0xFF gets a following zero byte
// so that the marker after the scan is not taken for stuffed data.
inline void bit_writer_finish(BitWriter& w) {
  if (w.count > 0) write_bits(w, 0, (w.after_ff != 0 ? 7 : 8) - w.count);
  if (w.after_ff != 0) write_bits(w, 0, 7);
}
