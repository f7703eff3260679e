// What a file named as a map is, told by its content rather than its name:
// a PTM file, a picture of a known format, a folder, an empty file, or
// something else. A map given the wrong file then gets a sentence about
// that file ("photo.jpg is a JPEG picture, not a PTM map"), never the
// bytes it happens to begin with.
#pragma once

#include <string>

enum class FileKind {
  missing,     // nothing of that name
  unopenable,  // there, but it cannot be opened for reading (`error`)
  folder,
  empty,    // a regular file of no bytes
  ptm,      // its first header item begins as a PTM magic word does
  picture,  // an image file of a known format (`picture`)
  other,
};

struct FileIdentity {
  FileKind kind = FileKind::other;
  const char* picture = nullptr;  // the picture format's name ("JPEG", "PNG", ...)
  int error = 0;                  // errno, for missing and unopenable
};

// Looks at `path` (stat, then its first bytes). A folder is recognised
// without being read.
FileIdentity identify_file(const char* path);

// The sentence that says why `path` is not a map, naming it:
//   "photo.jpg is a JPEG picture, not a PTM map", "maps is a folder",
//   "empty.ptm is empty", "notes.txt is not a PTM map",
//   "x.ptm cannot be opened: Permission denied".
// For a PTM file (whose reader gives its own reason) it is
// "<path> is not a readable PTM map".
std::string not_a_map_message(const char* path, const FileIdentity& identity);
