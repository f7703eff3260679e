#include "app/core/command_line.h"

#include <algorithm>

bool parse_command_line(int argc, char** argv, std::string& file_name) {
  const int arguments = argc - 1;
  if (arguments != 1 && arguments != 2) return false;
  // A first argument beginning with '-' is the option, so the name follows
  // it; a name beginning with '-' therefore cannot come first.
  if (argv[1][0] == '-') {
    if (arguments != 2) return false;
    file_name = argv[2];
  } else {
    file_name = argv[1];
  }
  return true;
}

std::string derive_base_dir(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::size_t backslash = name.rfind('\\');
  std::size_t separator = std::string::npos;
  if (slash != std::string::npos && (backslash == std::string::npos || slash > backslash)) {
    separator = slash;
  } else if (backslash != std::string::npos) {
    separator = backslash;
  } else {
    separator = name.rfind(':');
  }
  return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

WindowSize initial_window_size(int view_width, int view_height, int screen_width,
                               int screen_height) {
  WindowSize size{view_width + 300, std::max(view_height, 450)};
  size.width = std::min(size.width, screen_width - 8);
  size.height = std::min(size.height, screen_height - 25);
  return size;
}
