#include "tool/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/parallel.h"
#include "tool/progress_bar.h"
#include "tool/tool_io.h"

namespace {

// More threads than any machine has cores only costs memory.
constexpr int max_threads = 4096;

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

// The items of a comma-separated list; an empty item stays in the list so
// that "0.4," is refused rather than read as one number.
std::vector<std::string> split_commas(const char* text) {
  std::vector<std::string> items(1);
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == ',') {
      items.emplace_back();
    } else {
      items.back() += *c;
    }
  }
  return items;
}

// Decimal number text: digits, sign, point and exponent only, so that
// strtod's "nan", "inf" and hexadecimal forms and leading white space are
// refused before it sees them.
bool is_decimal_text(const char* text) {
  if (*text == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (std::strchr("0123456789+-.eE", *c) == nullptr) return false;
  }
  return true;
}

}  // namespace

ArgumentList::ArgumentList(int argc, char* const* argv, int first)
    : argc_(argc), argv_(argv), next_(first), threads_(available_cores()) {}

bool ArgumentList::done() {
  if (!options_ended_ && next_ < argc_ && std::strcmp(argv_[next_], "--") == 0) {
    options_ended_ = true;
    ++next_;
  }
  return next_ >= argc_;
}

const char* ArgumentList::next() {
  if (done()) throw UsageError("an argument is missing");
  last_ = argv_[next_++];
  last_is_option_ = !options_ended_ && last_[0] == '-' && last_[1] != '\0';
  return last_;
}

const char* ArgumentList::value() {
  if (next_ >= argc_) throw UsageError(std::string("option ") + last_ + " needs a value");
  return argv_[next_++];
}

bool ArgumentList::common_option(const char* option) {
  if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
    throw HelpRequested{};
  }
  if (std::strcmp(option, "--quiet") == 0 || std::strcmp(option, "-q") == 0) {
    set_progress_bar_enabled(false);
    set_core_commentary_shown(false);
    return true;
  }
  if (std::strcmp(option, "--threads") == 0) {
    threads_ = static_cast<int>(parse_integer(value(), 1, max_threads, "--threads"));
    return true;
  }
  return false;
}

void ArgumentList::unknown_option() const {
  throw UsageError(std::string("unknown option ") + last_);
}

double parse_number(const char* text, const char* what) {
  const bool plain = is_decimal_text(text);
  char* end = nullptr;
  errno = 0;
  const double value = plain ? std::strtod(text, &end) : 0.0;
  if (!plain || end == text || *end != '\0') {
    throw UsageError(std::string(what) + " " + quoted(text) + " is not a number");
  }
  if (!std::isfinite(value) || errno == ERANGE) {
    if (std::isfinite(value) && std::fabs(value) < 1.0) return value;  // underflow to 0 or a subnormal
    throw UsageError(std::string(what) + " " + quoted(text) + " is not a finite number");
  }
  return value;
}

std::int64_t parse_integer(const char* text, std::int64_t lo, std::int64_t hi, const char* what) {
  const bool plain = is_decimal_text(text);
  char* end = nullptr;
  errno = 0;
  const long long value = plain ? std::strtoll(text, &end, 10) : 0;
  if (!plain || end == text || *end != '\0' || errno == ERANGE) {
    throw UsageError(std::string(what) + " " + quoted(text) + " is not a whole number");
  }
  if (value < lo || value > hi) {
    throw UsageError(std::string(what) + " " + quoted(text) + " is not within " +
                     std::to_string(lo) + ".." + std::to_string(hi));
  }
  return value;
}

std::vector<double> parse_number_list(const char* text, int min_count, int max_count,
                                      const char* what) {
  const std::vector<std::string> items = split_commas(text);
  const int count = static_cast<int>(items.size());
  if (count < min_count || count > max_count) {
    const std::string expected = min_count == max_count
                                     ? std::to_string(min_count)
                                     : std::to_string(min_count) + " to " + std::to_string(max_count);
    throw UsageError(std::string(what) + " " + quoted(text) + " needs " + expected +
                     " comma-separated numbers");
  }
  std::vector<double> values;
  for (const std::string& item : items) {
    if (item.empty()) {
      throw UsageError(std::string(what) + " " + quoted(text) + " has an empty item");
    }
    values.push_back(parse_number(item.c_str(), what));
  }
  return values;
}

std::vector<std::int64_t> parse_integer_list(const char* text, int count, std::int64_t lo,
                                             std::int64_t hi, const char* what) {
  const std::vector<std::string> items = split_commas(text);
  if (static_cast<int>(items.size()) != count) {
    throw UsageError(std::string(what) + " " + quoted(text) + " needs " + std::to_string(count) +
                     " comma-separated whole numbers");
  }
  std::vector<std::int64_t> values;
  for (const std::string& item : items) {
    if (item.empty()) {
      throw UsageError(std::string(what) + " " + quoted(text) + " has an empty item");
    }
    values.push_back(parse_integer(item.c_str(), lo, hi, what));
  }
  return values;
}

PictureSize parse_picture_size(const char* text, int max_side, const char* what) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) x = std::strchr(text, 'X');
  if (x == nullptr) {
    throw UsageError(std::string(what) + " " + quoted(text) + " is not WIDTHxHEIGHT");
  }
  const std::string width(text, x);
  const std::string height(x + 1);
  return {static_cast<int>(parse_integer(width.c_str(), 1, max_side, what)),
          static_cast<int>(parse_integer(height.c_str(), 1, max_side, what))};
}

int parse_choice(const char* word, const std::vector<const char*>& choices, const char* what) {
  std::string list;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (std::strcmp(word, choices[i]) == 0) return static_cast<int>(i);
    list += (i == 0 ? "" : ", ") + std::string(choices[i]);
  }
  throw UsageError(std::string(what) + " " + quoted(word) + " is not one of " + list);
}

std::string file_extension(const char* path) {
  const char* name = std::strrchr(path, '/');
  name = name == nullptr ? path : name + 1;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr || dot == name) return "";
  std::string extension(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}
