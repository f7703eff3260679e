// The arguments of one relumo-tool subcommand, and the parsing of their
// values.
//
// Conventions every subcommand follows:
//   - an option's value is the next argument, whatever it begins with, so
//     "-o -x.png" names the file "-x.png" and "--light -0.5,0" a light;
//   - "--" ends the options: everything after it is an operand;
//   - numbers are parsed whole (no trailing text, no empty list item) and
//     must be finite: "0.4,", "nan" and "1e999" are refused.
// A refused argument is a usage error: UsageError, exit status 2.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A usage error: the message names the argument that was refused.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "--help" among the options: the subcommand's usage goes to standard
// output and the program ends with status 0.
struct HelpRequested {};

class ArgumentList {
 public:
  // The subcommand's arguments: argv[first] .. argv[argc - 1].
  ArgumentList(int argc, char* const* argv, int first);

  // Whether every argument has been taken ("--" is taken here, once).
  bool done();

  // The next argument (a usage error when there is none). After "--"
  // every argument is an operand: is_option() is false for it.
  const char* next();

  // Whether the argument next() returned last is an option ("-x" or
  // "--xyz", before "--"); "-" alone is an operand (standard input).
  bool is_option() const { return last_is_option_; }

  // The value of the option next() returned last: the argument after it.
  // A usage error when there is none.
  const char* value();

  // Handles the options every subcommand takes: "--help" throws
  // HelpRequested, "--quiet" turns the progress bar and the core's
  // commentary off, "--threads N"
  // sets threads(). True when `option` was one of them.
  bool common_option(const char* option);

  // The threads a command may use: "--threads N" (1 or more), else every
  // core the process may run on.
  int threads() const { return threads_; }

  // The usage error for the option next() returned last, when no
  // subcommand option matched it.
  [[noreturn]] void unknown_option() const;

 private:
  int argc_;
  char* const* argv_;
  int next_;
  bool options_ended_ = false;
  bool last_is_option_ = false;
  const char* last_ = nullptr;
  int threads_;
};

// `text` as a finite double, whole; `what` names it in the usage error
// ("--kd value \"x\" is not a number").
double parse_number(const char* text, const char* what);

// `text` as a decimal integer within lo..hi, whole.
std::int64_t parse_integer(const char* text, std::int64_t lo, std::int64_t hi, const char* what);

// A comma-separated list of min_count .. max_count finite numbers
// ("0.5,-0.25,2"); every item must be a whole number text.
std::vector<double> parse_number_list(const char* text, int min_count, int max_count,
                                      const char* what);

// A comma-separated list of exactly `count` integers within lo..hi.
std::vector<std::int64_t> parse_integer_list(const char* text, int count, std::int64_t lo,
                                             std::int64_t hi, const char* what);

// "WxH" with W and H in 1..max_side.
struct PictureSize {
  int width;
  int height;
};
PictureSize parse_picture_size(const char* text, int max_side, const char* what);

// `word` as one of `choices` (its index); a usage error listing them
// otherwise.
int parse_choice(const char* word, const std::vector<const char*>& choices, const char* what);

// The extension of the file name in `path` ("png" of "out/a.png"),
// lower-cased; empty when the name has none.
std::string file_extension(const char* path);
