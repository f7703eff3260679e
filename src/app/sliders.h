// The program's sliders in the control panel right of the image view, and
// the captions drawn beside them in the main window.
#pragma once

// The light slider: intensity of the current light, always present.
void create_light_slider();

// Moves every existing slider to its place after the main window changed
// size.
void reposition_sliders();

// The panel captions, drawn in the main window.
void draw_panel_labels();
