// Colour transforms applied to the first components of each pixel of a
// pixel-interleaved line before encoding and undone after decoding,
// signalled by the "mrfx" application segment: the reversible transforms
// of HP's JPEG-LS extension (1 to 3), a lossy YCbCr (4), and a general
// integer lifting matrix (5) carried as a bit-packed parameter block.
#pragma once

#include <cstdint>
#include <vector>

#include "jpegls/jpegls.h"

struct JlsCodec;

inline constexpr int kColorTransformCount = 6;  // identifiers 0..5
inline constexpr int kMatrixTransform = 5;

// Transforms `width` pixels of `components` samples at `line` in place
// (forward: before encoding) or from `line` into `out` (inverse: after
// decoding; `out` may equal `line`). `alphabet` is the scan's MAXVAL + 1.
// Returns 0 after a message when the transform is unknown, needs more
// components than the frame has, or the samples are two bytes wide.
int forward_color_transform(JlsCodec* codec, const JlsScanInfo& scan, std::uint8_t* line, int width,
                            int components, int sample_bytes);
int inverse_color_transform(JlsCodec* codec, const JlsScanInfo& scan, const std::uint8_t* line,
                            std::uint8_t* out, int width, int components, int sample_bytes);

// Transform 5's parameter block for `components` components, bit-packed
// most significant bit first with a 0 bit stuffed after every 0xFF byte,
// padded with 0 bits to a whole byte.
std::vector<std::uint8_t> pack_matrix_parameters(const JlsScanInfo& scan, int components);

// Reads a parameter block of `size` bytes into the scan's offsets, shifts
// and coefficients; false when the block ends early or a coefficient does
// not fit 31 bits.
bool unpack_matrix_parameters(const std::uint8_t* block, int size, int components,
                              JlsScanInfo& scan);
