// Whole-image buffering: images that cannot be coded line by line in one
// scan (plane interleaving, T.87 ILV 0; scans of a subset of the
// components; subsampled components, T.87 A.1 and C.2.2) are held whole.
// Decoding fills one plane per component from every scan at the start of
// the session and then assembles the pixel-interleaved image, replicating
// subsampled samples; encoding gathers the image, colour transforms it,
// subsamples it into the planes and codes one scan per component.
#include <algorithm>
#include <cstring>
#include <utility>

#include "jpegls/codec_state.h"
#include "jpegls/color_transform.h"

namespace {

// Frame position of a scan component, by its identifier (T.87 C.2.3).
int frame_component(const JlsInfo& info, int id) {
  for (int i = 0; i < info.components; ++i) {
    if (info.component_ids[i] == id) return i;
  }
  return -1;
}

int largest(const int* factors, int count) { return *std::max_element(factors, factors + count); }

// Ceil(size * factor / largest), the component size of T.87 A.1.
int component_size(int size, int factor, int largest_factor) {
  return static_cast<int>((static_cast<long>(size) * factor + largest_factor - 1) / largest_factor);
}

std::uint8_t* plane_row(const ComponentPlane& plane, int row) {
  return plane.rows + static_cast<std::size_t>(row) * plane.stride;
}

// Codes or decodes one line of one component with that component's run
// index (T.87 A.7.1 keeps one per component); the coders of a single
// component use run_index[0].
template <typename Coder, typename Bits>
void code_component_line(JlsCodec* codec, Coder coder, Bits& bits, int component,
                         std::uint8_t* current, std::uint8_t* previous, int width) {
  ScanState& state = *codec->state;
  std::swap(state.run_index[0], state.run_index[component]);
  coder(state, bits, current, previous, width, 1);
  std::swap(state.run_index[0], state.run_index[component]);
}

struct ScanPlanes {
  int count;
  int component[kJlsMaxScanComponents];  // frame positions
};

bool scan_planes(JlsCodec* codec, ScanPlanes& planes) {
  const JlsScanInfo& scan = *codec->scan;
  planes.count = scan.components;
  for (int c = 0; c < scan.components; ++c) {
    planes.component[c] = frame_component(codec->info, scan.component_ids[c]);
    if (planes.component[c] < 0) {
      jls_message(codec, "error : scan component %d is not in the frame\n", scan.component_ids[c]);
      return false;
    }
  }
  return true;
}

// Lines of each component coded per step of a scan: one line of the scan's
// single component (T.87 ILV 0), or sampY lines of every component in turn
// (ILV 1, T.87 A.1). Restart intervals count steps.
int lines_per_step(const JlsCodec* codec, int component) {
  return codec->scan->interleave == 0 ? 1 : codec->info.sampY[component];
}

int step_count(const JlsCodec* codec, const ScanPlanes& planes) {
  int steps = 0;
  for (int c = 0; c < planes.count; ++c) {
    const int k = planes.component[c];
    const int per_step = lines_per_step(codec, k);
    steps = std::max(steps, (codec->planes[k].height + per_step - 1) / per_step);
  }
  return steps;
}

// Decodes (or encodes) every line of the current scan from (into) the
// planes. The line above the first line of each restart interval is zero.
template <bool Encoding>
int code_scan(JlsCodec* codec) {
  ScanPlanes scan;
  if (!scan_planes(codec, scan)) return 0;
  const int steps = step_count(codec, scan);
  int next_row[kJlsMaxScanComponents] = {};
  int first_row[kJlsMaxScanComponents] = {};
  for (int step = 0; step < steps; ++step) {
    for (int c = 0; c < scan.count; ++c) {
      const int k = scan.component[c];
      const ComponentPlane& plane = codec->planes[k];
      const int end = std::min(plane.height, next_row[c] + lines_per_step(codec, k));
      for (; next_row[c] < end; ++next_row[c]) {
        const int row = next_row[c];
        std::uint8_t* previous = row == first_row[c] ? codec->zero_line : plane_row(plane, row - 1);
        if constexpr (Encoding) {
          code_component_line(codec, codec->encode_line, codec->writer, c, plane_row(plane, row),
                              previous, plane.width);
        } else {
          code_component_line(codec, codec->decode_line, codec->reader, c, plane_row(plane, row),
                              previous, plane.width);
        }
      }
    }
    const bool failed =
        Encoding ? codec->stream.error != kJlsNoError : bit_reader_failed(codec->reader);
    if (failed) {
      const bool lossless = codec->scan->near == 0;
      if (Encoding) {
        jls_message(codec, lossless ? "jlsEncodeLine : lossless Encode failed!"
                                    : "jlsEncodeLine : Lossy Encode failed!");
      } else {
        jls_message(codec, lossless ? "jlsDecodeLine : lossless decode failed!"
                                    : "jlsDecodeLine : Lossy decode failed!");
      }
      return 0;
    }
    if (restart_due(codec, step + 1, steps)) {
      const int restarted =
          Encoding ? write_restart_marker(codec, step + 1) : read_restart_marker(codec, step + 1);
      if (restarted == 0) return 0;
      std::copy(next_row, next_row + scan.count, first_row);
    }
  }
  return 1;
}

std::size_t image_line_bytes(const JlsCodec* codec) {
  return static_cast<std::size_t>(codec->info.width) * codec->info.components * codec->sample_bytes;
}

// Moves samples between the pixel-interleaved image and the planes: plane
// sample (px, py) of component k is image sample (px * Hmax / H, py * Vmax
// / V) when subsampling (every ratio-th sample kept), and image sample (x,
// y) is plane sample (x * H / Hmax, y * V / Vmax) when assembling (each
// plane sample repeated over its ratio, nearest-neighbour replication).
void image_to_planes(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  const int hmax = largest(info.sampX, info.components);
  const int vmax = largest(info.sampY, info.components);
  const std::size_t sb = codec->sample_bytes;
  const std::size_t pixel = info.components * sb;
  for (int k = 0; k < info.components; ++k) {
    const ComponentPlane& plane = codec->planes[k];
    for (int py = 0; py < plane.height; ++py) {
      const int y = std::min(info.height - 1, py * vmax / info.sampY[k]);
      const std::uint8_t* in = codec->image + y * image_line_bytes(codec) + k * sb;
      std::uint8_t* out = plane_row(plane, py);
      for (int px = 0; px < plane.width; ++px) {
        const int x = std::min(info.width - 1, px * hmax / info.sampX[k]);
        std::memcpy(out + px * sb, in + x * pixel, sb);
      }
    }
  }
}

void planes_to_image(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  const int hmax = largest(info.sampX, info.components);
  const int vmax = largest(info.sampY, info.components);
  const std::size_t sb = codec->sample_bytes;
  const std::size_t pixel = info.components * sb;
  for (int y = 0; y < info.height; ++y) {
    std::uint8_t* out = codec->image + y * image_line_bytes(codec);
    for (int k = 0; k < info.components; ++k) {
      const ComponentPlane& plane = codec->planes[k];
      const std::uint8_t* in =
          plane_row(plane, std::min(plane.height - 1, y * info.sampY[k] / vmax));
      if (info.sampX[k] == hmax) {
        for (int x = 0; x < info.width; ++x) std::memcpy(out + x * pixel + k * sb, in + x * sb, sb);
        continue;
      }
      for (int x = 0; x < info.width; ++x) {
        std::memcpy(out + x * pixel + k * sb, in + (x * info.sampX[k] / hmax) * sb, sb);
      }
    }
  }
}

}  // namespace

bool needs_plane_buffers(const JlsInfo& info, const JlsScanInfo& scan) {
  if (scan.interleave == 0 && info.components > 1) return true;
  if (scan.components != info.components) return true;
  // Components are subsampled only against the largest factors: equal
  // factors (a single component's among them) leave every component at
  // full size.
  const int hmax = largest(info.sampX, info.components);
  const int vmax = largest(info.sampY, info.components);
  for (int i = 0; i < info.components; ++i) {
    if (info.sampX[i] != hmax || info.sampY[i] != vmax) return true;
  }
  return false;
}

int make_plane_buffers(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  const int hmax = largest(info.sampX, info.components);
  const int vmax = largest(info.sampY, info.components);
  const std::size_t sb = codec->sample_bytes;
  int widest = 0;
  free_plane_buffers(codec);
  // A scan of components the frame does not have is refused before the
  // whole image is allocated for it.
  ScanPlanes first;
  if (!scan_planes(codec, first)) return 0;
  for (int k = 0; k < info.components; ++k) {
    ComponentPlane& plane = codec->planes[k];
    plane.width = component_size(info.width, info.sampX[k], hmax);
    plane.height = component_size(info.height, info.sampY[k], vmax);
    plane.stride = (plane.width + 2 * kPlaneMargin) * sb;
    plane.block = static_cast<std::uint8_t*>(jls_alloc(codec, plane.stride * plane.height));
    plane.rows = plane.block + kPlaneMargin * sb;
    widest = std::max(widest, plane.width);
  }
  // The coders write the edge samples of T.87 A.2.1 into the line above,
  // which for a zero line are zeros again.
  codec->zero_block =
      static_cast<std::uint8_t*>(jls_alloc(codec, (widest + 2 * kPlaneMargin) * sb));
  codec->zero_line = codec->zero_block + kPlaneMargin * sb;
  codec->image =
      static_cast<std::uint8_t*>(jls_alloc(codec, image_line_bytes(codec) * info.height));
  codec->output_line = 0;
  return 1;
}

void free_plane_buffers(JlsCodec* codec) {
  for (ComponentPlane& plane : codec->planes) {
    jls_free(plane.block);
    plane = ComponentPlane{};
  }
  jls_free(codec->zero_block);
  codec->zero_block = nullptr;
  codec->zero_line = nullptr;
  jls_free(codec->image);
  codec->image = nullptr;
}

int decode_to_plane_buffers(JlsCodec* codec) {
  while (codec->scan != nullptr) {
    if (codec->scan->interleave == 2) {
      jls_message(codec, "error : Plane-Buffered pixel-interleaved!\n");
      return 0;
    }
    if (code_scan<false>(codec) == 0) return 0;
    if (finish_decoded_scan(codec) == 0) {
      jls_message(codec, "Decode to PlaneBufs : finish scan failed!\n");
      return 0;
    }
  }
  planes_to_image(codec);
  const JlsScanInfo& first = codec->info.scan[0];
  if (first.color_transform == 0) return 1;
  const std::size_t bytes = image_line_bytes(codec);
  for (int y = 0; y < codec->info.height; ++y) {
    std::uint8_t* line = codec->image + y * bytes;
    if (inverse_color_transform(codec, first, line, line, codec->info.width, codec->info.components,
                                codec->sample_bytes) == 0) {
      return 0;
    }
  }
  return 1;
}

int encode_from_plane_buffers(JlsCodec* codec) {
  const JlsInfo& info = codec->info;
  for (int k = 0; k < info.scans; ++k) {
    if (info.scan[k].interleave != 0) {
      jls_message(codec, "error : Plane-Buffered not plane interleaved!\n");
      return 0;
    }
  }
  const JlsScanInfo& first = info.scan[0];
  if (first.color_transform != 0) {
    const std::size_t bytes = image_line_bytes(codec);
    for (int y = 0; y < info.height; ++y) {
      if (forward_color_transform(codec, first, codec->image + y * bytes, info.width,
                                  info.components, codec->sample_bytes) == 0) {
        jls_message(codec, "Encode to PlaneBufs : Color Transform failed!\n");
        return 0;
      }
    }
  }
  image_to_planes(codec);
  while (codec->scan != nullptr) {
    if (code_scan<true>(codec) == 0) return 0;
    if (finish_encoded_scan(codec) == 0) {
      jls_message(codec, "Encode to PlaneBufs : finish scan failed!\n");
      return 0;
    }
  }
  return 1;
}
