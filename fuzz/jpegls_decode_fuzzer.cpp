// Any bytes as a JPEG-LS stream through StartDecode, GetInfo and
// DecodeFromCB: a decode or a refusal with a message, never a crash, hang
// or overrun. Decoding stops after a bounded number of samples, since a few
// bytes of run mode can describe a 65535 x 65535 image.
#include <cstdlib>
#include <cstring>

#include "common/end_program.h"
#include "fuzz_file.h"
#include "jpegls/jpegls.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

int read_input(void* user, std::uint8_t* buffer, int capacity) {
  auto* input = static_cast<Input*>(user);
  std::size_t n = input->size - input->position;
  if (n > static_cast<std::size_t>(capacity)) n = static_cast<std::size_t>(capacity);
  std::memcpy(buffer, input->data + input->position, n);
  input->position += n;
  return static_cast<int>(n);
}

int take_line(void* user, const std::uint8_t* line, int byte_count) {
  auto* budget = static_cast<long*>(user);
  // Touch the line so that the sanitizers check the whole of it.
  volatile std::uint8_t sink = 0;
  for (int i = 0; i < byte_count; ++i) sink = sink ^ line[i];
  *budget -= byte_count;
  return *budget > 0 ? 1 : 0;
}

void drop_message(void*, const char* text) {
  if (text == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  set_end_program_hook(throw_program_ended);
  JlsCodec* codec = JPEGLS_Create();
  JPEGLS_SetMessageHandler(codec, drop_message, nullptr);
  Input input{data, size, 0};
  try {
    if (StartDecode(codec, read_input, &input) != 0) {
      JlsInfo info;
      if (GetInfo(codec, &info) == 0) std::abort();  // a started session has a description
      long budget = 1L << 22;
      DecodeFromCB(codec, take_line, &budget);
    }
  } catch (const ProgramEnded&) {
  }
  JPEGLS_Destroy(codec);
  return 0;
}
