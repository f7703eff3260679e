#include "common/end_program.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
// Read by whichever thread ends the program.
std::atomic<EndProgramHook> installed_hook{nullptr};
}  // namespace

void end_program(int status) {
  std::fflush(stdout);
  if (EndProgramHook hook = installed_hook.load()) hook(status);
  std::exit(status);
}

EndProgramHook set_end_program_hook(EndProgramHook hook) { return installed_hook.exchange(hook); }
