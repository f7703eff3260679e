#include "writers/compressed_ptm_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

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

// The map's planes in the file's numbering: RGB plane 6c + k is
// coefficient ak of channel c; LRGB planes 0..5 are a0..a5, 6..8 the colour.
std::vector<Plane> source_planes(const Ptm& ptm, int count) {
  const std::size_t pixels = pixel_count(ptm);
  std::vector<Plane> planes(count, Plane(pixels));
  const int coefficient_planes = ptm.format == PTM_FORMAT_RGB ? 18 : 6;
  for (int j = 0; j < coefficient_planes; ++j) {
    const std::uint8_t* stored = ptm.coef_planes[j / 3] + j % 3;
    for (std::size_t p = 0; p < pixels; ++p) planes[j][p] = stored[3 * p];
  }
  if (ptm.format == PTM_FORMAT_LRGB) {
    std::uint8_t rgb[3];
    for (std::size_t p = 0; p < pixels; ++p) {
      get_lrgb_color(ptm, p, rgb);
      for (int c = 0; c < 3; ++c) planes[6 + c][p] = rgb[c];
    }
  }
  return planes;
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

// Codes plane k and reconstructs it as the reader will, so that the planes
// predicted from it later see what the reader sees.
bool encode_plane(int k, const Plane& source, const CompressedPtmOptions& options,
                  CompressedPtmHeader& header, Plane& stream, DecodedPlanes& decoded,
                  DecoderWork& work) {
  const bool intra = is_intra_plane(header, k);
  const std::size_t pixels = source.size();
  Plane residual;
  if (!intra) {
    const std::uint8_t* prediction = predict_plane(header, k, decoded, work);
    residual.resize(pixels);
    for (std::size_t p = 0; p < pixels; ++p) {
      residual[p] = static_cast<std::uint8_t>(source[p] - prediction[p] + 128);
    }
  }
  const std::uint8_t* samples = intra ? source.data() : residual.data();
  const bool jpegls = header.compression_type == compression_jpegls;
  const bool encoded =
      jpegls ? encode_jpegls_plane(samples, header.width, header.height, options.near, stream)
             : encode_jpeg_plane(samples, header.width, header.height, options.quality, stream);
  if (!encoded) {
    return refuse(std::string(jpegls ? "the JPEG-LS codec" : "libjpeg") + " cannot encode plane " +
                  std::to_string(k));
  }
  header.size[k] = static_cast<std::int32_t>(stream.size());
  for (const SideInfoRecord& record : options.planes[k].side_info) append_side_info(stream, record);
  header.side_info[k] = static_cast<std::int32_t>(stream.size()) - header.size[k];
  header.plane_data[k] = stream.data();
  if (!decode_plane(header, k, plane_decoder_for(header.compression_type), decoded, work)) {
    return refuse("plane " + std::to_string(k) + " does not decode again");
  }
  if (intra || options.correction_threshold < 0) return true;
  std::uint8_t* plane = decoded.plane[k];
  for (std::size_t p = 0; p < pixels; ++p) {
    if (std::abs(plane[p] - source[p]) > options.correction_threshold) {
      append_side_info(stream, {static_cast<std::uint32_t>(p), source[p]});
      plane[p] = source[p];
    }
  }
  header.side_info[k] = static_cast<std::int32_t>(stream.size()) - header.size[k];
  header.plane_data[k] = stream.data();
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
                          const ProgressFn& progress) {
  if (ptm.format != PTM_FORMAT_RGB && ptm.format != PTM_FORMAT_LRGB) {
    return refuse("only RGB and LRGB maps can be compressed");
  }
  CompressedPtmHeader header{};
  if (!fill_header(ptm, options, header)) return false;
  const std::vector<Plane> sources = source_planes(ptm, header.num_planes);
  std::vector<Plane> streams(header.num_planes);
  DecodedPlanes decoded;
  allocate_decoded_planes(header, decoded);
  DecoderWork work(pixel_count(ptm));
  for (int step = 0; step < header.num_planes; ++step) {
    int k = 0;
    while (header.order[k] != step) ++k;
    if (!encode_plane(k, sources[k], options, header, streams[k], decoded, work)) return false;
    report_progress(progress, step + 1, header.num_planes);
  }
  return write_file(ptm, path, header, streams);
}
