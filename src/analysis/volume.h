// The source photographs stacked into a colour volume for volume viewers:
// x and y are the image axes, z the photograph's place in the
// light-position file. Three raw 8-bit channel files and a text
// descriptor.
#pragma once

#include <string>

#include "analysis/source_images.h"

struct VolumePaths {
  std::string red;         // "<base>.r.vox"
  std::string green;       // "<base>.g.vox"
  std::string blue;        // "<base>.b.vox"
  std::string descriptor;  // "<base>.des"
};

// The names beside the map: `base_name` cut at the last '.' of its file's
// own name (whole when it has none), then ".r.vox", ".g.vox", ".b.vox" and
// ".des": "object.ptm" -> "object.r.vox", ...
VolumePaths volume_paths(const std::string& base_name);

// The descriptor: "xsize", "ysize" and "zsize" with the given numbers,
// then the scales 1, 1, 5 and the coarseness 1, 1, 1, nine lines. When the
// file cannot be made prints "Unable to open descriptor file %s for
// writing\n"; a failed write is reported (report_write_failure) and leaves
// no file. Returns whether the file was written.
bool write_volume_descriptor(const char* path, int width, int height, int depth);

// Writes the descriptor (the first photograph's size, the number of
// photographs) and the channel files: for each photograph in order, its
// rows in stored order (bottom row first), each pixel's red byte in
// `red`, green in `green`, blue in `blue`, no header. A file that cannot
// be made or written is reported and skipped; the others are still
// written. Prints "Writing voxel files, please wait." and, when all four
// were written, "\nColor volume file written\n"; otherwise a line saying
// the volume is incomplete. An empty set writes nothing and says so.
// Returns whether all four files were written.
bool write_volume(const SourceImageSet& set, const VolumePaths& paths);
