// Real X input for window tests, through xdotool: every call has a time
// limit, so a missing window fails a test instead of hanging it.
#pragma once

#include <string>

// The id of the first window named exactly `name`, or "" after
// `timeout_seconds`.
std::string find_window(const std::string& name, int timeout_seconds);

// Moves the pointer to (x, y) inside `window` (which then gets the keys:
// without a window manager the focus follows the pointer) and presses
// `key` (an X key name such as "Escape", "plus", "a").
bool press_key(const std::string& window, int x, int y, const std::string& key);

// Runs an xdotool command line (arguments after "xdotool"); false when it
// fails or takes longer than 10 seconds.
bool xdotool(const std::string& arguments);

// Whether `window` is mapped and shown (not hidden or withdrawn).
bool window_viewable(const std::string& window);
