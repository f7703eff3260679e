// The depth map as a textured triangle mesh in Caligari Truespace's ASCII
// object format (".cob", header "Caligari V00.01ALH"), so that the relief
// can be opened in a 3-D package with the photograph mapped onto it.
//
// Every fourth pixel in each direction is a vertex: pixel (x, y) lies at
// (2x / (W - 1), 2y / (H - 1), 1.27 - depth) with texture coordinate
// (x / (W - 1), y / (H - 1)); a map one pixel wide (or high) has 0 on that
// axis. Each cell of four vertices gives two triangles, unless the mask
// byte of its lower-left pixel is 0 (the mask's rows run opposite to the
// map's).
#pragma once

#include <cstdint>

// Writes the mesh of `depth` (W x H floats, map pixel order; `mask` may be
// null) to `path`, with `texture` as the image file of its material.
// Prints "Writing Truespace File" first. A file that cannot be opened
// prints "Can't open Truespace file %s for writing" on standard output; a
// depth value that is not a finite number is refused with a message; a
// failed write is reported and leaves no file. True when written.
bool write_cob_mesh(const float* depth, const std::uint8_t* mask, int width, int height,
                    const char* texture, const char* path);
