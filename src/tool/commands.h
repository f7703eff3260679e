// The subcommands of relumo-tool. Each parses its own arguments (from the
// one after its name) and returns the exit status: 0 success, 1 a failure
// with the input or the output, which it has reported naming the file.
// A usage error is thrown as UsageError (status 2), "--help" as
// HelpRequested; the dispatcher prints the usage text for both.
#pragma once

#include "tool/arguments.h"

struct ToolCommand {
  const char* name;
  const char* summary;  // one line for the command list
  const char* usage;    // the --help text
  int (*run)(ArgumentList& arguments);
};

int run_info(ArgumentList& arguments);
int run_render(ArgumentList& arguments);
int run_convert(ArgumentList& arguments);
int run_fit(ArgumentList& arguments);
int run_normals(ArgumentList& arguments);
int run_depth(ArgumentList& arguments);
int run_mesh(ArgumentList& arguments);
int run_curvature(ArgumentList& arguments);
int run_video(ArgumentList& arguments);
int run_sheet(ArgumentList& arguments);
int run_lights(ArgumentList& arguments);
int run_web(ArgumentList& arguments);

extern const char info_usage[];
extern const char render_usage[];
extern const char convert_usage[];
extern const char fit_usage[];
extern const char normals_usage[];
extern const char depth_usage[];
extern const char mesh_usage[];
extern const char curvature_usage[];
extern const char video_usage[];
extern const char sheet_usage[];
extern const char lights_usage[];
extern const char web_usage[];
