// Reconstruction of the coefficient and colour planes of a compressed PTM.
//
// Every plane is an 8-bit image of width x height. An I-plane is its codec
// stream decoded. A P-plane is a prediction plus its decoded residual,
// minus 128, modulo 256: the prediction is an already decoded plane (its
// reference), optionally inverted and shifted by a motion vector in half
// pixels with the edges clamped; then single pixels are patched by the
// plane's side information. Planes are decoded in the sequence their order
// values give; a reference not yet decoded is a plane of zeros.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ptm/compressed_header.h"
#include "ptm/ptm.h"

// A plane codec: decodes `stream_bytes` bytes of one stored stream into
// `destination` (width x height bytes, rows in stream order). Returns the
// number of bytes written, which is width * height exactly when the stream
// holds a plane of that size, or -1 after printing why it cannot be
// decoded. Never reads past the stream nor writes past the plane.
using PlaneDecoder = int (*)(const std::uint8_t* stream, std::size_t stream_bytes,
                             std::uint8_t* destination, int width, int height);

// What a plane codec makes of one stored stream before anything is
// decoded or allocated for the plane: the most samples its bytes can code
// when it is one 8-bit component of width x height, or 0 after printing why
// it is not.
using PlaneProbe = std::uint64_t (*)(const std::uint8_t* stream, std::size_t stream_bytes,
                                     int width, int height);

// The codec of `compression_type`, or null where this build has none.
PlaneDecoder plane_decoder_for(int compression_type);

// Whether this build decodes `compression_type`; when not, prints
// "Compressed ptm file <path> cannot be decoded: this build has no ...
// plane decoder".
bool has_plane_decoder(int compression_type, const char* path);

// destination[i] = 255 - source[i].
void invert_plane(const std::uint8_t* source, std::uint8_t* destination, std::size_t count);

// destination[i] = (residual[i] + prediction[i] - 128) mod 256. Any of the
// three may be the same buffer.
void add_residual(const std::uint8_t* residual, const std::uint8_t* prediction,
                  std::uint8_t* destination, std::size_t count);

// destination = source shifted by (mv_x, mv_y) half pixels: first the whole
// pixels, D[y][x] = S[clamp(y + iy)][clamp(x + ix)] with i = m / 2
// truncated toward zero; then, when a half pixel f = m - 2i is left, the
// truncated mean with the clamped neighbour at x + fx (through `temporary`)
// and then at y + fy. All three buffers hold width x height bytes and are
// distinct.
void motion_compensate(const std::uint8_t* source, std::uint8_t* destination,
                       std::uint8_t* temporary, int width, int height, int mv_x, int mv_y);

// The decoded planes of one map (header.num_planes of them, width x height
// bytes each, zero until decoded); released with the object.
struct DecodedPlanes {
  DecodedPlanes() = default;
  DecodedPlanes(const DecodedPlanes&) = delete;
  DecodedPlanes& operator=(const DecodedPlanes&) = delete;
  ~DecodedPlanes();

  std::uint8_t* plane[max_compressed_planes] = {};
};

// The work planes of the P-plane steps, allocated on first use.
struct DecoderWork {
  explicit DecoderWork(std::size_t plane_bytes) : plane_bytes(plane_bytes) {}
  DecoderWork(const DecoderWork&) = delete;
  DecoderWork& operator=(const DecoderWork&) = delete;
  ~DecoderWork();

  std::size_t plane_bytes;
  std::uint8_t* reference_copy = nullptr;
  std::uint8_t* prediction = nullptr;
  std::uint8_t* residual = nullptr;
  std::uint8_t* temporary = nullptr;
};

// Allocates the zero planes of `header` into `planes`.
void allocate_decoded_planes(const CompressedPtmHeader& header, DecodedPlanes& planes);

// The prediction of P-plane `k` from the planes decoded so far: its
// reference, inverted when transformation bit 1 is set, shifted when bit 2
// is set and the motion is not (0, 0). Points into `planes` or `work`.
const std::uint8_t* predict_plane(const CompressedPtmHeader& header, int k,
                                  const DecodedPlanes& planes, DecoderWork& work);

// Decodes plane `k` of `header` into planes.plane[k]: an I-plane is its
// stream decoded; a P-plane its prediction plus the decoded residual, then
// patched by its side information. False, after a message, when the stream
// does not decode to exactly one plane or side information points outside
// the plane.
bool decode_plane(const CompressedPtmHeader& header, int k, PlaneDecoder codec,
                  DecodedPlanes& planes, DecoderWork& work);

// Every plane of a header as read_compressed_header leaves it, in decoding
// order, with `codec`. False after a message when a plane cannot be decoded.
bool decode_planes(const CompressedPtmHeader& header, PlaneDecoder codec, DecodedPlanes& planes);

// Reads the compressed file at `path` (read_compressed_header) and checks,
// before any map or plane is allocated, that it can hold the width x
// height RGB or LRGB map the reader made of its text header: the same size
// and kind, a plane decoder in this build, and every stream a plane of that
// size that its bytes can code. False after printing why (and with nothing
// left allocated); on true the caller releases the header with
// free_compressed_header.
bool read_compressed_map(const char* path, int width, int height, bool lrgb,
                         CompressedPtmHeader& header);

// Decodes a header that read_compressed_map accepted into `ptm`, a map of
// its size made by create_ptm (as decode_compressed_rgb and _lrgb below).
// False after a message when a plane cannot be decoded.
bool decode_compressed_map(const CompressedPtmHeader& header, Ptm& ptm);

// Decode the compressed file at `path` into `ptm`, a map of the file's size
// made by create_ptm: its coefficient planes (plane 6c + k of RGB, plane k
// of LRGB, at byte k % 3 of coef_planes[k / 3] per channel pair), its colour
// (LRGB planes 6, 7, 8) and its integer coefficients. False after a message
// when the file cannot be decoded.
bool decode_compressed_rgb(const char* path, Ptm& ptm);
bool decode_compressed_lrgb(const char* path, Ptm& ptm);
