// The program's sliders in the control panel right of the image view, and
// the captions drawn beside them in the main window.
#pragma once

// The light slider: intensity of the current light, always present.
void create_light_slider();

// The sliders of the enhancement modes, which exist while their mode is on:
// Amp (diffuse gain; creating it sets the gain from its position), Scale
// (the light extent while extrapolating), and Kd, Ks, Exp (specular
// enhancement).
void create_gain_slider();
void create_scale_slider();
void create_specular_sliders();
void destroy_gain_slider();
void destroy_scale_slider();
void destroy_specular_sliders();

// Moves every existing slider to its place after the main window changed
// size.
void reposition_sliders();

// The panel captions, drawn in the main window.
void draw_panel_labels();

// `text` in GLUT's 10-point Times Roman from (x, y) of the current window's
// drawing coordinates, in the current colour.
void draw_caption(int x, int y, const char* text);
