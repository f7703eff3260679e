// The camera of the depth reconstruction: a small text file beside the map
// that gives the focal length, the physical size of the image plane, the
// depth range and the distance of the image centre.
//
//   focal length 50
//   image width 36,
//   image height 24,
//   estimated depth 10
//   initial distance 600
//
// Each line is one scan: its keywords literally (any white space, or none,
// before, between and after them), then a number. The commas after the
// width and the height may be left out.
#pragma once

#include <string>

struct CameraParameters {
  float focal_length;  // same unit as the image plane's size
  float image_width;   // physical width and height of the image plane
  float image_height;
  float estimated_depth;   // depth range the result is divided by
  float initial_distance;  // depth of the centre pixel
};

// The camera file of a map: its name as given on the command line with the
// last three characters replaced by "cam" ("maps/object.ptm" ->
// "maps/object.cam"), so that it lies beside the map. False for a name of
// fewer than three characters.
bool camera_file_name(const std::string& map_name, std::string& camera_name);

// Reads the five values of the camera file at `path`. A file that cannot
// be opened prints "Unable to open %s camera file, aborting depth
// calculation" on standard error; a keyword or number that is missing, a
// number out of single precision's range, or an estimated depth of 0 (the
// depth range every value is divided by) prints what is wrong with which
// value, also on standard error. False in every such case, and `camera`
// is then not to be used.
bool read_camera_file(const char* path, CameraParameters& camera);
