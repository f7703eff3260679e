// The source photographs in the windows: a photograph in place of the
// relit map when one was taken from the light's direction, and each
// photograph's colour at the probe on the reflectance plot.
#pragma once

// While the photographs are compared with the map and shown
// (source_errors_on and show_source_image) and one was taken within 0.1 of
// the light (u, v): draws it in the image view, zoomed and panned like the
// map, with the caption "Source image", and returns true. Otherwise draws
// nothing and returns false.
bool draw_source_photograph_for_light(float u, float v);

// Over the plot: for each photograph a square at its light direction
// filled with its colour at the probe pixel, outlined in black. Nothing
// while no photographs are loaded.
void draw_source_samples();

// A glance at the map while a photograph is shown: view_image (the relit
// map of the last full redraw) drawn into the main window and shown at
// once.
void glance_at_relit_map();

// Renders the relit map for the current lights into view_image behind the
// photograph, so that the next glance shows the map for the new light.
void relight_behind_photograph();
