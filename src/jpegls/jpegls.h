// Relumo's JPEG-LS codec (ITU-T T.87 | ISO/IEC 14495-1): lossless and
// near-lossless coding of 2- to 16-bit images, line by line through
// caller-supplied callbacks. This is the codec's only public header.
//
// Calling order: JPEGLS_Create, JPEGLS_SetMessageHandler, then either
// JPEGLS_DefaultInfo (filled in by the caller), StartEncode, EncodeFromCB;
// or StartDecode, GetInfo, DecodeFromCB; and finally JPEGLS_Destroy.
// Every operation returning int gives 1 for success and 0 for failure; the
// reason goes to the message handler.
#pragma once

#include <cstdint>

inline constexpr int kJlsMaxComponents = 8;
inline constexpr int kJlsMaxScans = 4;
inline constexpr int kJlsMaxScanComponents = 4;
inline constexpr int kJlsMaxMapEntries = 256;
// Size of the stream buffer handed to the byte-stream callbacks.
inline constexpr int kJlsStreamBufferSize = 16380;

// LSE ID 2 mapping table (T.87 C.2.4.1.2): read and written, not applied.
struct JlsMappingTable {
  int present;
  int count;
  int entry_width;  // bytes per entry, 1..3
  std::uint8_t entries[kJlsMaxMapEntries * 3];
};

struct JlsScanInfo {
  int interleave;  // 0 plane, 1 line, 2 pixel (T.87 ILV)
  int near;        // NEAR, the loss bound; 0 is lossless
  int shift;       // point transform, 0..15
  int t1, t2, t3;  // -1: the defaults of T.87 C.2.4.1.1
  int reset;       // RESET
  int color_space;
  int color_transform;
  // Transform 5 (general matrix): per component offset flag, shift, and
  // coefficients.
  int transform_offset[kJlsMaxComponents];
  int transform_shift[kJlsMaxComponents];
  int transform_matrix[kJlsMaxComponents][kJlsMaxComponents];
  int alphabet;  // MAXVAL + 1
  int components;
  int component_ids[kJlsMaxScanComponents];
  JlsMappingTable map;
};

struct JlsInfo {
  int width;
  int height;
  int alphabet;  // a power of two, 4..65536
  int components;
  int restart;  // nonzero: restart markers every restart_interval lines
  int restart_interval;
  int sampX[kJlsMaxComponents];
  int sampY[kJlsMaxComponents];
  int component_ids[kJlsMaxComponents];
  int scans;
  JlsScanInfo scan[kJlsMaxScans];
};

struct JlsCodec;

// Diagnostics: (user value, text).
using JlsMessageFn = void (*)(void* user, const char* text);
// Stream input: fills at most `capacity` bytes, returns the count; a short
// delivery marks the end of the stream.
using JlsReadFn = int (*)(void* user, std::uint8_t* buffer, int capacity);
// Stream output: nonzero on success.
using JlsWriteFn = int (*)(void* user, const std::uint8_t* buffer, int count);
// One line of pixel-interleaved samples (one byte each when the alphabet is
// at most 256, else host-order 16-bit): the encoder asks the callback to
// fill `line`; the decoder hands the decoded line out. Nonzero on success.
using JlsReadLineFn = int (*)(void* user, std::uint8_t* line, int byte_count);
using JlsWriteLineFn = int (*)(void* user, const std::uint8_t* line, int byte_count);

// A zero-filled codec, or null.
JlsCodec* JPEGLS_Create();
void JPEGLS_SetMessageHandler(JlsCodec* codec, JlsMessageFn function, void* user);
// The default description: 8-bit, one component, line interleaved,
// lossless, default thresholds, RESET 64.
JlsInfo JPEGLS_DefaultInfo();

int StartEncode(JlsCodec* codec, JlsWriteFn write, void* user, const JlsInfo& info);
int StartDecode(JlsCodec* codec, JlsReadFn read, void* user);
// Copies the description of the current (or last) session.
int GetInfo(JlsCodec* codec, JlsInfo* info);
int EncodeFromCB(JlsCodec* codec, JlsReadLineFn read_line, void* user);
int DecodeFromCB(JlsCodec* codec, JlsWriteLineFn write_line, void* user);
// Hands buffered output to the write callback (encoding) and frees
// everything the codec owns. Null is allowed.
void JPEGLS_Destroy(JlsCodec* codec);

// "plane", "line", "pixel", or "error! parameter out of bounds!".
const char* JPEGLS_InterleaveName(int interleave);
