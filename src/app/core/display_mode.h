// Choosing between a single- and a double-buffered main window.
#pragma once

enum class Buffering { double_buffered, single_buffered, by_renderer };

// The buffering the command line asks for: an argument beginning with '-'
// and containing 'd' asks for double buffering, one containing 's' for
// single; the first argument is tested, then (with two arguments) the
// second, 'd' in both before 's'. `argv` is the command line after GLUT
// took its own options.
Buffering buffering_option(int argc, char** argv);

// Whether an OpenGL renderer is known to draw double-buffered windows well:
// three renderers by their exact names, and every GeForce.
bool renderer_wants_double_buffering(const char* renderer);
