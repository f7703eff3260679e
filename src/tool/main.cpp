// relumo-tool: the products of the viewer for scripts, one map per process.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "common/version.h"
#include "tool/commands.h"
#include "tool/tool_io.h"

namespace {

const ToolCommand commands[] = {
    {"info", "describe maps: format, size, scales and biases, planes", info_usage, run_info},
    {"render", "relight a map into a PNG, PPM or TGA picture", render_usage, run_render},
    {"convert", "write a map in another storage format, or a part of it", convert_usage,
     run_convert},
    {"lights", "read the light directions of photographs from spheres in view", lights_usage,
     run_lights},
    {"fit", "fit a map to photographs and their light positions", fit_usage, run_fit},
    {"normals", "write the normal field of a map", normals_usage, run_normals},
    {"depth", "integrate a map's normals into a depth map", depth_usage, run_depth},
    {"mesh", "write the depth of a map as a triangle mesh", mesh_usage, run_mesh},
    {"curvature", "the mean curvature of a map's relief as numbers or a picture",
     curvature_usage, run_curvature},
    {"sheet", "the map under raking light from N directions, laid out for a report",
     sheet_usage, run_sheet},
    {"video", "a video of the map under a light circling it (MP4 or WebM)", video_usage,
     run_video},
    {"web", "publish a map as a web page or site, relit in the browser", web_usage, run_web},
};

// The options every subcommand takes, after each one's own usage.
const char common_options_usage[] =
    "\n"
    "Options of every command:\n"
    "  --threads N   use N threads (default: every core this process may run on)\n"
    "  -q, --quiet   only errors and warnings: no progress bar, format lines or\n"
    "                \"Writing\" lines\n"
    "  -h, --help    this text\n";

void print_command_list(std::FILE* out) {
  std::fprintf(out, "Usage: relumo-tool COMMAND [ARGUMENTS]\n\nCommands:\n");
  for (const ToolCommand& command : commands) {
    std::fprintf(out, "  %-9s %s\n", command.name, command.summary);
  }
  std::fprintf(out, "\nRun 'relumo-tool COMMAND --help' for a command's options, and\n"
                    "'relumo-tool --version' for the version.\n");
}

const ToolCommand* find_command(const char* name) {
  for (const ToolCommand& command : commands) {
    if (std::strcmp(command.name, name) == 0) return &command;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  route_messages_to_stderr();
  install_fatal_exit();
  if (argc < 2) {
    print_command_list(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    print_command_list(result_output());
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::fprintf(result_output(), "relumo-tool %s\n", relumo_version);
    return 0;
  }
  const ToolCommand* command = find_command(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "relumo-tool: unknown command \"%s\"\n\n", argv[1]);
    print_command_list(stderr);
    return 2;
  }
  ArgumentList arguments(argc, argv, 2);
  try {
    const int status = command->run(arguments);
    std::fflush(stdout);
    // A result that could not be delivered (a full disk, a closed pipe
    // reader) is a failure, not a success with a shortened output.
    if (std::fflush(result_output()) != 0 || std::ferror(result_output()) != 0) {
      std::fprintf(stderr, "relumo-tool %s: cannot write the result to standard output: %s\n",
                   command->name, std::strerror(errno));
      return 1;
    }
    return status;
  } catch (const HelpRequested&) {
    std::fputs(command->usage, result_output());
    std::fputs(common_options_usage, result_output());
    return 0;
  } catch (const UsageError& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "relumo-tool %s: %s\nRun 'relumo-tool %s --help' for its options.\n",
                 command->name, error.what(), command->name);
    return 2;
  }
}
