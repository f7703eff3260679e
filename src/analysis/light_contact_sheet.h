// The contact sheet of a capture's lights, the picture to judge a capture
// by: every photograph's view of its spheres, with the circle used, the
// light's highlight ringed and numbered and the other spots marked, and a
// polar plot of all the directions found (azimuth around, the top of the
// picture up; elevation 90 degrees at the centre, 0 on the rim), each
// with its photograph's number.
#pragma once

#include "analysis/capture_lights.h"
#include "common/rgb_image.h"

// The thumbnails' size find_capture_lights should keep for the sheet.
constexpr int contact_sheet_thumbnail = 120;

// The sheet of `lights` (found with thumbnails of contact_sheet_thumbnail
// pixels), bottom-up. Null after a message when no font is at hand.
RgbImage* make_light_contact_sheet(const CaptureLights& lights);

// Makes the sheet and writes it as a PNG (the whole file or nothing).
// False after a message naming the file.
bool write_light_contact_sheet(const CaptureLights& lights, const char* path);
