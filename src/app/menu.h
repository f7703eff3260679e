// The pop-up menu on the right mouse button, and the wait cursor shown on
// every window while a long computation runs.
#pragma once

enum MenuEntry {
  menu_specular = 1,
  menu_diffuse_gain = 2,
  menu_ptm_vs_texture = 3,
  menu_normal_visualization = 4,
  menu_normal_crosshair = 5,
  menu_cropped_ptm = 6,
  menu_normal_image = 7,
  menu_extrapolation = 8,
  menu_depth = 9,
  menu_source_errors = 10,
  menu_source_volume = 11,
  menu_variance = 12,
  menu_help = 13,
  menu_about = 14,
  menu_quit = 15,
};

// Creates the menu with its fifteen entries (the current menu afterwards)
// and returns its id.
int create_menu();

void on_menu(int id);

// Rewrites a toggle entry's label as "[mark] name".
void set_toggle_label(int id, const char* name, char mark);

void show_wait_cursor();
void restore_cursors();
