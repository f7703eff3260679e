// Writing the marker segments of a JPEG-LS stream (T.87 C.2).
#include <algorithm>
#include <vector>

#include "jpegls/codec_state.h"
#include "jpegls/color_transform.h"
#include "jpegls/markers.h"

namespace {

bool is_power_of_two(int value) { return value > 0 && (value & (value - 1)) == 0; }

// ceil(log2(value)), saturating at 17 (beyond any JPEG-LS alphabet).
int log2_of(int value) {
  int p = 0;
  while (p < 17 && (1 << p) < value) ++p;
  return p;
}

bool check_frame(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  const int p = log2_of(info.alphabet);
  if (!check_range(codec, "bpp", p, 2, 16) || !check_range(codec, "width", info.width, 1, 65535) ||
      !check_range(codec, "height", info.height, 1, 65535) ||
      !check_range(codec, "components", info.components, 1, kJlsMaxComponents) ||
      !check_range(codec, "restart interval", info.restart_interval, 0, 65535)) {
    return false;
  }
  if (!is_power_of_two(info.alphabet)) {
    jls_message(codec, "error : this implementation only supports pow2 alphabets\n");
    return false;
  }
  int hmax = 1;
  int vmax = 1;
  for (int i = 0; i < info.components; ++i) {
    if (!check_range(codec, "sampX", info.sampX[i], 1, 15) ||
        !check_range(codec, "sampY", info.sampY[i], 1, 15)) {
      return false;
    }
    hmax = std::max(hmax, info.sampX[i]);
    vmax = std::max(vmax, info.sampY[i]);
  }
  if (info.width / hmax == 0 || info.height / vmax == 0) {
    jls_message(codec, "error : sampling larger than image!\n");
    return false;
  }
  for (int i = 0; i < info.components; ++i) {
    if (hmax % info.sampX[i] != 0 || vmax % info.sampY[i] != 0) {
      jls_message(codec, "error : sampling is not an exact subsampling; unsupported!\n");
      return false;
    }
  }
  return true;
}

// LSE ID 1 (T.87 C.2.4.1.1).
void write_preset_parameters(ByteStream& s, const JlsScanInfo& scan) {
  stream_put_word(s, 13);
  stream_put_byte(s, 1);
  stream_put_word(s, scan.alphabet - 1);
  // -1 stands for the default, which T.87 signals as 0.
  for (int value : {scan.t1, scan.t2, scan.t3, scan.reset}) stream_put_word(s, std::max(value, 0));
}

// LSE ID 2 (T.87 C.2.4.1.2).
void write_mapping_table(ByteStream& s, const JlsMappingTable& map) {
  stream_put_word(s, map.entry_width * map.count + 5);
  stream_put_byte(s, 2);
  stream_put_byte(s, 1);
  stream_put_byte(s, static_cast<std::uint8_t>(map.entry_width));
  for (int i = 0; i < map.entry_width * map.count; ++i) stream_put_byte(s, map.entries[i]);
}

void write_tagged_segment(ByteStream& s, const char* tag, int value) {
  stream_put_word(s, 7);
  for (int i = 0; i < 4; ++i) stream_put_byte(s, static_cast<std::uint8_t>(tag[i]));
  stream_put_byte(s, static_cast<std::uint8_t>(value));
}

// The "mrfx" segment; the matrix transform's parameter block follows the
// identifier. The length counts the packed bytes as written, stuffing
// included.
void write_color_transform(ByteStream& s, const JlsScanInfo& scan, int components) {
  std::vector<std::uint8_t> block;
  if (scan.color_transform == kMatrixTransform) block = pack_matrix_parameters(scan, components);
  stream_put_word(s, 7 + static_cast<int>(block.size()));
  for (int i = 0; i < 4; ++i) stream_put_byte(s, static_cast<std::uint8_t>("mrfx"[i]));
  stream_put_byte(s, static_cast<std::uint8_t>(scan.color_transform));
  for (std::uint8_t byte : block) stream_put_byte(s, byte);
}

}  // namespace

int writeJMark(JlsCodec* codec, int code) {
  if (codec->stream.error != kJlsNoError) return 0;
  stream_put_byte(codec->stream, 0xFF);
  stream_put_byte(codec->stream, static_cast<std::uint8_t>(code));
  return codec->stream.error == kJlsNoError ? 1 : 0;
}

int write_stream_header(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  if (!check_frame(codec)) return 0;
  ByteStream& s = codec->stream;
  if (writeJMark(codec, kMarkerSOI) == 0 || writeJMark(codec, kMarkerSOF55) == 0) {
    return check_stream_error(codec);
  }
  stream_put_word(s, 3 * info.components + 8);
  stream_put_byte(s, static_cast<std::uint8_t>(log2_of(info.alphabet)));
  stream_put_word(s, info.height);
  stream_put_word(s, info.width);
  stream_put_byte(s, static_cast<std::uint8_t>(info.components));
  for (int i = 0; i < info.components; ++i) {
    stream_put_byte(s, static_cast<std::uint8_t>(info.component_ids[i]));
    stream_put_byte(s, static_cast<std::uint8_t>(info.sampX[i] << 4 | info.sampY[i]));
    stream_put_byte(s, 0);
  }
  if (info.restart != 0) {
    if (writeJMark(codec, kMarkerDRI) == 0) return check_stream_error(codec);
    stream_put_word(s, 4);
    stream_put_word(s, info.restart_interval);
  }
  if (check_stream_error(codec) == 0) return 0;
  return write_scan_header(codec, 0);
}

int write_scan_header(JlsCodec* codec, int scan_index) {
  const JlsScanInfo& scan = codec->info.scan[scan_index];
  ByteStream& s = codec->stream;
  if (!check_range(codec, "components", scan.components, 1, kJlsMaxScanComponents) ||
      !check_range(codec, "interleave", scan.interleave, 0, 2) ||
      !check_range(codec, "shift", scan.shift, 0, 15)) {
    return 0;
  }
  if (scan.map.present != 0 &&
      (!check_range(codec, "table", scan.map.count, 0, kJlsMaxMapEntries) ||
       !check_range(codec, "tableEntryWidth", scan.map.entry_width, 1, 3))) {
    return 0;
  }
  if (scan_index == 0 || scan.interleave != 0) {
    if (scan.alphabet != codec->info.alphabet || scan.reset != 64 || scan.t1 != -1 ||
        scan.t2 != -1 || scan.t3 != -1) {
      if (writeJMark(codec, kMarkerLSE) == 0) return check_stream_error(codec);
      write_preset_parameters(s, scan);
    }
    if (scan.map.present != 0) {
      if (writeJMark(codec, kMarkerLSE) == 0) return check_stream_error(codec);
      write_mapping_table(s, scan.map);
    }
    if (scan.color_transform != 0) {
      if (writeJMark(codec, kMarkerColorTransform) == 0) return check_stream_error(codec);
      write_color_transform(s, scan, codec->info.components);
    }
    if (scan.color_space != 0) {
      if (writeJMark(codec, kMarkerColorSpace) == 0) return check_stream_error(codec);
      write_tagged_segment(s, "rloc", scan.color_space);
    }
  }
  if (writeJMark(codec, kMarkerSOS) == 0) {
    jls_message(codec, "couldn't write SOS at start of scan!");
    return check_stream_error(codec);
  }
  stream_put_word(s, 2 * scan.components + 6);
  stream_put_byte(s, static_cast<std::uint8_t>(scan.components));
  for (int i = 0; i < scan.components; ++i) {
    stream_put_byte(s, static_cast<std::uint8_t>(scan.component_ids[i]));
    stream_put_byte(s, 0);
  }
  stream_put_byte(s, static_cast<std::uint8_t>(scan.near));
  // T.87 C.2.3: a scan of one component is not interleaved, and other
  // decoders refuse any other ILV for it.
  stream_put_byte(s, static_cast<std::uint8_t>(scan.components == 1 ? 0 : scan.interleave));
  stream_put_byte(s, static_cast<std::uint8_t>(scan.shift));
  return check_stream_error(codec);
}
