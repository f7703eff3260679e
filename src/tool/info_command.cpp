// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char info_usage[] = "Usage: relumo-tool info (not available yet)\n";

int run_info(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool info: not available yet\n");
  return 1;
}
