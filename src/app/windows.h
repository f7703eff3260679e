// The viewer's two windows: the main window (image view on the left, a
// 300-pixel control panel on the right) and the 250 x 250 reflectance
// sub-window in the panel; their drawing set-up and what happens when the
// main window changes size.
#pragma once

// Creates the windows, the menu, the callbacks, the lights and the light
// slider; `argc`, `argv` choose the buffering.
void setup_windows(int argc, char** argv);

// Viewport and projection of the current window: one unit per pixel, the
// origin at the lower left.
void set_pixel_projection(int width, int height);

int create_main_window();
bool choose_display_mode();
void setup_main_projection();
void setup_reflectance_projection();

// GLUT reshape callback of the main window.
void on_reshape(int width, int height);

// Runs once from the idle slot after each reshape: computes the normals on
// the first show, fits the map into the view and redisplays.
void refit_view();
