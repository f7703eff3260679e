// Mouse, keyboard and idle handling of the viewer's windows.
#pragma once

// Image view (main window): probe with the left button, region selection
// with the middle button or Shift and the left button.
void on_view_mouse(int button, int state, int x, int y);
void on_view_motion(int x, int y);

// Reflectance window: steering the current light.
void on_reflectance_mouse(int button, int state, int x, int y);
void on_reflectance_motion(int x, int y);

// Keys, shared by every window of the program.
void on_key(unsigned char key, int x, int y);
void on_special_key(int key, int x, int y);

// Idle function while the autopilot circles the light.
void autopilot_step();
