// Running a program of the project as a user would, with a time limit, and
// a display for programs that need one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ProgramRun {
  int exit_status;  // 0..255, or -1 when it did not exit normally
  bool timed_out;
  std::string out;  // standard output
  std::string err;  // standard error
};

// A program started in the background; its output goes to files that can
// be read while it runs.
struct RunningProgram {
  int pid;
  std::string scratch;  // directory of its input and output files
  int input_fd = -1;    // the write end of its standard input, when interactive
};

// Starts `arguments` (arguments[0] is the executable) in `directory` (or the
// current one when empty), with `input` on standard input. In a sanitizer
// build the program runs without leak detection: the viewer keeps its map
// until exit by design and the system's OpenGL libraries keep buffers of
// their own (leaks of the program's code are the unit tests' and fuzzers'
// to find).
RunningProgram start_program(const std::vector<std::string>& arguments,
                             const std::string& input = "", const std::string& directory = "");

// Starts a program whose standard input is a pipe the test writes to with
// send_input (a console that is not a terminal); the input ends when the
// program is finished.
RunningProgram start_interactive_program(const std::vector<std::string>& arguments,
                                         const std::string& directory = "");
bool send_input(const RunningProgram& program, std::string_view text);

// Its standard output so far.
std::string output_so_far(const RunningProgram& program);

// Waits until its standard output contains `text`; false after
// `timeout_seconds` or when the program ended without printing it.
bool wait_for_output(const RunningProgram& program, const std::string& text, int timeout_seconds);

// Waits for it to end, killing it (and every process it started) after
// `timeout_seconds`, and collects its output.
ProgramRun finish_program(RunningProgram& program, int timeout_seconds);

// start_program and finish_program at once. The default bound catches a
// hang without mistaking a sanitizer build on a busy machine for one.
ProgramRun run_program(const std::vector<std::string>& arguments, const std::string& input = "",
                       const std::string& directory = "", int timeout_seconds = 240);

// Everything a shell command writes on its standard output (bound its
// time with timeout(1) in the command itself).
std::string command_output(const std::string& command);

// Starts a private Xvfb on a free display for the rest of this process
// (once; ended at exit) and points DISPLAY at it. Tests run in parallel, and
// on a shared display one test's key presses would reach another test's
// window under the pointer. Returns false when no server could be started.
bool ensure_display();
