#include "app/core/display_mode.h"

#include <cstring>
#include <initializer_list>

namespace {

bool asks_for(const char* argument, char letter) {
  return argument[0] == '-' && std::strchr(argument, letter) != nullptr;
}

bool any_asks_for(int argc, char** argv, char letter) {
  return (argc > 1 && asks_for(argv[1], letter)) || (argc > 2 && asks_for(argv[2], letter));
}

}  // namespace

Buffering buffering_option(int argc, char** argv) {
  if (any_asks_for(argc, argv, 'd')) return Buffering::double_buffered;
  if (any_asks_for(argc, argv, 's')) return Buffering::single_buffered;
  return Buffering::by_renderer;
}

bool renderer_wants_double_buffering(const char* renderer) {
  if (renderer == nullptr) return false;
  for (const char* name : {"RAGE PRO", "GDI Generic", "ELSA GLADIAC/AGP/SSE"}) {
    if (std::strcmp(renderer, name) == 0) return true;
  }
  return std::strstr(renderer, "GeForce") != nullptr;
}
