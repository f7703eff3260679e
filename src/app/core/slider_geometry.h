// The arithmetic of a slider that needs no window: where its groove and
// handle are drawn for a size and value, and which value a pointer position
// stands for. Sizes are the slider window's in pixels; drawing coordinates
// have y upward from the bottom-left corner, pointer positions (as GLUT
// reports them) y downward from the top-left corner.
#pragma once

// A filled rectangle between two corners, in drawing coordinates.
struct SliderRect {
  int x0;
  int y0;
  int x1;
  int y1;
};

// A slider at least as tall as it is wide moves vertically.
bool slider_is_vertical(int width, int height);

// Pixels the handle travels along a side of `length` pixels between values
// 0 and 1: trunc(0.9 length - 4). The handle itself is a tenth of the
// length, so this leaves a 2-pixel margin at the start and room for the
// handle at the end.
int slider_track(int length);

// The groove: a bar a fifth of the slider's thickness (at least one pixel)
// centred across it, running 2 pixels short of either end.
SliderRect slider_groove(int width, int height, bool vertical);

// The handle at `value` (0..1): a tenth of the length long, spanning the
// thickness less 2 pixels each side. Value 0 puts it at the left (bottom).
SliderRect slider_handle(int width, int height, bool vertical, double value);

// The value a pointer position (y downward) stands for, clamped to 0..1:
// the handle's leading edge follows the pointer, and a vertical slider
// reads 1 at the top. A slider too short for the handle to travel (track
// of 0 or less) reads 0.
double slider_value_at(int width, int height, bool vertical, int x, int y);
