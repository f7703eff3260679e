#include "ptm/decoder_alloc.h"

#include <cstdio>
#include <cstdlib>

#include "common/end_program.h"

std::uint8_t* decoder_alloc(std::size_t size) {
  // calloc: fresh pages come zeroed from the kernel, so a plane that is
  // never written costs nothing to clear.
  void* p = std::calloc(size == 0 ? 1 : size, 1);
  if (p == nullptr) {
    std::fprintf(stderr, "Memory allocation of %zu bytes failed!", size);
    end_program(-1);
  }
  return static_cast<std::uint8_t*>(p);
}

void decoder_free(void* p) { std::free(p); }
