#include "analysis/light_positions.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/file_names.h"
#include "common/whole_file.h"

namespace {

// White space between words. A line ends at "\n", "\r\n" or a lone "\r"
// (files saved on old Macs), which only matters for the line numbers of
// messages: words are read across line ends.
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct Word {
  std::string_view text;
  int line = 0;
};

// The file's words one at a time, each with the number (from 1) of the
// line it is on.
struct WordReader {
  std::string_view rest;
  int line = 1;

  bool next(Word& word) {
    while (!rest.empty() && is_space(rest.front())) {
      const char c = rest.front();
      rest.remove_prefix(1);
      // "\r\n" is one line end: its '\r' waits for the '\n'.
      if (c == '\n' || (c == '\r' && (rest.empty() || rest.front() != '\n'))) ++line;
    }
    if (rest.empty()) return false;
    std::size_t end = 0;
    while (end < rest.size() && !is_space(rest[end])) ++end;
    word = {rest.substr(0, end), line};
    rest.remove_prefix(end);
    return true;
  }

  // The next word without taking it.
  bool peek(Word& word) const {
    WordReader copy = *this;
    return copy.next(word);
  }
};

// A whole word as a number the way "%d" would read it, but refusing
// trailing characters (a zero byte included) and overflow.
bool parse_int(std::string_view word, long long& value) {
  const std::string text(word);
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && end == text.c_str() + text.size() && errno != ERANGE;
}

// A whole word as "%f" would read it. Capture software in locales that
// write a decimal comma gives "0,5": one comma in a word without a point
// is read as the point.
bool parse_number(std::string_view word, float& value) {
  std::string text(word);
  const std::size_t comma = text.find(',');
  if (comma != std::string::npos && text.find(',', comma + 1) == std::string::npos &&
      text.find('.') == std::string::npos) {
    text[comma] = '.';
  }
  char* end = nullptr;
  value = std::strtof(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size();
}

bool is_number(std::string_view word) {
  float ignored;
  return parse_number(word, ignored);
}

void report_entry(const char* file_name, int line) {
  std::printf(
      "Light position file %s, line %d: expected an image file name and the three numbers of "
      "its light direction\n",
      file_name, line);
}

// One entry: a name of one or more words on one line that are not numbers
// (so "my photo 1.jpg" keeps its blanks), then exactly three finite
// numbers, wherever the line ends fall. The word after them must not be a
// number: a fourth column is refused rather than read into the next name.
bool read_entry(WordReader& words, std::string_view text, const char* file_name,
                LightPosition& entry) {
  Word word;
  words.next(word);
  const int line = word.line;
  if (is_number(word.text)) {
    report_entry(file_name, line);
    return false;
  }
  // The name is the text from its first word to its last, blanks kept.
  const char* name_start = word.text.data();
  const char* name_end = word.text.data() + word.text.size();
  Word following;
  while (words.peek(following) && following.line == line && !is_number(following.text)) {
    words.next(word);
    name_end = word.text.data() + word.text.size();
  }
  float xyz[3];
  for (float& value : xyz) {
    if (!words.peek(following) || !parse_number(following.text, value) ||
        !std::isfinite(value)) {
      report_entry(file_name, line);
      return false;
    }
    words.next(word);
  }
  if (words.peek(following) && is_number(following.text)) {
    std::printf(
        "Light position file %s, line %d: a fourth number (%.*s) after the light direction of "
        "%.*s\n",
        file_name, following.line, static_cast<int>(following.text.size()),
        following.text.data(), static_cast<int>(name_end - name_start), name_start);
    return false;
  }
  entry.name = std::string(text.substr(name_start - text.data(), name_end - name_start));
  entry.x = xyz[0];
  entry.y = xyz[1];
  entry.z = xyz[2];
  return true;
}

// The lines holding words from the reader's position on.
int lines_with_words(WordReader words) {
  int lines = 0;
  int last_line = 0;
  Word word;
  while (words.next(word)) {
    if (word.line != last_line) ++lines;
    last_line = word.line;
  }
  return lines;
}

}  // namespace

bool parse_light_positions(std::string_view text, const char* file_name,
                           std::vector<LightPosition>& entries) {
  entries.clear();
  // A UTF-8 byte-order mark, as some Windows editors write.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  WordReader words{text};
  Word word;
  long long count = 0;
  if (!words.next(word) || !parse_int(word.text, count)) {
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
  while (static_cast<long long>(entries.size()) < count && words.peek(word)) {
    LightPosition entry;
    if (!read_entry(words, text, file_name, entry)) {
      entries.clear();
      return false;
    }
    entries.push_back(std::move(entry));
  }
  const long long listed = static_cast<long long>(entries.size());
  if (listed < count) {
    std::printf("Light position file %s announces %lld images but lists %lld; reading those\n",
                file_name, count, listed);
  } else if (const int ignored = lines_with_words(words); ignored > 0) {
    std::printf(
        "Light position file %s announces %lld images; the %d lines after them are ignored\n",
        file_name, count, ignored);
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
