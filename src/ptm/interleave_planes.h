// Planar bytes to the pixel-interleaved layout the row converters take:
// the decoded planes of a compressed LRGB map become six coefficient bytes
// and three colour bytes per pixel, as an uncompressed file lays them out.
#pragma once

#include <cstddef>
#include <cstdint>

// six[6 i + k] = planes[k][i] for k = 0..5 and rgb[3 i + c] =
// planes[6 + c][i] for c = 0..2, for pixels i = 0 .. count - 1.
void interleave_lrgb_planes(const std::uint8_t* const* planes, std::size_t count, std::uint8_t* six,
                            std::uint8_t* rgb);

// The vectorised kernel behind it, for processors with AVX2; handles whole
// groups of 16 pixels and returns how many pixels it interleaved.
std::size_t interleave_lrgb_planes_avx2(const std::uint8_t* const* planes, std::size_t count,
                                        std::uint8_t* six, std::uint8_t* rgb);
