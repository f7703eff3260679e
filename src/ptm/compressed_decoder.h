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
#include <functional>
#include <vector>

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

// The work planes of the P-plane steps, allocated (zero-filled) on first
// use. One set per plane decoded at a time.
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
  std::uint8_t* zeros = nullptr;  // the reference of a plane predicted from one not yet decoded
};

// Calls plane(k) once for every plane of `header` on up to `threads`
// threads: a P-plane that reads its reference as decoded after the call for
// that reference has returned, planes that do not depend on each other at
// the same time. With one thread the planes go in decoding order.
void for_each_plane_after_its_reference(const CompressedPtmHeader& header, int threads,
                                        const std::function<void(int k)>& plane);

// Allocates the zero planes of `header` into `planes`.
void allocate_decoded_planes(const CompressedPtmHeader& header, DecodedPlanes& planes);

// Whether P-plane k reads its reference as decoded: the reference comes
// earlier in the decoding order. A reference decoded later is a plane of
// zeros when k is decoded.
bool reads_decoded_reference(const CompressedPtmHeader& header, int k);

// The plane whose decoded bytes plane k predicts from, or -1 when k reads
// no decoded plane (an I-plane, or a reference decoded after it).
int decoded_reference(const CompressedPtmHeader& header, int k);

// For every plane, how many planes predict from its decoded bytes: how
// long its reconstruction must be kept.
std::vector<int> predictions_from_each_plane(const CompressedPtmHeader& header);

// The prediction of P-plane `k` from `reference`, the decoded plane it is
// predicted from (null: a plane of zeros): inverted when transformation
// bit 1 is set, shifted when bit 2 is set and the motion is not (0, 0).
// Points into `reference` or `work`.
const std::uint8_t* predict_plane(const CompressedPtmHeader& header, int k,
                                  const std::uint8_t* reference, DecoderWork& work);

// Decodes plane `k` of `header` into `plane` (width x height bytes): an
// I-plane is its stream decoded; a P-plane its prediction from `reference`
// (as predict_plane takes it) plus the decoded residual, then patched by
// its side information. False, after a message, when the stream does not
// decode to exactly one plane or side information points outside the
// plane. Planes with distinct `plane` and `work` may be decoded at once.
bool decode_plane(const CompressedPtmHeader& header, int k, PlaneDecoder codec,
                  const std::uint8_t* reference, std::uint8_t* plane, DecoderWork& work);

// Every plane of a header as read_compressed_header leaves it, one after
// the other in decoding order, with `codec`, each kept whole: the plain
// way, against which the reader's own is checked. False after a message
// when a plane cannot be decoded.
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
// its size made by create_ptm in any representation: its coefficient
// planes (plane 6c + k of RGB, plane k of LRGB, at byte k % 3 of
// coef_planes[k / 3] per channel pair), its colour (LRGB planes 6, 7, 8)
// and its integer form. Planes that do not depend on each other are
// decoded at once on up to `threads` threads, a plane after the plane it
// is predicted from; each goes into the map as soon as it is decoded and
// is kept only while a later plane still predicts from it, and each stream
// is released once decoded. False after a message when a plane cannot be
// decoded.
bool decode_compressed_map(CompressedPtmHeader& header, Ptm& ptm, int threads = 1);
