// The streams and files of relumo-tool.
//
// Standard output carries only a command's result (info's text or JSON).
// The core prints its progress and format lines on standard output, as the
// viewer's console shows them; in the tool those go to standard error,
// with every other message.
#pragma once

#include <cstdio>
#include <functional>

#include "common/coef_representation.h"
#include "ptm/ptm.h"

// Keeps the process's standard output for results and points file
// descriptor 1 (and with it the core's printf) at standard error. Called
// once, first thing.
void route_messages_to_stderr();

// Where a command writes its result: the standard output the process was
// started with.
std::FILE* result_output();

// Makes a fatal exit inside the core (end_program) remove every temporary
// output file and end the process with status 1; an interrupt, a
// termination or a hang-up removes them too, and a write beyond a
// file-size limit fails as a full disk does.
void install_fatal_exit();

// Refuses (as a usage error) an output that names the input file.
void check_output_is_not_input(const char* input, const char* output);

// Reads the map at `path`. Null after one line on standard error naming
// the file when it cannot be opened, is no PTM file ("photo.jpg is a JPEG
// picture, not a PTM map", "maps is a folder") or the reader refuses it
// (its reason). On success the reader's commentary (the path and the
// format line) is shown unless --quiet was given; its warnings always are.
Ptm* read_map(const char* path);
Ptm* read_map(const char* path, CoefRepresentation representation);

// --quiet: the core's commentary (format lines, "Writing PTM File") is not
// shown. core_commentary_shown() tells the tool's own notes the same.
void set_core_commentary_shown(bool shown);
bool core_commentary_shown();

// Runs `step`, a call into the core that says whether it succeeded, with
// what the core prints on standard output held until it returns: shown
// then unless --quiet was given, and always when the step failed, since it
// holds the reason.
bool run_core_step(const std::function<bool()>& step);

// The message of a failed command on standard error:
// "relumo-tool: <path>: <message>\n".
void report_file_error(const char* path, const char* message);
