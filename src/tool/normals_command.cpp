// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char normals_usage[] = "Usage: relumo-tool normals (not available yet)\n";

int run_normals(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool normals: not available yet\n");
  return 1;
}
