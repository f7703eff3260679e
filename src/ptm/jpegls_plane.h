// One coefficient or colour plane as a JPEG-LS stream of a single 8-bit
// component, through the program's own JPEG-LS codec and its callbacks:
// the stream always comes from memory and the samples always go to memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes `stream_bytes` bytes of `stream` into `destination`, which holds
// width x height bytes, rows in stream order. Returns the number of bytes
// written: width * height for a whole plane, less when decoding stopped
// (the codec's messages and ours are printed on standard error and the rest
// of the plane is left as it was). A stream that is not one 8-bit
// component of exactly width x height writes nothing. Never reads past the
// stream nor writes past the plane.
int decode_jpegls_plane(const std::uint8_t* stream, std::size_t stream_bytes,
                        std::uint8_t* destination, int width, int height);

// The stream's header, read before the plane is decoded: the most samples
// the stream's bytes can code when it is one 8-bit component of exactly
// width x height (T.87's run mode codes at most 2^15 samples per bit), or
// 0 after the messages of decode_jpegls_plane when it is not.
std::uint64_t probe_jpegls_plane(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                                 int height);

// Encodes width x height bytes of `plane` with loss bound `near` (0:
// lossless) into `stream`, replacing its content. False after the codec's
// message on standard error when the codec refuses.
bool encode_jpegls_plane(const std::uint8_t* plane, int width, int height, int near,
                         std::vector<std::uint8_t>& stream);
