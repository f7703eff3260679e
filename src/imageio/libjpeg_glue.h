// What every use of libjpeg (the IJG 6b interface) in the program shares:
// an error manager that returns to the caller instead of ending the
// process, and a source that hands libjpeg a stream held in memory.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// libjpeg's header needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

// A fatal libjpeg error prints libjpeg's message on standard error and
// leaves the library by longjmp to `jump`, instead of the standard
// manager's exit: a damaged stream then refuses one file rather than ending
// the program. The caller sets the jump point with setjmp before each call
// into libjpeg and keeps only plain C records alive across it, so no
// destructor is skipped.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Initialises `manager` as libjpeg's standard manager with the jumping
// exit; the result goes into cinfo.err.
jpeg_error_mgr* jumping_error_manager(JpegErrorManager& manager);

// Makes `cinfo` read `stream_bytes` bytes at `stream`, which must stay
// valid until the decompressor is destroyed. The stream is handed over
// where it lies, never copied and never read past its end: when libjpeg
// wants more it gets an end-of-image marker, so a truncated stream decodes
// as far as it goes (with libjpeg's warning) and an empty one is an error.
void install_memory_source(j_decompress_ptr cinfo, const std::uint8_t* stream,
                           std::size_t stream_bytes);

// Makes `cinfo` write its stream into `*stream` (replacing what it held),
// which grows as libjpeg asks for room and is cut to the stream's length
// when compression finishes. Call after jpeg_create_compress; the vector
// must outlive the compression.
void install_memory_destination(j_compress_ptr cinfo, std::vector<std::uint8_t>* stream);

// Ends the decoding of a progressive stream (by the error manager's jump)
// once it has passed max_jpeg_scans scans: each scan makes libjpeg pass
// over the whole coefficient buffer again, so a few bytes of a hostile
// file could ask for hours. Cameras write one scan, progressive encoders
// about ten. `progress` must live as long as the decompressor.
constexpr int max_jpeg_scans = 500;
void install_scan_limit(j_decompress_ptr cinfo, jpeg_progress_mgr& progress);
