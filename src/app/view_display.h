// The image view in the main window: the map relit by every enabled light
// added together, the region-only update while the light is dragged, the
// zoomed view and the normal image.
#pragma once

// GLUT display callback of the main window.
void display_main_window();

// Asks the next display to clear the whole window (after a reshape: not
// every GLUT reports a damaged window).
void request_full_clear();

// "Display Normal Visualization" shows the normals as colours in the view
// and their scatter in the plot for as long as its two flags stay set: the
// handlers of every change the user makes (light, probe, keys, modes,
// sliders, a reshape) call this first, which clears both and redraws both
// windows when they were shown.
void end_normal_pictures();

// The whole view from all enabled lights.
void composite_lights();

// The same for the selected region only.
void composite_lights_region();

// Rebuilds the zoomed map (display_ptm) for the current zoom and pan, at
// the view's size whatever the map's, with the normals of its view where
// the loaded map has them: a view never costs more than its own pixels.
void zoom_ptm();
// Only the zoomed map's normals (after the loaded map's are computed).
void zoom_normals();
