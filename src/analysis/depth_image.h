// The depth map as a grey picture: near is bright, far is dark.
#pragma once

// Writes `depth` (W x H floats, map pixel order) as a binary PPM through
// the grey writer: each value d becomes trunc(255 - (d - min) 255 / (max -
// min)) over the map's range (in double), and map row y becomes picture
// row height - 1 - y (the file's top row is the map's last). A map of one
// depth (max = min) is mid grey, 128; a value that is not a finite number
// is left out of the range and written as 0. True when written; failures
// are reported by the PPM writer.
bool write_depth_image(const float* depth, int width, int height, const char* path);
