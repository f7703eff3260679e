// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char fit_usage[] = "Usage: relumo-tool fit (not available yet)\n";

int run_fit(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool fit: not available yet\n");
  return 1;
}
