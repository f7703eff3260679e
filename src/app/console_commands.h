// Commands that talk to the console. While one runs the main window is
// hidden, so that the user looks at the console; the command runs once from
// the idle function, and at its end the window comes back.
#pragma once

// Hides the main window and installs `routine` as the idle function (in
// place of the autopilot or a pending refit).
void run_console_command(void (*routine)());

// The end of every console command: shows the main window again and clears
// the idle function.
void finish_console_command();

// Help and About: their text, then a key on the console.
void show_help();
void show_about();
