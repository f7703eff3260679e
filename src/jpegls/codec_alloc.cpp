// The codec's own allocator: running out of memory ends the program with
// the codec's message rather than leaving a half-built session behind.
#include <cstdlib>

#include "common/end_program.h"
#include "jpegls/codec_state.h"

void* jls_alloc(JlsCodec* codec, std::size_t size) {
  void* p = std::calloc(size == 0 ? 1 : size, 1);
  if (p == nullptr) {
    if (codec != nullptr) {
      jls_message(codec, "memory allocation of %zu bytes failed!", size);
      codec->stream.error = kJlsOutOfMemory;
    }
    end_program(-1);
  }
  return p;
}

void jls_free(void* p) { std::free(p); }
