// Buffered byte input and output of a JPEG-LS stream through the caller's
// callbacks, one stream buffer per codec.
#pragma once

#include <cstdint>

#include "jpegls/jpegls.h"

// Error codes held in the stream (and reported by the header steps).
enum JlsErrorCode { kJlsNoError = 0, kJlsOutOfMemory = 1, kJlsEndOfStream = 2 };

// Bytes kept in front of a refill, so that a 0xFF and the byte after it
// (a possible marker, T.87 D.1) can be looked at together.
inline constexpr int kJlsStreamLookahead = 16;

struct ByteStream {
  JlsReadFn read;
  JlsWriteFn write;
  void* user;
  std::uint8_t* buffer;  // kJlsStreamBufferSize + kJlsStreamLookahead bytes
  int position;          // next byte to read, or next free byte when writing
  int fill;              // bytes held when reading
  int ended;             // the read callback has delivered a short block
  int error;             // JlsErrorCode
};

// Makes at least `wanted` (at most kJlsStreamLookahead) bytes readable when
// the stream has them; returns the number of readable bytes.
int stream_fill(ByteStream& s, int wanted);

// The next byte, or -1 at the end of the stream (which sets kJlsEndOfStream).
int stream_get_byte(ByteStream& s);

// A big-endian 16-bit value, or -1 at the end of the stream.
int stream_get_word(ByteStream& s);

// Appends a byte; a full buffer goes to the write callback.
void stream_put_byte(ByteStream& s, std::uint8_t byte);
void stream_put_word(ByteStream& s, int value);

// Hands the buffered output to the write callback; a refusal sets
// kJlsEndOfStream.
void stream_flush(ByteStream& s);
