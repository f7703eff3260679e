// Markers and marker segments of a JPEG-LS stream (T.87 Annex C, with
// ITU-T T.81 B.1 for the markers shared with JPEG), and the two
// application segments carrying a colour space ("rloc") and a colour
// transform ("mrfx").
#pragma once

struct JlsCodec;

// Second byte of each marker (the first is 0xFF).
inline constexpr int kMarkerSOI = 0xD8;
inline constexpr int kMarkerEOI = 0xD9;
inline constexpr int kMarkerSOF55 = 0xF7;  // frame, JPEG-LS
inline constexpr int kMarkerLSE = 0xF8;    // preset parameters, mapping table
inline constexpr int kMarkerDRI = 0xDD;    // restart interval
inline constexpr int kMarkerSOS = 0xDA;
inline constexpr int kMarkerRST0 = 0xD0;  // RST0..RST7
inline constexpr int kMarkerColorSpace = 0xE7;
inline constexpr int kMarkerColorTransform = 0xE8;

// Reading (stream_reader.cpp).

// The next marker's second byte: bytes are skipped until a 0xFF followed by
// a byte with its high bit set (fill bytes 0xFF may repeat). -1 at the end.
int next_marker(JlsCodec* codec);
// Searches markers until `code`; reports "seekJMark : hit EOF!\n" at the end.
int seekJMark(JlsCodec* codec, int code);
// Start of image, the segments before the frame, the frame, the first scan
// header. Resets the description to the defaults first.
int Info_Read(JlsCodec* codec);
// Segments up to and including the start of scan `scan_index`.
int ReadScan(JlsCodec* codec, int scan_index);
// An LSE segment (marker already read) for scan `scan_index`.
int ReadExt(JlsCodec* codec, int scan_index);

// Writing (stream_writer.cpp).

int writeJMark(JlsCodec* codec, int code);
// Start of image, frame, restart interval and the first scan header.
int write_stream_header(JlsCodec* codec);
int write_scan_header(JlsCodec* codec, int scan_index);
