// Names of the files that go with the loaded map, built from the name given
// on the command line.
#pragma once

#include <string>

// Where the file's own name starts: after the last '/' or '\\' (0 when
// there is none).
std::size_t file_name_start(const std::string& path);

// `path` without the extension of its file's own name: cut at the last '.'
// after the last path separator, or whole when that name has no '.'
// ("maps/stone.ptm" -> "maps/stone", "maps/v1.2/stone" -> "maps/v1.2/stone").
std::string cut_at_last_dot(const std::string& path);

// Whether the two names are one file: the same file system object when
// both exist, else the same text.
bool is_same_file(const char* a, const char* b);

// Whether the file `path` lies somewhere under the folder `folder`, both
// taken with every symbolic link and "." or ".." resolved (a folder that
// does not exist yet holds nothing).
bool is_inside_folder(const char* path, const char* folder);

// `path` cut at the first '.' of its file's own name (or whole):
// "../captures/stone.x.ptm" -> "../captures/stone".
std::string cut_at_first_dot(const std::string& path);
