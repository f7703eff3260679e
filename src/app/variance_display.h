// The variance view of the reflectance window: in place of the probe's
// reflectance, how much the relit image's luminance varies across the
// pixels for every light direction (red the most contrast, blue the least).
#pragma once

// Menu entry "Display Image Variance": switching on builds the variance
// model of the loaded map and scans its range over the plot's disc (every
// time), switching off computes nothing; the label shows the state and
// both windows are redrawn.
void toggle_variance_view();

// Draws the variance picture over the whole plot (the reflectance window
// being current).
void draw_variance_picture();
