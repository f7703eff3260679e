// The source photographs of a map: the pictures it was fitted from, each
// with the direction of the light it was taken under, for comparing the
// model with what the camera saw.
#pragma once

#include <string>

#include "common/rgb_image.h"

struct SourceImage {
  RgbImage* image;  // at the map's size, rows bottom-up
  float lu;         // x and y of the light direction normalised to unit
  float lv;         // length (z is not kept)
};

// A loaded set, in the order of the light-position file.
struct SourceImageSet {
  SourceImage* images = nullptr;  // `count` records
  int count = 0;
};

// Releases every image of the set and empties it.
void free_source_images(SourceImageSet& set);

// Loads the photographs listed in the light-position file at `lp_path`,
// each of which must be `width` x `height` pixels. Prints "%d images to
// read", a dot for each photograph read and "done\n" on standard output.
// A photograph's name is looked up in the light-position file's folder
// first, then as written (relative to the working directory); a name
// written with backslashes is tried with slashes as well. Photographs are
// read by photograph_file.h, whatever their names: JPEG, PNG, PPM, PGM or
// TIFF, converted to sRGB from their colour profiles (said once on
// standard error), 16-bit samples rounded to 8. A photograph's size is
// checked against width x height from its header, before it is decoded.
//
// Returns true with `set` holding every photograph (none for a count of
// 0), or false after the message of the problem, with every photograph
// read so far released and `set` empty: the next request starts again
// from the file. `set` must be empty on entry.
bool read_source_images(const char* lp_path, int width, int height, SourceImageSet& set);

// Where the photograph `name` of the light-position file at `lp_path` is:
// the first of these that can be read, else `name` itself (whose reader
// then reports it): the name in the light-position file's folder, the name
// as written, and the same two with backslashes turned into slashes (a
// file written on Windows).
std::string locate_source_photograph(const char* lp_path, const std::string& name);

// Scales a light-position file's direction to unit length; a zero vector
// is kept as it is, after "Caution, length zero vector found in lp file:
// %f %f %f\n" on standard output.
void normalise_light_direction(float& x, float& y, float& z);

// The photograph taken nearest to the light direction (lu, lv): the index
// of the smallest squared distance (lv_i - lv)^2 + (lu_i - lu)^2, the first
// of equals, or -1 when even that is 0.01 or more (no photograph within
// 0.1). With `announce`, a found index is printed as "Source image %d
// displayed\n".
int select_source_image(const SourceImageSet& set, float lu, float lv, bool announce);
