// The codec's sessions: creation, encoding and decoding line by line, and
// destruction. The scans within a session follow one another in
// scan_sequence.cpp.
#include <algorithm>
#include <cstring>

#include "jpegls/codec_state.h"
#include "jpegls/color_transform.h"
#include "jpegls/markers.h"
#include "jpegls/preset_parameters.h"

namespace {

int line_bytes(const JlsCodec* codec) {
  return codec->info.width * codec->info.components * codec->sample_bytes;
}

// The first scan of a session, and with it the decision for whole-image
// buffering, which holds for every later scan of the frame.
int start_first_scan(JlsCodec* codec) {
  if (StartScan(codec, 0) == 0) return 0;
  codec->plane_buffered = needs_plane_buffers(codec->info, codec->info.scan[0]) ? 1 : 0;
  if (codec->plane_buffered != 0 && make_plane_buffers(codec) == 0) {
    jls_message(codec, "error : couldn't make plane bufs!\n");
    codec->scan = nullptr;
    return 0;
  }
  return 1;
}

int jlsEncodeLine(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  if (codec->plane_buffered != 0) {
    const std::size_t bytes = line_bytes(codec);
    std::memcpy(codec->image + codec->output_line * bytes, codec->current_line, bytes);
    if (++codec->output_line < info.height) return 1;
    if (encode_from_plane_buffers(codec) != 0) return 1;
    jls_message(codec, "EncodeLine : Encode From PlaneBufs failed!\n");
    return 0;
  }
  if (codec->scan->color_transform != 0 &&
      forward_color_transform(codec, *codec->scan, codec->current_line, info.width, info.components,
                              codec->sample_bytes) == 0) {
    return 0;
  }
  const bool lossless = codec->scan->near == 0;
  codec->encode_line(*codec->state, codec->writer, codec->current_line, codec->previous_line,
                     codec->info.width, codec->scan->components);
  if (codec->stream.error != kJlsNoError) {
    jls_message(codec, lossless ? "jlsEncodeLine : lossless Encode failed!"
                                : "jlsEncodeLine : Lossy Encode failed!");
    check_stream_error(codec);
    return 0;
  }
  std::swap(codec->previous_line, codec->current_line);
  ++codec->line;
  if (restart_due(codec, codec->line, info.height) && write_restart_marker(codec, codec->line) == 0)
    return 0;
  if (codec->line == info.height) return finish_encoded_scan(codec);
  return 1;
}

}  // namespace

namespace {

// One line of a scan decoded straight to the caller, or one line of the
// already decoded image.
int jlsDecodeLine(JlsCodec* codec, JlsWriteLineFn write_line, void* user) {
  if (codec->image != nullptr) {
    const int bytes = line_bytes(codec);
    const int line = codec->output_line;
    if (write_line(user, codec->image + static_cast<std::size_t>(line) * bytes, bytes) == 0) {
      jls_message(codec, "DecodeFromCB : write line %d failed\n", line);
      return 0;
    }
    ++codec->output_line;
    return 1;
  }
  if (decode_scan_line(codec) == 0) return 0;
  const std::uint8_t* line = codec->current_line;
  if (codec->scan->color_transform != 0) {
    // The transformed samples stay in current_line: they are the next
    // line's neighbours.
    if (inverse_color_transform(codec, *codec->scan, line, codec->transform_line, codec->info.width,
                                codec->info.components, codec->sample_bytes) == 0) {
      return 0;
    }
    line = codec->transform_line;
  }
  if (write_line(user, line, line_bytes(codec)) == 0) {
    jls_message(codec, "DecodeFromCB : write line %d failed\n", codec->line);
    return 0;
  }
  return advance_decoded_line(codec);
}

// A fresh stream in one direction; the image of an earlier decode goes.
void start_session(JlsCodec* codec, JlsReadFn read, JlsWriteFn write, void* user) {
  codec->encoding = write != nullptr ? 1 : 0;
  free_plane_buffers(codec);
  ByteStream& s = codec->stream;
  s.read = read;
  s.write = write;
  s.user = user;
  s.position = 0;
  s.fill = 0;
  s.ended = 0;
  s.error = kJlsNoError;
}

// One scan, or one scan per component for plane interleaving (each a copy
// of the first with one component, the k-th carrying identifier k + 1).
void plan_scans(JlsInfo& info) {
  if (info.scan[0].interleave != 0 || info.components == 1) {
    info.scans = 1;
    return;
  }
  info.scans = std::min(info.components, kJlsMaxScans);
  for (int k = 0; k < info.scans; ++k) {
    if (k > 0) info.scan[k] = info.scan[0];
    info.scan[k].components = 1;
    info.scan[k].component_ids[0] = info.component_ids[k];
  }
}

}  // namespace

JlsCodec* JPEGLS_Create() {
  JlsCodec* codec = static_cast<JlsCodec*>(jls_alloc(nullptr, sizeof(JlsCodec)));
  codec->stream.buffer =
      static_cast<std::uint8_t*>(jls_alloc(codec, kJlsStreamBufferSize + kJlsStreamLookahead));
  return codec;
}

void JPEGLS_SetMessageHandler(JlsCodec* codec, JlsMessageFn function, void* user) {
  codec->message = function;
  codec->message_user = user;
}

int StartEncode(JlsCodec* codec, JlsWriteFn write, void* user, const JlsInfo& info) {
  if (codec->scan != nullptr) {
    jls_message(codec, "error : still (de)coding a previous session!\n");
    return 0;
  }
  start_session(codec, nullptr, write, user);
  codec->info = info;
  codec->info_valid = 1;
  // Images that cannot be coded line by line in one scan are coded one
  // component per scan from the whole image.
  if (needs_plane_buffers(codec->info, codec->info.scan[0])) {
    if (!check_range(codec, "components", info.components, 1, kJlsMaxScans)) return 0;
    codec->info.scan[0].interleave = 0;
  }
  plan_scans(codec->info);
  if (write_stream_header(codec) == 0) return 0;
  allocate_line_buffers(codec);
  return start_first_scan(codec);
}

int StartDecode(JlsCodec* codec, JlsReadFn read, void* user) {
  if (codec->scan != nullptr) {
    jls_message(codec, "error : still (de)coding a previous session!\n");
    return 0;
  }
  start_session(codec, read, nullptr, user);
  stream_fill(codec->stream, 1);
  if (Info_Read(codec) == 0) {
    jls_message(codec, "StartDecode : Info_Read failed!\n");
    return 0;
  }
  codec->info_valid = 1;
  allocate_line_buffers(codec);
  if (start_first_scan(codec) == 0) {
    jls_message(codec, "StartDecode : StartScan failed!\n");
    return 0;
  }
  if (codec->plane_buffered != 0 && decode_to_plane_buffers(codec) == 0) {
    jls_message(codec, "StartDecode : Decode To PlaneBufs failed!\n");
    return 0;
  }
  return 1;
}

int GetInfo(JlsCodec* codec, JlsInfo* info) {
  if (codec->info_valid == 0) return 0;
  *info = codec->info;
  return 1;
}

int EncodeFromCB(JlsCodec* codec, JlsReadLineFn read_line, void* user) {
  if (codec->scan == nullptr || codec->encoding == 0) return 0;
  const int bytes = line_bytes(codec);
  while (codec->scan != nullptr) {
    const int line = codec->plane_buffered != 0 ? codec->output_line : codec->line;
    if (read_line(user, codec->current_line, bytes) == 0) {
      jls_message(codec, "EncodeFromCB : read line %d failed\n", line);
      return 0;
    }
    // Samples beyond MAXVAL would leave the coder's tables: only the low
    // bits of the alphabet are coded.
    const int mask = codec->scan->alphabet - 1;
    if (codec->sample_bytes == 1) {
      for (int i = 0; i < bytes; ++i) codec->current_line[i] &= static_cast<std::uint8_t>(mask);
    } else {
      auto* samples = reinterpret_cast<std::uint16_t*>(codec->current_line);
      for (int i = 0; i < bytes / 2; ++i) samples[i] &= static_cast<std::uint16_t>(mask);
    }
    if (jlsEncodeLine(codec) == 0) {
      jls_message(codec, "EncodeFromCB : Encode Line %d failed\n", line);
      return 0;
    }
  }
  return 1;
}

int DecodeFromCB(JlsCodec* codec, JlsWriteLineFn write_line, void* user) {
  if (codec->encoding != 0) return 0;
  if (codec->image != nullptr) {
    while (codec->output_line < codec->info.height) {
      if (jlsDecodeLine(codec, write_line, user) == 0) return 0;
    }
    return 1;
  }
  if (codec->scan == nullptr) return 0;
  while (codec->scan != nullptr) {
    const int line = codec->line;
    if (jlsDecodeLine(codec, write_line, user) == 0) {
      jls_message(codec, "DecodeFromCB : decoding line %d failed\n", line);
      return 0;
    }
  }
  return 1;
}

void JPEGLS_Destroy(JlsCodec* codec) {
  if (codec == nullptr) return;
  if (codec->encoding != 0) stream_flush(codec->stream);
  if (codec->state != nullptr) release_qtables(*codec->state);
  jls_free(codec->state);
  jls_free(codec->line_block);
  free_plane_buffers(codec);
  jls_free(codec->stream.buffer);
  jls_free(codec);
}

const char* JPEGLS_InterleaveName(int interleave) {
  static const char* const names[] = {"plane", "line", "pixel"};
  if (interleave < 0 || interleave > 2) return "error! parameter out of bounds!";
  return names[interleave];
}
