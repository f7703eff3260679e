// The reflectance window: the probe pixel's colour over all light
// directions, with its overlays.
#pragma once

// GLUT display callback of the reflectance window.
void display_reflectance_window();
