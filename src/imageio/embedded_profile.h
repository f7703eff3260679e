// The ICC colour profile a photograph's file carries, found in the file's
// bytes before (or without) decoding its pixels: a JPEG's APP2
// "ICC_PROFILE" markers and a PNG's iCCP chunk. (A TIFF's profile is a tag
// that libtiff hands over, tiff_photograph.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class EmbeddedProfile {
  none,     // the file carries no profile
  found,    // `profile` holds its bytes
  damaged,  // the file carries one that cannot be taken out; `problem` says why
};

// No profile larger than this is taken out. A JPEG cannot carry more
// (255 markers of 65519 bytes); camera and editor profiles are a few
// kilobytes, the largest printer profiles a few megabytes.
constexpr std::size_t max_icc_profile_bytes = 255 * 65519;

// A JPEG stream's profile: the payloads of its APP2 markers that begin
// with "ICC_PROFILE\0", a sequence number and the number of markers
// (ICC.1:2010, Annex B.4), joined in sequence order (which need not be the
// order of the markers). Markers are looked for up to the first scan.
EmbeddedProfile find_jpeg_icc_profile(const std::uint8_t* data, std::size_t size,
                                      std::vector<std::uint8_t>& profile, std::string& problem);

// A PNG file's profile: its iCCP chunk (PNG, ISO/IEC 15948, 11.3.3.3), a
// profile name, compression method 0 and the profile as a zlib stream.
// Chunks are looked for up to the first IDAT.
EmbeddedProfile find_png_icc_profile(const std::uint8_t* data, std::size_t size,
                                     std::vector<std::uint8_t>& profile, std::string& problem);
