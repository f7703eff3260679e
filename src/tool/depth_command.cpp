// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char depth_usage[] = "Usage: relumo-tool depth (not available yet)\n";

int run_depth(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool depth: not available yet\n");
  return 1;
}
