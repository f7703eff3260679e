// Photographs converted from the colour space of their embedded ICC
// profile to sRGB, through LittleCMS. Cameras set to Adobe RGB write
// samples that mean more saturated colours than the same numbers in sRGB;
// taken as sRGB they look washed out, and so would a map fitted to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/photograph.h"

// Converts the samples of `photograph` in place, at their precision (8 or
// 16 bits), from the RGB space `profile` describes to sRGB with the
// perceptual rendering intent, and sets photograph.profile to the
// profile's description. False, with the samples untouched and `problem`
// saying why, when the bytes are not a profile LittleCMS can read, the
// profile is not an RGB one (grey, CMYK, ...) or no transform to sRGB can
// be made from it.
bool convert_to_srgb(const std::uint8_t* profile, std::size_t size, Photograph& photograph,
                     std::string& problem);
