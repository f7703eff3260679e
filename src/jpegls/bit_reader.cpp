#include "jpegls/bit_reader.h"

void bit_reader_start(BitReader& r, ByteStream& stream) {
  r = BitReader{};
  r.stream = &stream;
}

void bit_reader_fill_slow(BitReader& r) {
  ByteStream& s = *r.stream;
  while (r.valid <= 56) {
    if (r.stopped != 0 || stream_fill(s, 2) < 1) {
      r.stopped = 1;
      r.padded += 64 - r.valid;
      r.valid = 64;
      return;
    }
    const std::uint64_t byte = s.buffer[s.position];
    if (r.after_ff != 0) {
      // T.87 A.1: the byte after 0xFF starts with a stuffed 0 bit, unless
      // its high bit is set, in which case the two bytes are a marker.
      if ((byte & 0x80) != 0) {
        r.stopped = 1;
        continue;
      }
      r.cache |= byte << (57 - r.valid);
      r.valid += 7;
      r.after_ff = 0;
    } else {
      if (byte == 0xFF && s.fill - s.position >= 2 && (s.buffer[s.position + 1] & 0x80) != 0) {
        r.stopped = 1;
        continue;
      }
      r.cache |= byte << (56 - r.valid);
      r.valid += 8;
      r.after_ff = byte == 0xFF;
    }
    ++s.position;
  }
}
