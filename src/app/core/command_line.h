// The command line: [-d | -s] base_filename, the option before or after the
// name; and what start-up derives from it.
#pragma once

#include <string>

// The file name, or false when the arguments do not follow the usage (the
// caller prints the usage message). argv[0] is the program name.
bool parse_command_line(int argc, char** argv, std::string& file_name);

// The prefix of `name` up to and including its last path separator: the
// last slash unless a backslash comes after it; a colon only when the name
// has neither. Empty when there is no separator.
std::string derive_base_dir(const std::string& name);

struct WindowSize {
  int width;
  int height;
};

// Room for the view plus the 300-pixel panel on the right, at least 450
// pixels high, kept inside the screen (less its borders).
WindowSize initial_window_size(int view_width, int view_height, int screen_width,
                               int screen_height);
