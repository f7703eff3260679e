#include "analysis/light_positions.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/file_names.h"
#include "common/whole_file.h"

namespace {

// Blanks within a line; '\r' belongs here so that Windows line ends (and
// a stray carriage return anywhere) read as white space.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// The file's lines one at a time, numbered from 1, without their '\n'.
struct LineReader {
  std::string_view rest;
  int number = 0;

  bool next(std::string_view& line) {
    if (rest.empty()) return false;
    const std::size_t end = rest.find('\n');
    line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    ++number;
    return true;
  }

  // The next line that holds more than blanks, trimmed.
  bool next_non_blank(std::string_view& line) {
    while (next(line)) {
      line = trim(line);
      if (!line.empty()) return true;
    }
    return false;
  }
};

// A whole token as a number the way "%d" / "%f" would read it, but
// refusing trailing characters (a zero byte included), overflow and (for
// directions) non-finite values.
bool parse_int(std::string_view token, long long& value) {
  const std::string text(token);
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && end == text.c_str() + text.size() && errno != ERANGE;
}

bool parse_float(std::string_view token, float& value) {
  const std::string text(token);
  char* end = nullptr;
  value = std::strtof(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

// Removes the last blank-separated token of `line` into `token`.
bool take_last_token(std::string_view& line, std::string_view& token) {
  line = trim(line);
  if (line.empty()) return false;
  std::size_t start = line.size();
  while (start > 0 && !is_blank(line[start - 1])) --start;
  token = line.substr(start);
  line = trim(line.substr(0, start));
  return true;
}

// "name x y z": the three numbers are the last three tokens and the name
// is the rest of the line, blanks inside it kept.
bool parse_entry(std::string_view line, LightPosition& entry) {
  float xyz[3];
  for (int k = 2; k >= 0; --k) {
    std::string_view token;
    if (!take_last_token(line, token) || !parse_float(token, xyz[k])) return false;
  }
  if (line.empty()) return false;
  entry.name = std::string(line);
  entry.x = xyz[0];
  entry.y = xyz[1];
  entry.z = xyz[2];
  return true;
}

}  // namespace

bool parse_light_positions(std::string_view text, const char* file_name,
                           std::vector<LightPosition>& entries) {
  entries.clear();
  // A UTF-8 byte-order mark, as some Windows editors write.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  LineReader lines{text};
  std::string_view line;
  long long count = 0;
  if (!lines.next_non_blank(line) || !parse_int(line, count)) {
    std::printf("Light position file %s does not begin with the number of images\n", file_name);
    return false;
  }
  if (count < 0) {
    std::printf("Light position file %s gives a negative number of images (%lld)\n", file_name,
                count);
    return false;
  }
  // The count only bounds the loop: nothing is allocated for it, so an
  // absurd count costs nothing beyond the entries actually present.
  while (static_cast<long long>(entries.size()) < count && lines.next_non_blank(line)) {
    LightPosition entry;
    if (!parse_entry(line, entry)) {
      std::printf(
          "Light position file %s, line %d: expected an image file name and the three numbers "
          "of its light direction\n",
          file_name, lines.number);
      entries.clear();
      return false;
    }
    entries.push_back(std::move(entry));
  }
  const long long listed = static_cast<long long>(entries.size());
  if (listed < count) {
    std::printf("Light position file %s announces %lld images but lists %lld; reading those\n",
                file_name, count, listed);
  } else {
    int ignored = 0;
    while (lines.next_non_blank(line)) ++ignored;
    if (ignored > 0) {
      std::printf(
          "Light position file %s announces %lld images; the %d lines after them are ignored\n",
          file_name, count, ignored);
    }
  }
  return true;
}

bool read_light_position_file(const char* path, std::vector<LightPosition>& entries) {
  entries.clear();
  std::string text;
  switch (read_whole_file(path, max_light_position_file_bytes, text)) {
    case WholeFile::read:
      return parse_light_positions(text, path, entries);
    case WholeFile::cannot_open:
      std::printf("Light position file %s not found\n", path);
      return false;
    case WholeFile::too_large:
      std::printf("Light position file %s is larger than %zu bytes; not read\n", path,
                  max_light_position_file_bytes);
      return false;
    case WholeFile::read_error:
      break;
  }
  std::printf("Light position file %s could not be read\n", path);
  return false;
}

std::string light_position_file_name(const std::string& base_name) {
  return cut_at_first_dot(base_name.substr(0, base_name.find('\n'))) + ".lp";
}
