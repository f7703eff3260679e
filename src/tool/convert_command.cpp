// Not built yet: replaced by the command's own file.
#include <cstdio>

#include "tool/commands.h"

const char convert_usage[] = "Usage: relumo-tool convert (not available yet)\n";

int run_convert(ArgumentList&) {
  std::fprintf(stderr, "relumo-tool convert: not available yet\n");
  return 1;
}
