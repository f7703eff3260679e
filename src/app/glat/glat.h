// glat: the program's own minimal widget kit. A slider is a small GLUT
// sub-window showing a groove and a handle; dragging the handle with a
// mouse button held sets a value between 0 and 1 and passes it to the
// slider's callback.
//
// Every operation that takes no window id works on the slider of GLUT's
// current window, so a caller configures a new slider right after creating
// it, while its window is still current.
#pragma once

using GlatCallback = void (*)(double value);

// One slider; the toolkit owns it and keeps it in its list.
struct GlatSlider {
  int window;    // GLUT id of the slider's sub-window
  int vertical;  // 1: the handle moves vertically; 0: horizontally
  int width;
  int height;
  double background[3];
  double groove_color[3];
  double handle_color[3];
  double value;  // 0..1
  GlatCallback callback;
  GlatSlider* next;
};

// The sliders that exist, in order of creation. Window ids are unique, so
// each window has at most one slider.
struct GlatSliderList {
  int count;
  GlatSlider* first;
};

// Creates a width x height sub-window of `parent` at (x, y) from the
// parent's top-left corner, with a slider at value 0.5, background grey
// 0.8, groove grey 0.4, black handle and no callback. The slider window
// shares the program's keys (on_key, on_special_key). Returns the window
// id; the new window is left current.
int glatCreateSlider(int parent, int x, int y, int width, int height);

// The callback of the current window's slider. With no slider there,
// prints "glat error: incorrectly referenced slider" on standard output.
void glatSetCallback(GlatCallback callback);

// Background, groove and handle colours (r, g, b each) of the current
// window's slider; nothing if there is none.
void glatSetColors(double background_r, double background_g, double background_b, double groove_r,
                   double groove_g, double groove_b, double handle_r, double handle_g,
                   double handle_b);

// Moves the slider of `window` to `value` without calling its callback and
// redraws it. A value outside 0..1 is refused with "glatGetSlider error:
// value out of range: %f." on standard output; the slider is still
// redrawn. `window` must be a slider window.
void glatSetSlider(int window, double value);

// Destroys the slider of `window` and its GLUT window; nothing if `window`
// has no slider.
void glatDestroySlider(int window);

// Display callback of every slider window: draws every slider.
void glatDisplayAll();

// Motion callback of every slider window (GLUT calls it while a button is
// held, also outside the window): the value the pointer stands for, clamped
// to 0..1, is stored and passed to the callback when it differs from the
// stored one.
void glatMotion(int x, int y);
