// The photographs of a capture, in whichever of the formats cameras,
// scanners and converters write them the file holds: JPEG (libjpeg), PNG
// (libpng), PPM or PGM, and TIFF (libtiff). The format is recognised by
// the file's first bytes, not its name, so "IMG_0001.JPG", "shot.jpeg"
// and a PNG saved under a ".jpg" name all read. The fitter, the viewer's
// source images and the light finder read photographs only through here.
//
// Every photograph's size is read from its header and checked before any
// pixel is decoded or allocated for: against the size the caller expects,
// and against max_photograph_pixels, so that a few hundred bytes claiming
// 26000 x 26000 pixels cost nothing.
//
// A photograph carrying an ICC colour profile (a JPEG's APP2 markers, a
// PNG's iCCP chunk, a TIFF's profile tag) is converted to sRGB, perceptual
// intent, at its own precision (colour_profile.h); one without is taken as
// sRGB. A profile that is damaged or not an RGB one is reported on
// standard error with the photograph's name, and the photograph is taken
// as sRGB.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imageio/photograph.h"

// The largest photograph read: 2^28 pixels (16384 x 16384, beyond any
// camera), 1.5 GB at 16 bits.
constexpr std::uint64_t max_photograph_pixels = std::uint64_t{1} << 28;

struct PhotographRequest {
  // The size the photograph must have (both 0: any size up to
  // max_photograph_pixels).
  int width = 0;
  int height = 0;
  // The samples as the file stores them, no profile applied (a mask).
  bool as_stored = false;
  // Whether an unusable profile is reported; off for a second reading of
  // a photograph whose profile was reported the first time.
  bool report_profile_problems = true;
};

enum class PhotographRead {
  read,        // the photograph is in `photograph`
  other_size,  // its header gives another size than the request's, which
               // photograph.width and .height hold; nothing was decoded
               // or printed
  unreadable,  // a message naming the file was printed on standard output
               // (libpng's reason on standard error)
};

// What a photograph's header says, read before any pixel is decoded.
struct PhotographHeader {
  int width = 0;
  int height = 0;
  int bits = 8;  // a decoded sample: 8 or 16
  // The memory reading it takes: its samples, and for every format but
  // TIFF (which libtiff reads a strip or tile at a time) the whole file,
  // held while it is decoded.
  std::uint64_t reading_bytes = 0;
};

// The photograph's header, so that a set of photographs can be checked to
// share one size, and what reading them will cost be known, before any
// pixel is decoded. The file is opened once (libtiff opens a TIFF again);
// a JPEG's size comes from its first bytes unless megabytes of Exif data
// come first. False after a message naming the file on standard output
// when it cannot be opened, is not a JPEG, PNG, PPM, PGM or TIFF picture,
// its header is damaged or it is larger than max_photograph_pixels.
bool read_photograph_header(const char* path, PhotographHeader& header);

// Reads the photograph at `path` into `photograph` (emptied first),
// opening the file once (libtiff opens a TIFF again).
PhotographRead read_photograph(const char* path, const PhotographRequest& request,
                               Photograph& photograph);

// The same from the `size` bytes at `data`, a whole file in memory;
// `name` names it in messages.
PhotographRead decode_photograph(const std::uint8_t* data, std::size_t size, const char* name,
                                 const PhotographRequest& request, Photograph& photograph);

// Says once, on standard error, that photographs are being converted from
// their colour profiles: the first time it is given a converted
// photograph while `told` is false, it names it and its profile and sets
// `told`.
void tell_colour_conversion(const Photograph& photograph, const char* name, bool& told);
