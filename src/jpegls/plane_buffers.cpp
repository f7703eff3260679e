// Whole-image buffering for decoding: images coded as several scans (plane
// interleaving, T.87 ILV 0, or scans of a subset of the components) are
// decoded completely at the start of the session and then handed out line
// by line in pixel-interleaved form.
#include <cstring>

#include "jpegls/codec_state.h"

namespace {

// Frame position of a scan component, by its identifier (T.87 C.2.3).
int frame_component(const JlsInfo& info, int id) {
  for (int i = 0; i < info.components; ++i) {
    if (info.component_ids[i] == id) return i;
  }
  return -1;
}

}  // namespace

int decode_to_plane_buffers(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  const std::size_t samples = static_cast<std::size_t>(info.width) * info.height * info.components;
  codec->image = static_cast<std::uint8_t*>(jls_alloc(codec, samples * codec->sample_bytes));
  codec->output_line = 0;
  const std::size_t sample_bytes = codec->sample_bytes;
  const std::size_t image_line =
      static_cast<std::size_t>(info.width) * info.components * sample_bytes;
  while (codec->scan != nullptr) {
    const JlsScanInfo& scan = *codec->scan;
    int target[kJlsMaxScanComponents];
    for (int c = 0; c < scan.components; ++c) {
      target[c] = frame_component(info, scan.component_ids[c]);
      if (target[c] < 0) {
        jls_message(codec, "error : scan component %d is not in the frame\n",
                    scan.component_ids[c]);
        return 0;
      }
    }
    const int line = codec->line;
    if (decode_scan_line(codec) == 0) return 0;
    std::uint8_t* out = codec->image + static_cast<std::size_t>(line) * image_line;
    for (int x = 0; x < info.width; ++x) {
      for (int c = 0; c < scan.components; ++c) {
        std::memcpy(
            out + (static_cast<std::size_t>(x) * info.components + target[c]) * sample_bytes,
            codec->current_line +
                (static_cast<std::size_t>(x) * scan.components + c) * sample_bytes,
            sample_bytes);
      }
    }
    if (advance_decoded_line(codec) == 0) return 0;
  }
  return 1;
}
