// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char mesh_usage[] = "Usage: relumo-tool mesh (not available yet)\n";

int run_mesh(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool mesh: not available yet\n");
  return 1;
}
