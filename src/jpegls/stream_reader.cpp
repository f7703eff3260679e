// Reading the marker segments of a JPEG-LS stream (T.87 C.2).
#include <algorithm>
#include <cstring>
#include <vector>

#include "jpegls/codec_state.h"
#include "jpegls/color_transform.h"
#include "jpegls/markers.h"
#include "jpegls/preset_parameters.h"

namespace {

// Skips a segment whose marker was just read: its length counts itself.
bool skip_segment(JlsCodec* codec) {
  ByteStream& s = codec->stream;
  const int length = stream_get_word(s);
  if (length < 2) return false;
  for (int i = 0; i < length - 2; ++i) {
    if (stream_get_byte(s) < 0) return false;
  }
  return true;
}

// Restart interval segment (T.87 C.2.5; Ri of 2, 3 or 4 bytes).
bool read_restart_interval(JlsCodec* codec) {
  ByteStream& s = codec->stream;
  const int length = stream_get_word(s);
  if (length < 3 || length > 6) return check_range(codec, "restart length", length, 3, 6);
  long interval = 0;
  for (int i = 0; i < length - 2; ++i) {
    const int byte = stream_get_byte(s);
    if (byte < 0) return false;
    interval = interval << 8 | byte;
  }
  if (interval > 65535) interval = 65535;  // more lines than an image can have
  codec->info.restart = interval != 0;
  codec->info.restart_interval = static_cast<int>(interval);
  return true;
}

// Application segment of four identifying bytes and an identifier byte:
// taken when the tag matches, skipped otherwise.
bool read_tagged_segment(JlsCodec* codec, const char* tag, int minimum_length, int& value) {
  ByteStream& s = codec->stream;
  const int length = stream_get_word(s);
  if (length < 2) return false;
  std::uint8_t head[5] = {};
  const int head_length = length - 2 < 5 ? length - 2 : 5;
  for (int i = 0; i < head_length; ++i) {
    const int byte = stream_get_byte(s);
    if (byte < 0) return false;
    head[i] = static_cast<std::uint8_t>(byte);
  }
  for (int i = head_length; i < length - 2; ++i) {
    if (stream_get_byte(s) < 0) return false;
  }
  if (length >= minimum_length && std::memcmp(head, tag, 4) == 0) value = head[4];
  return true;
}

// Colour transform segment: "mrfx", the transform identifier and, for
// the matrix transform, its parameter block for the frame's components
// (so it must follow the frame). Segments with another tag are skipped.
bool read_color_transform(JlsCodec* codec, JlsScanInfo& scan, bool after_frame) {
  ByteStream& s = codec->stream;
  const int length = stream_get_word(s);
  if (length < 2) return false;
  std::vector<std::uint8_t> body(static_cast<std::size_t>(length - 2));
  for (std::uint8_t& byte : body) {
    const int value = stream_get_byte(s);
    if (value < 0) return false;
    byte = static_cast<std::uint8_t>(value);
  }
  if (length < 7 || std::memcmp(body.data(), "mrfx", 4) != 0) return true;
  scan.color_transform = body[4];
  if (scan.color_transform != kMatrixTransform) return true;
  if (!after_frame) {
    jls_message(codec, "error : color xform 5 parameters come before the frame\n");
    return false;
  }
  if (!unpack_matrix_parameters(body.data() + 5, length - 7, codec->info.components, scan)) {
    jls_message(codec, "error : color xform 5 parameter block is incomplete\n");
    return false;
  }
  return true;
}

bool read_frame(JlsCodec* codec) {
  ByteStream& s = codec->stream;
  JlsInfo& info = codec->info;
  const int length = stream_get_word(s);
  const int p = stream_get_byte(s);
  const int height = stream_get_word(s);
  const int width = stream_get_word(s);
  const int nf = stream_get_byte(s);
  if (nf < 0 || width < 0) return false;
  if (!check_range(codec, "bpp", p, 2, 16) || !check_range(codec, "height", height, 1, 65535) ||
      !check_range(codec, "width", width, 1, 65535) ||
      !check_range(codec, "components", nf, 1, kJlsMaxComponents)) {
    return false;
  }
  if (length != 3 * nf + 8) {
    jls_message(codec, "ReadFrame : inconsistent marker length: expected %d, got %d\n", length,
                3 * nf + 8);
    return false;
  }
  info.alphabet = 1 << p;
  info.height = height;
  info.width = width;
  info.components = nf;
  for (int i = 0; i < nf; ++i) {
    info.component_ids[i] = stream_get_byte(s);
    const int sampling = stream_get_byte(s);
    const int tq = stream_get_byte(s);
    if (tq < 0) return false;
    info.sampX[i] = sampling >> 4;
    info.sampY[i] = sampling & 15;
    if (!check_range(codec, "sampX", info.sampX[i], 1, 15) ||
        !check_range(codec, "sampY", info.sampY[i], 1, 15) || !check_range(codec, "tq", tq, 0, 0)) {
      return false;
    }
  }
  int hmax = 1;
  int vmax = 1;
  for (int i = 0; i < nf; ++i) {
    hmax = std::max(hmax, info.sampX[i]);
    vmax = std::max(vmax, info.sampY[i]);
  }
  if (width / hmax == 0 || height / vmax == 0) {
    jls_message(codec, "error : sampling larger than image!\n");
    return false;
  }
  for (int i = 0; i < nf; ++i) {
    if (hmax % info.sampX[i] != 0 || vmax % info.sampY[i] != 0) {
      jls_message(codec, "error : sampling is not an exact subsampling; unsupported!\n");
      return false;
    }
  }
  return true;
}

bool read_scan_segment(JlsCodec* codec, JlsScanInfo& scan) {
  ByteStream& s = codec->stream;
  const int length = stream_get_word(s);
  const int ns = stream_get_byte(s);
  if (ns < 0) return false;
  if (!check_range(codec, "components", ns, 1, kJlsMaxScanComponents)) return false;
  if (length != 2 * ns + 6) {
    jls_message(codec, "ReadScan : inconsistent marker length: expected %d, got %d\n", length,
                2 * ns + 6);
    return false;
  }
  scan.components = ns;
  for (int i = 0; i < ns; ++i) {
    scan.component_ids[i] = stream_get_byte(s);
    const int table = stream_get_byte(s);
    if (table < 0) return false;
    if (!check_range(codec, "table", table, 0, 0)) return false;
  }
  scan.near = stream_get_byte(s);
  scan.interleave = stream_get_byte(s);
  scan.shift = stream_get_byte(s);
  if (scan.shift < 0) return false;
  if (!check_range(codec, "interleave", scan.interleave, 0, 2) ||
      !check_range(codec, "shift", scan.shift, 0, 15)) {
    return false;
  }
  if (scan.interleave == 0 && ns == 1 && codec->info.components == 1) scan.interleave = 1;
  return true;
}

}  // namespace

int next_marker(JlsCodec* codec) {
  ByteStream& s = codec->stream;
  for (;;) {
    int byte = stream_get_byte(s);
    if (byte < 0) return -1;
    if (byte != 0xFF) continue;
    do {
      byte = stream_get_byte(s);
    } while (byte == 0xFF);
    if (byte < 0) return -1;
    if ((byte & 0x80) != 0) return byte;
  }
}

int seekJMark(JlsCodec* codec, int code) {
  for (;;) {
    const int marker = next_marker(codec);
    if (marker < 0) {
      jls_message(codec, "seekJMark : hit EOF!\n");
      return 0;
    }
    if (marker == code) return 1;
  }
}

int Info_Read(JlsCodec* codec) {
  codec->info = JPEGLS_DefaultInfo();
  codec->presets = SignalledPresets{};
  codec->stream.error = kJlsNoError;
  if (seekJMark(codec, kMarkerSOI) == 0) {
    jls_message(codec, "Info_Read : couldn't find jmark SOI!\n");
    return 0;
  }
  // Segments may come before the frame (T.87 C.1.1): a restart interval
  // there holds for the whole image, others are skipped.
  for (;;) {
    const int marker = next_marker(codec);
    if (marker < 0) {
      jls_message(codec, "Info_Read : couldn't find jmark SOF_LS!\n");
      return 0;
    }
    if (marker == kMarkerSOF55) break;
    bool ok = true;
    if (marker == kMarkerDRI) {
      ok = read_restart_interval(codec);
    } else if (marker == kMarkerLSE) {
      ok = ReadExt(codec, 0) != 0;
    } else if (marker == kMarkerColorTransform) {
      // CharLS writes its "mrfx" segment here, before the frame.
      ok = read_color_transform(codec, codec->info.scan[0], false);
    } else if (marker == kMarkerColorSpace) {
      ok = read_tagged_segment(codec, "rloc", 7, codec->info.scan[0].color_space);
    } else if (marker != kMarkerSOI && (marker < kMarkerRST0 || marker > kMarkerRST0 + 7)) {
      ok = skip_segment(codec);
    }
    if (!ok) {
      jls_message(codec, "Info_Read : couldn't find jmark SOF_LS!\n");
      return 0;
    }
  }
  if (!read_frame(codec) || check_stream_error(codec) == 0) {
    jls_message(codec, "Info_Read : couldn't read frame!\n");
    return 0;
  }
  if (ReadScan(codec, 0) == 0) return 0;
  // Scans until every component is covered; a description holds four.
  const int per_scan = codec->info.scan[0].components;
  const int scans = (codec->info.components + per_scan - 1) / per_scan;
  if (!check_range(codec, "scans", scans, 1, kJlsMaxScans)) return 0;
  codec->info.scans = scans;
  return 1;
}

int ReadScan(JlsCodec* codec, int scan_index) {
  JlsScanInfo& scan = codec->info.scan[scan_index];
  if (scan_index > 0) scan = codec->info.scan[scan_index - 1];
  for (;;) {
    const int marker = next_marker(codec);
    if (marker < 0 || marker == kMarkerEOI) {
      jls_message(codec, "ReadScan : didn't find SOS !\n");
      return 0;
    }
    bool ok = true;
    switch (marker) {
      case kMarkerSOS:
        ok = read_scan_segment(codec, scan);
        break;
      case kMarkerDRI:
        ok = read_restart_interval(codec);
        break;
      case kMarkerColorSpace:
        ok = read_tagged_segment(codec, "rloc", 7, scan.color_space);
        break;
      case kMarkerColorTransform:
        ok = read_color_transform(codec, scan, true);
        break;
      case kMarkerLSE:
        ok = ReadExt(codec, scan_index) != 0;
        break;
      case kMarkerSOI:
        break;
      default:
        if (marker < kMarkerRST0 || marker > kMarkerRST0 + 7) ok = skip_segment(codec);
        break;
    }
    if (!ok || check_stream_error(codec) == 0) return 0;
    if (marker == kMarkerSOS) break;
  }
  // Preset parameters: the last LSE ID 1 values, defaults for zeros
  // (T.87 C.2.4.1.1).
  const SignalledPresets& signalled = codec->presets;
  scan.alphabet = signalled.maxval > 0 ? signalled.maxval + 1 : codec->info.alphabet;
  if (scan.alphabet > codec->info.alphabet) {
    return check_range(codec, "MAXVAL", scan.alphabet - 1, 1, codec->info.alphabet - 1) ? 1 : 0;
  }
  if (!check_range(codec, "NEAR", scan.near, 0, std::min(255, (scan.alphabet - 1) / 2))) return 0;
  PresetParameters p{scan.alphabet - 1, signalled.t1, signalled.t2, signalled.t3, signalled.reset};
  if (!complete_preset_parameters(p, scan.near)) {
    jls_message(codec,
                "error : preset parameters T1 = %d, T2 = %d, T3 = %d, RESET = %d out of range\n",
                p.t1, p.t2, p.t3, p.reset);
    return 0;
  }
  scan.t1 = p.t1;
  scan.t2 = p.t2;
  scan.t3 = p.t3;
  scan.reset = p.reset;
  return 1;
}

int ReadExt(JlsCodec* codec, int scan_index) {
  ByteStream& s = codec->stream;
  const int length = stream_get_word(s);
  const int id = stream_get_byte(s);
  if (id < 0) return 0;
  if (id < 1 || id > 4) {
    jls_message(codec, "ReadExt : got unknown LSE option");
    return 0;
  }
  if (id == 1) {
    if (length != 13) {
      jls_message(codec, "ReadExt : inconsistent marker length: expected %d, got %d\n", length, 13);
      return 0;
    }
    SignalledPresets& p = codec->presets;
    p.maxval = stream_get_word(s);
    p.t1 = stream_get_word(s);
    p.t2 = stream_get_word(s);
    p.t3 = stream_get_word(s);
    p.reset = stream_get_word(s);
    return p.reset < 0 ? 0 : 1;
  }
  if (id == 2) {
    JlsMappingTable& map = codec->info.scan[scan_index].map;
    stream_get_byte(s);  // table identifier
    const int width = stream_get_byte(s);
    if (width < 0) return 0;
    // An entry width of 0 leaves the entry count undefined.
    if (!check_range(codec, "tableEntryWidth", width, 1, 3)) return 0;
    if (length < 5 || (length - 5) % width != 0) {
      jls_message(codec, "ReadExt : inconsistent marker length: expected %d, got %d\n", length,
                  5 + (length > 5 ? (length - 5) / width * width : 0));
      return 0;
    }
    const int count = (length - 5) / width;
    if (count > kJlsMaxMapEntries) {
      jls_message(codec, "error : map table size > 256 , not allowed here\n");
      return 0;
    }
    map.present = 1;
    map.count = count;
    map.entry_width = width;
    for (int i = 0; i < count * width; ++i) {
      const int byte = stream_get_byte(s);
      if (byte < 0) return 0;
      map.entries[i] = static_cast<std::uint8_t>(byte);
    }
    return 1;
  }
  jls_message(codec, "ReadExt : got unsupported LSE option");
  return 0;
}
