// The normal field as a colour image: red, green and blue hold the x, y
// and z components of each pixel's normal, the stored signed byte n
// written as (n + 128) mod 256 (so -127..127 become 1..255 and 0 becomes
// 128; a surface facing the camera is (128, 128, 255)). The file's top row
// is the map's last row, y = height - 1. Both writers need the map's
// normals computed.
#pragma once

#include <cstdint>

#include "ptm/ptm.h"

// The normal image of map rows first .. end - 1 (bottom-up, three bytes
// per pixel) into `rgb`. A map that holds no normals gets those of these
// rows computed for them alone.
void normal_image_rows(const Ptm& ptm, int first, int end, std::uint8_t* rgb);

// The rows of the normal image a band of work holds: some 64K pixels.
int normal_image_band_rows(const Ptm& ptm);

// The normal image with the size on one line ("P6\n%d %d\n255\n"), for the
// file the user names. Prints "Writing normal values to file %s ..." once
// the file is open and "done" when it is written. A file that cannot be
// opened prints "Unable to open normal file %s for writing." on standard
// error; a failed write is reported and leaves no file. True when written.
// The picture is made a band of rows at a time on up to `threads` threads,
// from the map's normals or, where it has none, from normals computed
// band by band.
bool write_normal_image_file(const Ptm& ptm, const char* path, int threads = 1);

// The normal image with width and height on lines of their own (the raw
// PPM writer's header), as the depth command writes it. The pixels are
// those of write_normal_image_file. True when written; failures are
// reported by the PPM writer.
bool write_normal_image_fixed(const Ptm& ptm, const char* path);
