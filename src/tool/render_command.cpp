// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char render_usage[] = "Usage: relumo-tool render (not available yet)\n";

int run_render(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool render: not available yet\n");
  return 1;
}
