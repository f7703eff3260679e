// The streams and files of relumo-tool.
//
// Standard output carries only a command's result (info's text or JSON).
// The core prints its progress and format lines on standard output, as the
// viewer's console shows them; in the tool those go to standard error,
// with every other message.
#pragma once

#include <cstdio>

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

// Reads the map at `path`; null after a message naming the file when it
// cannot be opened or read.
Ptm* read_map(const char* path);
Ptm* read_map(const char* path, CoefRepresentation representation);

// The message of a failed command on standard error:
// "relumo-tool: <path>: <message>\n".
void report_file_error(const char* path, const char* message);
