// Any bytes as a JPEG-LS stream through StartDecode, GetInfo and
// DecodeFromCB: a decode or a refusal with a message, never a crash, hang
// or overrun. The work per input is bounded, since a few bytes of run mode
// can describe a 65535 x 65535 image: decoding stops after a number of
// samples (a frame whose single line holds more is only started), and
// frames that would be decoded whole into memory at
// StartDecode (several scans) are skipped when they are large. The number
// is small: every coding path (regular and run mode, restarts, every
// interleave, the colour transforms) is taken within a few lines, and
// cheap inputs let the fuzzer try thousands a second.
#include <algorithm>
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

// Largest width x height x components of the multi-component frame
// headers (0xFF 0xF7) in the input: only those can be decoded whole. The
// markers are found with memchr, which is not instrumented: a loop of
// traced comparisons over every byte cost as much as a decode.
long largest_colour_frame(const std::uint8_t* data, std::size_t size) {
  long largest = 0;
  const std::uint8_t* const end = data + size;
  for (const std::uint8_t* p = data; end - p > 10; ++p) {
    p = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p)));
    if (p == nullptr || end - p <= 10) break;
    if (p[1] != 0xF7 || p[9] < 2) continue;
    const long height = p[5] << 8 | p[6];
    const long width = p[7] << 8 | p[8];
    largest = std::max(largest, width * height * p[9]);
  }
  return largest;
}

constexpr long sample_budget = 1L << 10;

void drop_message(void*, const char* text) {
  if (text == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  set_end_program_hook(throw_program_ended);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (largest_colour_frame(data, size) > sample_budget) return 0;
  JlsCodec* codec = JPEGLS_Create();
  JPEGLS_SetMessageHandler(codec, drop_message, nullptr);
  Input input{data, size, 0};
  try {
    if (StartDecode(codec, read_input, &input) != 0) {
      JlsInfo info;
      if (GetInfo(codec, &info) == 0) std::abort();  // a started session has a description
      // The budget is checked after each line, and one line may hold
      // 65535 x 8 samples.
      long budget = sample_budget;
      if (static_cast<long>(info.width) * info.components <= sample_budget) {
        DecodeFromCB(codec, take_line, &budget);
      }
    }
  } catch (const ProgramEnded&) {
  }
  JPEGLS_Destroy(codec);
  return 0;
}
