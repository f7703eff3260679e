#include "app/core/command_line.h"

#include <algorithm>
#include <cstring>

StartRequest start_request(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return StartRequest::help;
    if (std::strcmp(argv[i], "--version") == 0) return StartRequest::version;
  }
  return StartRequest::open_map;
}

void print_usage_line(std::FILE* out, const char* program) {
  std::fprintf(out, "Usage: %s [-d | -s] base_filename\n", program);
}

void print_usage(std::FILE* out, const char* program) {
  print_usage_line(out, program);
  std::fputs(
      "Shows a polynomial texture map in a window and relights it. The name is a PTM\n"
      "file, or the base of six coefficient images base0.ppm .. base5.ppm with the\n"
      "scale-and-bias file base.sab beside them.\n"
      "\n"
      "  -d          a double-buffered window\n"
      "  -s          a single-buffered window (without either, the renderer decides)\n"
      "  --help      this text\n"
      "  --version   the program's version\n"
      "\n"
      "Messages go to the console the viewer was started from, which also asks\n"
      "for the names of the files it writes.\n",
      out);
}

const char* unknown_option(int argc, char** argv) {
  const char* option = nullptr;
  if (argc > 1 && argv[1][0] == '-') {
    option = argv[1];
  } else if (argc > 2) {
    option = argv[2];
  }
  if (option == nullptr) return nullptr;
  const std::size_t letters = std::strlen(option + 1);
  const bool known = option[0] == '-' && letters > 0 && std::strspn(option + 1, "ds") == letters;
  return known ? nullptr : option;
}

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

std::string main_window_title(const std::string& name) {
  if (name.empty()) return "Relumo";
  return name.substr(derive_base_dir(name).size()) + " - Relumo";
}

WindowSize initial_window_size(int view_width, int view_height, int screen_width,
                               int screen_height) {
  WindowSize size{view_width + 300, std::max(view_height, 450)};
  size.width = std::min(size.width, screen_width - 8);
  size.height = std::min(size.height, screen_height - 25);
  return size;
}
