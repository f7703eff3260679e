// A frame's scans one after another (T.87 C.2.3 and D.2): the start of a
// scan with its coding state, the restart markers within it, and the step
// from the end of one scan to the next scan's header or to the end of the
// image; and the line buffers the scans are coded through.
#include <algorithm>
#include <cstring>

#include "jpegls/codec_state.h"
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

void zero_previous_line(JlsCodec* codec) {
  const std::size_t margin =
      static_cast<std::size_t>(line_margin) * codec->info.components * codec->sample_bytes;
  std::memset(codec->previous_line - margin, 0, line_stride_bytes(codec));
}

}  // namespace

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
