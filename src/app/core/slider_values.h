// What the program's sliders mean: the value x (0..1) of each slider turned
// into the setting it controls, and each setting turned back into the
// position a new slider starts at.
#pragma once

// The Scale slider spans light extents 1 .. 1 + extent_range.
constexpr double extent_range = 2.0;

// Light: intensity 0..4; at 0 the light is off.
float light_intensity_from_slider(double x);
// Amp while dragged: g = 1 + 100 x⁴.
float gain_from_slider(double x);
// Amp when the mode is switched on: gain_on_switching_on (diffuse_gain.h).
// Scale: extent 1 + 2 x.
float light_extent_from_slider(double x);
// Exp: trunc(100 x).
int specular_exponent_from_slider(double x);

// Starting positions, clamped to the slider's 0..1.
double slider_position_of_intensity(float intensity);
double slider_position_of_extent(float extent);
double slider_position_of_exponent(int exponent);
double slider_position(double value);
