// Running a program of the project as a user would, with a time limit, and
// a display for programs that need one.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
  int exit_status;  // 0..255, or -1 when it did not exit normally
  bool timed_out;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `arguments` (arguments[0] is the executable) in `directory` (or the
// current one when empty), with `input` on standard input. The process is
// killed when it runs longer than `timeout_seconds`.
ProgramRun run_program(const std::vector<std::string>& arguments, const std::string& input = "",
                       const std::string& directory = "", int timeout_seconds = 60);

// Makes sure DISPLAY names a running X server: when none is set, starts
// Xvfb on a free display for the rest of the process and ends it at exit.
// Returns false when no server could be started.
bool ensure_display();
