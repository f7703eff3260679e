// Line coders of a scan (T.87 A.2 to A.7): one line of every component of
// the scan per call. Lines are pixel-interleaved (`components` samples per
// pixel) and each line buffer has at least one margin pixel in front and
// behind; the coders set the edge samples of T.87 A.2.1 themselves.
#pragma once

#include <cstdint>

struct ScanState;
struct BitReader;
struct BitWriter;

using LineDecodeFn = void (*)(ScanState& state, BitReader& reader, std::uint8_t* current,
                              std::uint8_t* previous, int width, int components);
using LineEncodeFn = void (*)(ScanState& state, BitWriter& writer, std::uint8_t* current,
                              std::uint8_t* previous, int width, int components);

// The coder for a sample size, loss and interleave (1 line, 2 pixel), or
// null for the combinations the codec does not provide.
LineDecodeFn select_line_decoder(bool two_byte, bool lossless, int interleave);
LineEncodeFn select_line_encoder(bool two_byte, bool lossless, int interleave);
