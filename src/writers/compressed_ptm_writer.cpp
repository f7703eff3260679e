#include "writers/compressed_ptm_writer.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

#include "ptm/compressed_decoder.h"
#include "ptm/jpeg_plane.h"
#include "ptm/jpegls_plane.h"
#include "writers/ptm_writer.h"

namespace {

using Plane = std::vector<std::uint8_t>;

bool refuse(const std::string& reason) {
  std::printf("Cannot write a compressed ptm file: %s\n", reason.c_str());
  return false;
}

// Plane k of the map in the file's numbering: RGB plane 6c + k is
// coefficient ak of channel c; LRGB planes 0..5 are a0..a5, 6..8 the colour.
Plane source_plane(const Ptm& ptm, int k) {
  const std::size_t pixels = pixel_count(ptm);
  Plane plane(pixels);
  if (ptm.format == PTM_FORMAT_LRGB && k >= 6) {
    std::uint8_t rgb[3];
    for (std::size_t p = 0; p < pixels; ++p) {
      get_lrgb_color(ptm, p, rgb);
      plane[p] = rgb[k - 6];
    }
    return plane;
  }
  const std::uint8_t* stored = ptm.coef_planes[k / 3] + k % 3;
  for (std::size_t p = 0; p < pixels; ++p) plane[p] = stored[3 * p];
  return plane;
}

bool fill_header(const Ptm& ptm, const CompressedPtmOptions& options, CompressedPtmHeader& header) {
  header.width = ptm.width;
  header.height = ptm.height;
  header.is_lrgb = ptm.format == PTM_FORMAT_LRGB;
  header.num_planes = header.is_lrgb ? 9 : 18;
  header.compression_type = options.compression_type;
  if (options.compression_type == compression_jpegls) {
    header.compression_param = options.near;
    // NEAR of an 8-bit scan is at most (MAXVAL) / 2 (T.87 C.2.3).
    if (options.near < 0 || options.near > 127) {
      return refuse("NEAR " + std::to_string(options.near) + " is not within 0..127");
    }
  } else {
    header.compression_param = options.quality;
    if (options.compression_type != compression_jpeg) {
      return refuse("compression type " + std::to_string(options.compression_type) +
                    " is neither JPEG nor JPEG-LS");
    }
    if (options.quality < 1 || options.quality > 100) {
      return refuse("quality " + std::to_string(options.quality) + " is not within 1..100");
    }
  }
  if (!options.order.empty() &&
      options.order.size() != static_cast<std::size_t>(header.num_planes)) {
    return refuse("the order must give a position for each of the " +
                  std::to_string(header.num_planes) + " planes");
  }
  const std::uint64_t pixels = pixel_count(ptm);
  for (int k = 0; k < header.num_planes; ++k) {
    const PlaneCoding& coding = options.planes[k];
    header.transformation[k] = coding.transformation;
    header.mv_x[k] = coding.mv_x;
    header.mv_y[k] = coding.mv_y;
    header.reference[k] = coding.reference;
    header.order[k] = options.order.empty() ? k : options.order[k];
    if (is_intra_plane(header, k) && !coding.side_info.empty()) {
      return refuse("plane " + std::to_string(k) +
                    " is an I-plane; side information needs a P-plane");
    }
    for (const SideInfoRecord& record : coding.side_info) {
      if (record.index >= pixels) {
        return refuse("side information of plane " + std::to_string(k) + " sets pixel " +
                      std::to_string(record.index) + ", outside the map");
      }
    }
  }
  const std::string error = plane_layout_error(header);
  return error.empty() || refuse(error);
}

void append_side_info(Plane& stream, const SideInfoRecord& record) {
  stream.push_back(static_cast<std::uint8_t>(record.index >> 24));
  stream.push_back(static_cast<std::uint8_t>(record.index >> 16));
  stream.push_back(static_cast<std::uint8_t>(record.index >> 8));
  stream.push_back(static_cast<std::uint8_t>(record.index));
  stream.push_back(record.value);
}

// Codes plane k against `reference` (the reader's reconstruction of the
// plane it is predicted from; null: one not decoded before it, zeros) into
// `stream`, setting the plane's sizes in `header`. When `reconstruction` is
// given, it receives the plane as the reader will reconstruct it, so that
// the planes predicted from it see what the reader sees.
bool encode_plane(const Ptm& ptm, int k, const std::uint8_t* reference,
                  const CompressedPtmOptions& options, CompressedPtmHeader& header, Plane& stream,
                  Plane* reconstruction) {
  const bool intra = is_intra_plane(header, k);
  Plane source = source_plane(ptm, k);
  const std::size_t pixels = source.size();
  DecoderWork work(pixels);
  const bool jpegls = header.compression_type == compression_jpegls;
  bool encoded = false;
  if (intra) {
    encoded = jpegls ? encode_jpegls_plane(source.data(), header.width, header.height, options.near,
                                           stream)
                     : encode_jpeg_plane(source.data(), header.width, header.height,
                                         options.quality, stream);
  } else {
    const std::uint8_t* prediction = predict_plane(header, k, reference, work);
    Plane residual(pixels);
    for (std::size_t p = 0; p < pixels; ++p) {
      residual[p] = static_cast<std::uint8_t>(source[p] - prediction[p] + 128);
    }
    encoded = jpegls ? encode_jpegls_plane(residual.data(), header.width, header.height,
                                           options.near, stream)
                     : encode_jpeg_plane(residual.data(), header.width, header.height,
                                         options.quality, stream);
  }
  if (!encoded) {
    return refuse(std::string(jpegls ? "the JPEG-LS codec" : "libjpeg") + " cannot encode plane " +
                  std::to_string(k));
  }
  header.size[k] = static_cast<std::int32_t>(stream.size());
  for (const SideInfoRecord& record : options.planes[k].side_info) append_side_info(stream, record);
  header.side_info[k] = static_cast<std::int32_t>(stream.size()) - header.size[k];
  header.plane_data[k] = stream.data();
  const bool corrected = !intra && options.correction_threshold >= 0;
  if (reconstruction == nullptr && !corrected) return true;
  // A lossless JPEG-LS stream without side information gives the reader
  // back the source plane itself.
  if (jpegls && options.near == 0 && options.planes[k].side_info.empty()) {
    if (reconstruction != nullptr) *reconstruction = std::move(source);
    return true;
  }
  Plane decoded(pixels);
  if (!decode_plane(header, k, plane_decoder_for(header.compression_type), reference,
                    decoded.data(), work)) {
    return refuse("plane " + std::to_string(k) + " does not decode again");
  }
  if (corrected) {
    for (std::size_t p = 0; p < pixels; ++p) {
      if (std::abs(decoded[p] - source[p]) > options.correction_threshold) {
        append_side_info(stream, {static_cast<std::uint32_t>(p), source[p]});
        decoded[p] = source[p];
      }
    }
    header.side_info[k] = static_cast<std::int32_t>(stream.size()) - header.size[k];
    header.plane_data[k] = stream.data();
  }
  if (reconstruction != nullptr) *reconstruction = std::move(decoded);
  return true;
}

bool write_row(std::FILE* file, const std::int32_t* values, int count) {
  bool ok = true;
  for (int k = 0; k < count && ok; ++k) {
    ok = std::fprintf(file, k + 1 < count ? "%d " : "%d\n", values[k]) >= 0;
  }
  return ok;
}

bool write_file(const Ptm& ptm, const char* path, const CompressedPtmHeader& header,
                const std::vector<Plane>& streams) {
  const int n = header.num_planes;
  const char* word = header.compression_type == compression_jpegls
                         ? (header.is_lrgb ? "PTM_FORMAT_JPEGLS_LRGB" : "PTM_FORMAT_JPEGLS_RGB")
                         : (header.is_lrgb ? "PTM_FORMAT_JPEG_LRGB" : "PTM_FORMAT_JPEG_RGB");
  return write_ptm_output(path, [&](std::FILE* file) {
    bool ok = write_ptm_text_header(file, ptm, word, ptm.width, ptm.height) &&
              std::fprintf(file, "%d\n", header.compression_param) >= 0;
    for (const std::int32_t* row : {header.transformation, header.mv_x, header.mv_y, header.order,
                                    header.reference, header.size, header.side_info}) {
      ok = ok && write_row(file, row, n);
    }
    for (const Plane& stream : streams) {
      ok = ok && std::fwrite(stream.data(), 1, stream.size(), file) == stream.size();
    }
    return ok;
  });
}

}  // namespace

bool write_compressed_ptm(const Ptm& ptm, const char* path, const CompressedPtmOptions& options,
                          const ProgressFn& progress, int threads) {
  if (ptm.format != PTM_FORMAT_RGB && ptm.format != PTM_FORMAT_LRGB) {
    return refuse("only RGB and LRGB maps can be compressed");
  }
  CompressedPtmHeader header{};
  if (!fill_header(ptm, options, header)) return false;
  const int n = header.num_planes;
  // A plane's reconstruction is kept while a later plane has yet to be
  // predicted from it.
  std::vector<int> waiting = predictions_from_each_plane(header);
  std::vector<Plane> streams(static_cast<std::size_t>(n));
  std::vector<Plane> kept(static_cast<std::size_t>(n));
  std::mutex lock;  // kept, waiting, the progress
  std::atomic<bool> failed{false};
  int coded = 0;
  for_each_plane_after_its_reference(header, threads, [&](int k) {
    if (failed) return;
    const int reference = decoded_reference(header, k);
    const bool needed = waiting[static_cast<std::size_t>(k)] > 0;
    Plane reconstruction;
    if (!encode_plane(ptm, k,
                      reference >= 0 ? kept[static_cast<std::size_t>(reference)].data() : nullptr,
                      options, header, streams[static_cast<std::size_t>(k)],
                      needed ? &reconstruction : nullptr)) {
      failed = true;
      return;
    }
    const std::lock_guard<std::mutex> guard(lock);
    if (needed) kept[static_cast<std::size_t>(k)] = std::move(reconstruction);
    if (reference >= 0 && --waiting[static_cast<std::size_t>(reference)] == 0) {
      Plane().swap(kept[static_cast<std::size_t>(reference)]);
    }
    report_progress(progress, static_cast<std::uint64_t>(++coded), static_cast<std::uint64_t>(n));
  });
  if (failed) return false;
  return write_file(ptm, path, header, streams);
}
