// Commands that talk to the console. While one runs the main window is
// hidden, so that the user looks at the console; the command runs once from
// the idle function, and at its end the window comes back.
#pragma once

#include <cstddef>
#include <string>

// Hides the main window and installs `routine` as the idle function (in
// place of the autopilot or a pending refit).
void run_console_command(void (*routine)());

// The end of every console command: shows the main window again and clears
// the idle function.
void finish_console_command();

// Prints `prompt`, reads the output name (at most `longest_name`
// characters) and gives the path beside the map. False, after saying why,
// when no usable name arrives or the name is one of the files the open map
// or its loaded photographs were read from.
bool ask_output_path(const char* prompt, std::size_t longest_name, std::string& path);

// Help and About: their text, then a key on the console.
void show_help();
void show_about();
