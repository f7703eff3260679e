// ICC profiles for the colour-profile tests and fuzz corpus, made with
// LittleCMS from published definitions, and their embedding in a JPEG's
// APP2 markers.
#pragma once

#include <string>
#include <vector>

// Adobe RGB (1998): primaries red (0.64, 0.33), green (0.21, 0.71), blue
// (0.15, 0.06), white D65 (0.3127, 0.3290), a pure power law of 563/256
// (Adobe RGB (1998) Color Image Encoding, 4.3).
std::string adobe_rgb_profile_bytes();

// A grey profile (D65 white, gamma 2.2): a valid profile of the wrong kind
// for RGB photographs.
std::string grey_profile_bytes();

// `profile` split into `parts` APP2 payloads ("ICC_PROFILE\0", sequence
// number from 1, number of parts, the part), in sequence order.
std::vector<std::string> icc_app2_payloads(const std::string& profile, int parts);
