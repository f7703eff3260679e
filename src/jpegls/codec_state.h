// The codec object and the helpers its parts share (messages, the codec's
// own allocator, stream markers and segments, scan start and line coding).
// Internal to the codec.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpegls/bit_reader.h"
#include "jpegls/bit_writer.h"
#include "jpegls/byte_stream.h"
#include "jpegls/jpegls.h"
#include "jpegls/scan_coder.h"
#include "jpegls/scan_state.h"

// Preset parameters as last signalled by an LSE ID 1 segment (0: default);
// they hold for every later scan of the frame (T.87 C.2.4.1.1).
struct SignalledPresets {
  int maxval, t1, t2, t3, reset;
};

// One component's samples under whole-image buffering, at the
// component's own (possibly subsampled) size, each row with a margin of
// kPlaneMargin samples in front and behind for the coders' edge samples.
struct ComponentPlane {
  std::uint8_t* block;
  std::uint8_t* rows;  // sample 0 of row 0
  int width;
  int height;
  std::size_t stride;  // bytes from one row to the next
};

inline constexpr int kPlaneMargin = 8;

struct JlsCodec {
  JlsMessageFn message;
  void* message_user;
  int encoding;
  JlsInfo info;
  int info_valid;
  ByteStream stream;  // also holds the error code
  int scan_index;
  const JlsScanInfo* scan;  // null between sessions
  int line;                 // line counter within the scan
  std::uint8_t* line_block;
  std::uint8_t* previous_line;
  std::uint8_t* current_line;
  std::uint8_t* transform_line;
  int sample_bytes;  // 1 or 2
  ScanState* state;
  BitReader reader;
  BitWriter writer;
  LineDecodeFn decode_line;
  LineEncodeFn encode_line;
  SignalledPresets presets;
  // Whole-image buffering: the pixel-interleaved image (decoded at
  // StartDecode and handed out line by line, or gathered line by line and
  // encoded after the last), and one plane per component.
  int plane_buffered;
  std::uint8_t* image;
  int output_line;
  ComponentPlane planes[kJlsMaxComponents];
  std::uint8_t* zero_block;
  std::uint8_t* zero_line;  // a row of zeros: the line above each restart
};

// Formats a diagnostic and hands it to the message handler.
void jls_message(JlsCodec* codec, const char* format, ...) __attribute__((format(printf, 2, 3)));
// "error : %s = %d out of range [%d,%d]"; returns whether value is in range.
bool check_range(JlsCodec* codec, const char* name, int value, int low, int high);
// Reports the stream's error code after a marker or header step; returns
// 1 when there is none.
int check_stream_error(JlsCodec* codec);

// The scans of a frame one after another (scan_sequence.cpp).
// Line buffers for the frame's width, components and sample size: the line
// above, the current line and a colour-transform line, each with margins.
void allocate_line_buffers(JlsCodec* codec);
// Makes scan `scan_index` current and prepares its coding state.
int StartScan(JlsCodec* codec, int scan_index);
// Decodes the current scan's next line into current_line (1 on success).
int decode_scan_line(JlsCodec* codec);
// Moves past the decoded line: restart marker, end of scan, next scan.
int advance_decoded_line(JlsCodec* codec);
// Restart markers after `done` of `total` lines (or line groups) of a
// scan: whether one is due, and writing or checking it, which also resets
// the contexts and the bit coder.
bool restart_due(const JlsCodec* codec, int done, int total);
int write_restart_marker(JlsCodec* codec, int done);
int read_restart_marker(JlsCodec* codec, int done);
// After the last line of a scan: the next scan's header and start, or the
// end of the image.
int finish_encoded_scan(JlsCodec* codec);
int finish_decoded_scan(JlsCodec* codec);

// Whole-image buffering (plane_buffers.cpp): the decision, the buffers,
// decoding every scan into codec->image, and encoding codec->image.
bool needs_plane_buffers(const JlsInfo& info, const JlsScanInfo& scan);
int make_plane_buffers(JlsCodec* codec);
void free_plane_buffers(JlsCodec* codec);
int decode_to_plane_buffers(JlsCodec* codec);
int encode_from_plane_buffers(JlsCodec* codec);

// Zero-filled memory; on failure reports "memory allocation of %d bytes
// failed!", sets the out-of-memory code and ends the program with -1.
void* jls_alloc(JlsCodec* codec, std::size_t size);
void jls_free(void* p);
