// PPM and TGA files. Images in memory are bottom-up RgbImages; the files
// store the top row first, so the readers and writers flip rows (except
// write_grey_ppm, whose caller has already flipped).
#pragma once

#include <cstdint>

#include "common/rgb_image.h"

// Reads a binary (P6) or ASCII (P3) PPM into a new image, rows flipped to
// bottom-up. Returns null, after "Unable to load ppm file %s" on standard
// error, only when the file cannot be opened; every other problem prints
// its message and ends the program.
RgbImage* Input_ppm_and_create_as_char_image(const char* path);

// Reads only the size from a PPM header. Ends the program with
// "Input_ppm_size Error: Can't open ppm file: %s" when the file cannot be
// opened.
void Input_ppm_size(const char* path, int& width, int& height);

// The PPM writers write the whole file or nothing (a failed write is
// reported with report_write_failure and leaves no file); false on failure.

// Binary PPM of a bottom-up RGB image (written top row first).
bool write_ppm(const std::uint8_t* pixels, const char* path, int width, int height);

// Binary PPM of one byte per pixel, rows written in stored order, each grey
// byte g as g, g, g. Header "P6", width and height each on its own line.
bool write_grey_ppm(const std::uint8_t* grey, const char* path, int width, int height);

// Binary PPM of packed RGB bytes already in file order (top row first),
// written as they are, with write_grey_ppm's header.
bool write_raw_ppm(const std::uint8_t* pixels, const char* path, int width, int height);

// Uncompressed 24-bit TGA with an image-ID text. Swaps the caller's pixels
// to B, G, R in place. Returns 0, or -1 when the file cannot be written.
int write_tga(std::uint8_t* pixels, const char* path, int width, int height, const char* id_text);
