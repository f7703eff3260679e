// The command line: [-d | -s] base_filename, the option before or after the
// name, or --help or --version alone; and what start-up derives from it.
#pragma once

#include <cstdio>
#include <string>

enum class StartRequest { open_map, help, version };

// --help or --version anywhere on the command line (the first of them
// decides) asks for the usage or the version instead of a map. Looked at
// before the window system is touched, so that neither needs a display.
StartRequest start_request(int argc, char** argv);

// The usage line, "Usage: <program> [-d | -s] base_filename\n".
void print_usage_line(std::FILE* out, const char* program);

// The usage line and what the name and each option mean, for --help.
void print_usage(std::FILE* out, const char* program);

// The argument in the option's place (the first argument when it begins
// with '-', else the second) when it is not a known option, or null. The
// known options are '-' followed by one or more of the letters d and s
// ("-d", "-s", and "-ds", where d wins).
const char* unknown_option(int argc, char** argv);

// The file name, or false when the arguments do not follow the usage (the
// caller prints the usage message). argv[0] is the program name.
bool parse_command_line(int argc, char** argv, std::string& file_name);

// The prefix of `name` up to and including its last path separator: the
// last slash unless a backslash comes after it; a colon only when the name
// has neither. Empty when there is no separator.
std::string derive_base_dir(const std::string& name);

// The main window's title: the map's file name without its folders (as
// derive_base_dir finds them), " - Relumo"; "Relumo" alone without a name.
std::string main_window_title(const std::string& name);

struct WindowSize {
  int width;
  int height;
};

// Room for the view plus the 300-pixel panel on the right, at least 450
// pixels high, kept inside the screen (less its borders).
WindowSize initial_window_size(int view_width, int view_height, int screen_width,
                               int screen_height);
