// Numbers as decimal text, written into a caller's buffer: the bytes
// printf would write, without printf's cost per call (parsing the format,
// locking the stream), for files of millions of numbers.
#pragma once

#include <cstddef>
#include <cstdint>

// The longest text append_six_decimals writes: a sign, the 309 digits of
// the largest double, the point and six decimals.
inline constexpr std::size_t six_decimals_max_length = 317;

// Writes `value` as "%f" does (six decimals, the exact binary value
// rounded to nearest with ties to even, "-" for every negative value
// including -0) at `out`; returns the end of the text. No terminating zero.
char* append_six_decimals(char* out, double value);

// Writes `value` as "%u" does; at most 10 characters.
char* append_unsigned(char* out, std::uint32_t value);
