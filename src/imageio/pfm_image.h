// Portable float maps (PFM): uncompressed 32-bit floating-point pictures
// for tools that want values rather than grey levels. The header is three
// text lines: "PF" (three channels) or "Pf" (one), the width and height,
// and a scale whose sign gives the byte order ("-1.0": little-endian).
// Rows follow bottom row first, the opposite of PPM, so a picture in the
// map's row order (row 0 at the bottom) is written as it lies in memory.
#pragma once

#include <functional>

// Writes width x height pixels of `channels` floats (1 or 3), row 0 the
// bottom row, little-endian, through OutputFile: the whole file or nothing.
// A failure is reported on standard error; false then.
bool write_pfm(const float* samples, int channels, int width, int height, const char* path);

// The same picture made a band of rows at a time, never whole in memory:
// make(first, end, out) fills rows first .. end - 1 (`channels` floats per
// pixel, row first first), on up to `threads` threads.
bool write_pfm_bands(int channels, int width, int height, const char* path, int threads,
                     const std::function<void(int first, int end, float* out)>& make);
