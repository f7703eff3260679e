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

// Rebuild the zoomed map (display_ptm) and its normals for the current zoom
// and pan.
void zoom_ptm();
void zoom_normals();
