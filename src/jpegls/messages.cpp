#include <cstdarg>
#include <cstdio>

#include "jpegls/codec_state.h"

void jls_message(JlsCodec* codec, const char* format, ...) {
  if (codec->message == nullptr) return;
  // Messages are a line or two; longer ones are cut.
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  codec->message(codec->message_user, text);
}

bool check_range(JlsCodec* codec, const char* name, int value, int low, int high) {
  if (value >= low && value <= high) return true;
  jls_message(codec, "error : %s = %d out of range [%d,%d]", name, value, low, high);
  return false;
}

int check_stream_error(JlsCodec* codec) {
  switch (codec->stream.error) {
    case kJlsNoError:
      return 1;
    case kJlsOutOfMemory:
      jls_message(codec, "Out of memory!");
      return 0;
    case kJlsEndOfStream:
      jls_message(codec, "IO error : unexpected read or write EOF");
      return 0;
    default:
      jls_message(codec, "unknown error");
      return 0;
  }
}
