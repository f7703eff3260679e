// The header of a JPEG- or JPEG-LS-compressed PTM file and its stored
// plane streams.
//
// After the common text header (magic word, format word, width, height,
// six scales, six biases) come whitespace-separated decimal integers: the
// encoder's compression parameter, then for every plane in turn its
// transformation, motion x, motion y, order, reference, stream size and
// side-information size, and then the binary data of plane 0, 1, ... in
// index order: each plane's codec stream followed by its side information.
#pragma once

#include <cstdint>
#include <string>

// 18 planes for RGB (plane 6c + k is coefficient ak of channel c), 9 for
// LRGB (planes 0..5 are a0..a5, planes 6..8 red, green, blue).
constexpr int max_compressed_planes = 18;

// Values of `compression_type`.
constexpr int compression_jpegls = 1;
constexpr int compression_jpeg = 2;

// Bits of `transformation`: a P-plane's reference is inverted (255 - v)
// and/or shifted by its motion vector, in half pixels.
constexpr int transform_invert = 1;
constexpr int transform_motion = 2;

// A side-information record: a 32-bit big-endian pixel index and the byte
// the reconstructed plane takes at that pixel.
constexpr int side_info_record_bytes = 5;

struct CompressedPtmHeader {
  char header[256];  // magic word
  char format[256];  // format word
  std::int32_t width;
  std::int32_t height;
  float scale[6];
  std::int32_t bias[6];
  // Per plane: its codec stream (size[k] bytes) then its side information
  // (side_info[k] bytes). Owned by the header when read from a file.
  std::uint8_t* plane_data[max_compressed_planes];
  std::int32_t is_lrgb;
  std::int32_t num_planes;
  std::int32_t compression_type;
  std::int32_t compression_param;
  std::int32_t transformation[max_compressed_planes];
  std::int32_t mv_x[max_compressed_planes];
  std::int32_t mv_y[max_compressed_planes];
  std::int32_t order[max_compressed_planes];
  std::int32_t reference[max_compressed_planes];
  std::int32_t size[max_compressed_planes];
  std::int32_t side_info[max_compressed_planes];
};

// An I-plane is coded by itself; every other plane is predicted.
inline bool is_intra_plane(const CompressedPtmHeader& header, int plane) {
  return header.transformation[plane] == 0 && header.reference[plane] == -1;
}

// Reads the whole file at `path`: header and every plane's stored bytes.
// Returns 0, or -1 after printing why: the file cannot be opened ("Could
// not open %s" on standard error), or its header or plane layout is not
// one this decoder can follow (on standard output). On -1 nothing stays
// allocated.
int read_compressed_header(const char* path, CompressedPtmHeader& header);

// Prints "Compressed ptm file <path> cannot be read: <reason>" and returns
// false.
bool refuse_compressed_file(const char* path, const std::string& reason);

// Releases the plane data read by read_compressed_header.
void free_compressed_header(CompressedPtmHeader& header);

// What is wrong with the planes' coding parameters, or an empty text when
// nothing is: the order must be a permutation of 0 .. n-1, every P-plane's
// reference one of the planes, no size negative, and side information must
// come in whole records.
std::string plane_layout_error(const CompressedPtmHeader& header);
