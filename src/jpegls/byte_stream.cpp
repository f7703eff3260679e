#include "jpegls/byte_stream.h"

#include <cstring>

int stream_fill(ByteStream& s, int wanted) {
  int available = s.fill - s.position;
  if (available >= wanted || s.ended) return available;
  // Keep the unread tail in front of the new block.
  std::memmove(s.buffer, s.buffer + s.position, static_cast<std::size_t>(available));
  s.position = 0;
  s.fill = available;
  int got = s.read == nullptr ? 0 : s.read(s.user, s.buffer + s.fill, kJlsStreamBufferSize);
  if (got < 0) got = 0;
  if (got > kJlsStreamBufferSize) got = kJlsStreamBufferSize;
  if (got < kJlsStreamBufferSize) s.ended = 1;
  s.fill += got;
  return s.fill - s.position;
}

int stream_get_byte(ByteStream& s) {
  if (s.position >= s.fill && stream_fill(s, 1) < 1) {
    s.error = kJlsEndOfStream;
    return -1;
  }
  return s.buffer[s.position++];
}

int stream_get_word(ByteStream& s) {
  const int high = stream_get_byte(s);
  const int low = stream_get_byte(s);
  if (high < 0 || low < 0) return -1;
  return high << 8 | low;
}

void stream_put_byte(ByteStream& s, std::uint8_t byte) {
  s.buffer[s.position++] = byte;
  if (s.position == kJlsStreamBufferSize) stream_flush(s);
}

void stream_put_word(ByteStream& s, int value) {
  stream_put_byte(s, static_cast<std::uint8_t>(value >> 8));
  stream_put_byte(s, static_cast<std::uint8_t>(value));
}

void stream_flush(ByteStream& s) {
  if (s.position > 0 && (s.write == nullptr || s.write(s.user, s.buffer, s.position) == 0)) {
    s.error = kJlsEndOfStream;
  }
  s.position = 0;
}
