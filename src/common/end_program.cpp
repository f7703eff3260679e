#include "common/end_program.h"

#include <cstdio>
#include <cstdlib>

namespace {
EndProgramHook installed_hook = nullptr;
}

void end_program(int status) {
  std::fflush(stdout);
  if (installed_hook != nullptr) installed_hook(status);
  std::exit(status);
}

EndProgramHook set_end_program_hook(EndProgramHook hook) {
  EndProgramHook previous = installed_hook;
  installed_hook = hook;
  return previous;
}
