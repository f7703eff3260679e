// Light-position files (".lp"): the list of source photographs of a map
// with the direction each was lit from.
//
//   72
//   image01.jpg 0.2051586 -0.2370206 0.9495952
//   ...
//
// The file is a sequence of words: the number of photographs, then for
// each a file name and the light direction x, y, z (x to the right, y
// upward, z toward the camera; not necessarily of unit length). Writers
// put one photograph on a line, but the words are what count: an entry
// split over two lines, or two entries on one line, read the same.
//
// Files made by capture tools and editors differ in small ways, all read
// here: Windows and old Mac line ends, a byte-order mark, blanks and blank
// lines anywhere, no line end at the end, a decimal comma ("0,5") as some
// locales write it, names with a folder (either slash) or with blanks in
// them (a name is one or more words on one line that are not numbers,
// blanks between them kept). A count that disagrees with the entries is
// reported: a larger one reads the entries present, a smaller one ignores
// the entries beyond it, as a reader that trusts the count would. What
// cannot be read as a list of photographs (no count, a negative count, a
// name without three finite numbers after it, a fourth number) is refused
// with a message naming the file and the line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct LightPosition {
  std::string name;  // as written in the file
  float x;           // the direction as written, not normalised
  float y;
  float z;
};

// Light-position files longer than this are refused unread: a million
// photographs would take about 60 MB of entries.
constexpr std::size_t max_light_position_file_bytes = std::size_t{64} << 20;

// Parses the text of a light-position file (`file_name` names it in
// messages, printed on standard output). Returns false, with `entries`
// empty, when the text cannot be read as a list of photographs.
bool parse_light_positions(std::string_view text, const char* file_name,
                           std::vector<LightPosition>& entries);

// Reads and parses the file at `path`. When it cannot be opened prints
// "Light position file %s not found\n" and returns false.
bool read_light_position_file(const char* path, std::vector<LightPosition>& entries);

// The light-position file of a map: its name up to the first '.' of the
// file's own name (or a line end), followed by ".lp": "object.ptm" ->
// "object.lp", "maps/v1.2/stone.ptm" -> "maps/v1.2/stone.lp".
std::string light_position_file_name(const std::string& base_name);
