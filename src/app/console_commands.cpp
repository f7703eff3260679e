#include "app/console_commands.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/core/console.h"
#include "app/core/help_text.h"
#include "app/core/open_inputs.h"
#include "app/core/viewer_state.h"

void run_console_command(void (*routine)()) {
  glutSetWindow(viewer.main_window);
  glutHideWindow();
  glutIdleFunc(routine);
}

void finish_console_command() {
  glutSetWindow(viewer.main_window);
  glutShowWindow();
  glutIdleFunc(nullptr);
}

bool ask_output_path(const char* prompt, std::size_t longest_name, std::string& path) {
  std::fputs(prompt, stdout);
  std::string word;
  if (!read_output_name(word, longest_name)) return false;
  path = output_path(viewer.base_dir, word);
  return output_spares_open_inputs(path, viewer.base_name, viewer.source_images_loaded != 0);
}

void show_help() {
  print_help_text();
  wait_for_key_press();
  finish_console_command();
}

void show_about() {
  print_about_text();
  wait_for_key_press();
  finish_console_command();
}
