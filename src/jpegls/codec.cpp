// The codec's sessions: creation, encoding and decoding line by line, scan
// start and end, restart markers, and destruction.
#include <algorithm>
#include <cstring>

#include "jpegls/codec_state.h"
#include "jpegls/color_transform.h"
#include "jpegls/markers.h"
#include "jpegls/preset_parameters.h"

namespace {

bool is_power_of_two(int value) { return value > 0 && (value & (value - 1)) == 0; }

// Front margin of each line buffer, in pixels; also room behind the line.
constexpr int line_margin = 4;

std::size_t line_stride_bytes(const JlsCodec* codec) {
  return static_cast<std::size_t>(codec->info.width + 2 * line_margin) * codec->info.components *
         codec->sample_bytes;
}

void allocate_line_buffers(JlsCodec* codec) {
  jls_free(codec->line_block);
  codec->sample_bytes = codec->info.alphabet > 256 ? 2 : 1;
  const std::size_t stride = line_stride_bytes(codec);
  const std::size_t margin =
      static_cast<std::size_t>(line_margin) * codec->info.components * codec->sample_bytes;
  codec->line_block = static_cast<std::uint8_t*>(jls_alloc(codec, 3 * stride));
  codec->previous_line = codec->line_block + margin;
  codec->current_line = codec->line_block + stride + margin;
  codec->transform_line = codec->line_block + 2 * stride + margin;
}

void zero_previous_line(JlsCodec* codec) {
  const std::size_t margin =
      static_cast<std::size_t>(line_margin) * codec->info.components * codec->sample_bytes;
  std::memset(codec->previous_line - margin, 0, line_stride_bytes(codec));
}

int line_bytes(const JlsCodec* codec) {
  return codec->info.width * codec->info.components * codec->sample_bytes;
}

}  // namespace

int StartScan(JlsCodec* codec, int scan_index) {
  JlsInfo& info = codec->info;
  const JlsScanInfo& scan = info.scan[scan_index];
  codec->scan_index = scan_index;
  codec->scan = &scan;
  if (!is_power_of_two(scan.alphabet) || scan.alphabet < 4 || scan.alphabet > info.alphabet) {
    jls_message(codec, "error : this implementation only supports pow2 alphabets! got %d\n",
                scan.alphabet);
    codec->scan = nullptr;
    return 0;
  }
  if (!check_range(codec, "NEAR", scan.near, 0, std::min(255, (scan.alphabet - 1) / 2))) {
    codec->scan = nullptr;
    return 0;
  }
  // Thresholds: the scan's own, or T.87's defaults for -1.
  PresetParameters p{scan.alphabet - 1, std::max(scan.t1, 0), std::max(scan.t2, 0),
                     std::max(scan.t3, 0), std::max(scan.reset, 0)};
  if (!complete_preset_parameters(p, scan.near)) {
    jls_message(codec,
                "error : preset parameters T1 = %d, T2 = %d, T3 = %d, RESET = %d out of range\n",
                p.t1, p.t2, p.t3, p.reset);
    codec->scan = nullptr;
    return 0;
  }
  JlsScanInfo coding = scan;
  coding.t1 = p.t1;
  coding.t2 = p.t2;
  coding.t3 = p.t3;
  coding.reset = p.reset;
  const bool two_byte = codec->sample_bytes == 2;
  const bool lossless = scan.near == 0;
  // A single component without buffering codes the same in every mode.
  const int interleave = scan.interleave == 0 ? 1 : scan.interleave;
  if (codec->encoding != 0) {
    if (two_byte && !lossless) {
      jls_message(codec, "error : no lossy 16bit encoding in this implementation!\n");
      codec->scan = nullptr;
      return 0;
    }
    codec->encode_line = select_line_encoder(two_byte, lossless, interleave);
  } else {
    if (two_byte && !lossless && interleave == 2) {
      jls_message(codec, "error : no lossy 16bit pixel-interleave in this implementation!\n");
      codec->scan = nullptr;
      return 0;
    }
    codec->decode_line = select_line_decoder(two_byte, lossless, interleave);
  }
  if (codec->state == nullptr) {
    codec->state = static_cast<ScanState*>(jls_alloc(codec, sizeof(ScanState)));
  }
  if (CreateQTables(codec, *codec->state, coding) == 0) {
    jls_message(codec, "CreateQTables failed!\n");
    codec->scan = nullptr;
    return 0;
  }
  zero_previous_line(codec);
  codec->line = 0;
  if (scan_index == 0) {
    codec->plane_buffered = needs_plane_buffers(info, scan) ? 1 : 0;
    if (codec->plane_buffered != 0 && make_plane_buffers(codec) == 0) {
      jls_message(codec, "error : couldn't make plane bufs!\n");
      codec->scan = nullptr;
      return 0;
    }
  }
  if (codec->encoding != 0) {
    bit_writer_start(codec->writer, codec->stream);
  } else {
    bit_reader_start(codec->reader, codec->stream);
  }
  return 1;
}

namespace {

int restart_number(const JlsCodec* codec, int done) {
  return (done / codec->info.restart_interval - 1) % 8;
}

void restart_coding(JlsCodec* codec) {
  reset_scan_contexts(*codec->state);
  zero_previous_line(codec);
}

void end_session(JlsCodec* codec) {
  codec->scan = nullptr;
  if (codec->state != nullptr) release_qtables(*codec->state);
}

}  // namespace

// T.87 places RSTm after every `interval` lines of a scan (the m-th marker
// numbered modulo 8) and none after its last line; each restart interval is
// coded from fresh contexts and a zero line above.
bool restart_due(const JlsCodec* codec, int done, int total) {
  const JlsInfo& info = codec->info;
  return info.restart != 0 && info.restart_interval > 0 && done < total &&
         done % info.restart_interval == 0;
}

int write_restart_marker(JlsCodec* codec, int done) {
  bit_writer_finish(codec->writer);
  if (writeJMark(codec, kMarkerRST0 + restart_number(codec, done)) == 0) {
    return check_stream_error(codec);
  }
  restart_coding(codec);
  bit_writer_start(codec->writer, codec->stream);
  return 1;
}

int read_restart_marker(JlsCodec* codec, int done) {
  const int marker = next_marker(codec);
  if (marker < kMarkerRST0 || marker > kMarkerRST0 + 7) {
    jls_message(codec, "error : expected restart marker, got 0x%02X\n", marker < 0 ? 0 : marker);
    return 0;
  }
  if (marker - kMarkerRST0 != restart_number(codec, done)) {
    jls_message(codec, "error : got restart marker # %d, expected %d\n", marker - kMarkerRST0,
                restart_number(codec, done));
    return 0;
  }
  restart_coding(codec);
  bit_reader_start(codec->reader, codec->stream);
  return 1;
}

int finish_encoded_scan(JlsCodec* codec) {
  bit_writer_finish(codec->writer);
  const int next = codec->scan_index + 1;
  if (next < codec->info.scans) {
    if (write_scan_header(codec, next) == 0) return 0;
    return StartScan(codec, next);
  }
  end_session(codec);
  if (writeJMark(codec, kMarkerEOI) == 0) {
    jls_message(codec, "error : writeJMark failed!");
    return 0;
  }
  stream_flush(codec->stream);
  return check_stream_error(codec);
}

int finish_decoded_scan(JlsCodec* codec) {
  const int next = codec->scan_index + 1;
  if (next < codec->info.scans) {
    if (ReadScan(codec, next) == 0) return 0;
    return StartScan(codec, next);
  }
  end_session(codec);
  if (next_marker(codec) != kMarkerEOI) {
    jls_message(codec, "non-fatal : didn't find EOI at end of image!");
  }
  codec->stream.error = kJlsNoError;
  return 1;
}

namespace {

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

int decode_scan_line(JlsCodec* codec) {
  codec->decode_line(*codec->state, codec->reader, codec->current_line, codec->previous_line,
                     codec->info.width, codec->scan->components);
  if (bit_reader_failed(codec->reader)) {
    jls_message(codec, codec->scan->near == 0 ? "jlsDecodeLine : lossless decode failed!"
                                              : "jlsDecodeLine : Lossy decode failed!");
    return 0;
  }
  return 1;
}

int advance_decoded_line(JlsCodec* codec) {
  std::swap(codec->previous_line, codec->current_line);
  ++codec->line;
  if (restart_due(codec, codec->line, codec->info.height) &&
      read_restart_marker(codec, codec->line) == 0) {
    return 0;
  }
  if (codec->line == codec->info.height) return finish_decoded_scan(codec);
  return 1;
}

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

JlsScanInfo default_scan_info() {
  JlsScanInfo scan{};
  scan.interleave = 1;
  scan.t1 = scan.t2 = scan.t3 = -1;
  scan.reset = kDefaultReset;
  scan.alphabet = 256;
  scan.components = 1;
  for (int i = 0; i < kJlsMaxScanComponents; ++i) scan.component_ids[i] = i + 1;
  return scan;
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

JlsInfo JPEGLS_DefaultInfo() {
  JlsInfo info{};
  info.alphabet = 256;
  info.components = 1;
  for (int i = 0; i < kJlsMaxComponents; ++i) {
    info.sampX[i] = 1;
    info.sampY[i] = 1;
    info.component_ids[i] = i + 1;
  }
  info.scans = 1;
  for (JlsScanInfo& scan : info.scan) scan = default_scan_info();
  return info;
}

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
  return StartScan(codec, 0);
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
  if (StartScan(codec, 0) == 0) {
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
