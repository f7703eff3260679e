#include "app/console_commands.h"

#include <GL/freeglut.h>

#include "app/core/console.h"
#include "app/core/help_text.h"
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
