// Writing a rectangle of an RGB, LUM or LRGB map as a version 1.2 PTM file.
//
// The writer copies the stored coefficient bytes unchanged, so the written
// file keeps the quantisation of its source, and reading it back gives the
// same scales, biases, coefficient and colour bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "ptm/ptm.h"

// Writes pixels xs .. xs + w - 1 of rows ys .. ys + h - 1 of `ptm` to
// `path`. Header: "PTM_1.2", the format line, w, h, the six scales, the six
// biases, and for LUM the colour matrix as four lines of four numbers; then
// the binary blocks of the format, rows in increasing order, each row from
// x = xs up:
//   RGB:  red, green, blue blocks of six coefficient bytes per pixel;
//   LUM:  per pixel six coefficient bytes and the two chroma bytes;
//   LRGB: six coefficient bytes per pixel, then red, green, blue per pixel
//         (from the packed record or the colour planes).
// Returns false without touching the file system when the format is not
// RGB, LUM or LRGB or the rectangle is empty or leaves the map (the caller
// reports that); otherwise writes through write_ptm_output.
bool write_ptm_region(const Ptm& ptm, const char* path, int xs, int ys, int w, int h);

// The frame of every uncompressed PTM file the program writes: the file is
// made through OutputFile, so a write that fails part way leaves no file.
// Prints "Can't open PTM file %s for writing\n" and returns false when it
// cannot be made; prints "Writing PTM File %s\n" once it is open, then
// `write_body` writes the content and says whether every write succeeded.
// A failed body, flush or close is reported on standard error
// (report_write_failure) and returns false.
bool write_ptm_output(const char* path, const std::function<bool(std::FILE*)>& write_body);

// The text header of every PTM file the program writes: "PTM_1.2",
// `format_word`, w, h, the six scales and six biases of `ptm`, each group on
// its own line, and for LUM the colour matrix as four lines of four
// numbers. False when a write fails.
bool write_ptm_text_header(std::FILE* file, const Ptm& ptm, const char* format_word, int w, int h);

// The text a scale is written as: "%f" of fixed / 256 when a reader, which
// stores trunc(float(text) * 256), gets `fixed` back from it; otherwise
// "%.8f", which is exact for every k / 256. Beyond 2^24 / 256 no decimal
// text survives single precision exactly; such scales get "%.8f" too.
std::string scale_text(std::int32_t fixed);
