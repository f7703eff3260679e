#include "ptm/compressed_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ptm/coefficients.h"
#include "ptm/convert_lrgb_rows.h"
#include "ptm/decoder_alloc.h"
#include "ptm/jpeg_plane.h"
#include "ptm/jpegls_plane.h"

namespace {

std::size_t plane_bytes(const CompressedPtmHeader& header) {
  return static_cast<std::size_t>(header.width) * static_cast<std::size_t>(header.height);
}

std::uint8_t* work_plane(DecoderWork& work, std::uint8_t*& plane) {
  if (plane == nullptr) plane = decoder_alloc(work.plane_bytes);
  return plane;
}

std::int64_t clamp_index(std::int64_t i, int size) {
  return std::clamp<std::int64_t>(i, 0, size - 1);
}

// Side information: 5-byte records of a big-endian pixel index and the
// byte that pixel takes.
bool apply_side_info(const CompressedPtmHeader& header, int k, std::uint8_t* plane) {
  const std::uint8_t* record = header.plane_data[k] + header.size[k];
  const std::uint32_t pixels = static_cast<std::uint32_t>(plane_bytes(header));
  for (int r = 0; r < header.side_info[k] / side_info_record_bytes; ++r, record += 5) {
    const std::uint32_t index = std::uint32_t{record[0]} << 24 | std::uint32_t{record[1]} << 16 |
                                std::uint32_t{record[2]} << 8 | record[3];
    if (index >= pixels) {
      std::printf(
          "Side information of compressed plane %d sets pixel %u, outside the %d x %d plane\n", k,
          index, header.width, header.height);
      return false;
    }
    plane[index] = record[4];
  }
  return true;
}

bool plane_refused(const CompressedPtmHeader& header, int k) {
  std::printf("Compressed plane %d cannot be decoded into a %d x %d plane\n", k, header.width,
              header.height);
  return false;
}

bool decode_stream(const CompressedPtmHeader& header, int k, PlaneDecoder codec,
                   std::uint8_t* destination) {
  const int written = codec(header.plane_data[k], static_cast<std::size_t>(header.size[k]),
                            destination, header.width, header.height);
  return written == static_cast<int>(plane_bytes(header)) || plane_refused(header, k);
}

// Pixels first .. first + count - 1 of the map from its planes, where
// planes[k][i] is plane k at pixel first + i: stored bytes, colour and
// integer coefficients in one pass.
void store_rgb_pixels(Ptm& ptm, const CoefficientTables& tables, const std::uint8_t* const* planes,
                      std::size_t first, std::size_t count) {
  std::uint8_t six[6];
  for (std::size_t i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) {
      for (int k = 0; k < 6; ++k) six[k] = planes[6 * c + k][i];
      store_stored_bytes(ptm.coef_planes[2 * c], ptm.coef_planes[2 * c + 1], first + i, six);
      convert_rgb_channel(ptm, tables, first + i, c, six);
    }
  }
}

void store_pixels(Ptm& ptm, const CoefficientTables& tables, bool lrgb,
                  const std::uint8_t* const* planes, std::size_t first, std::size_t count) {
  if (lrgb) {
    convert_lrgb_planes(ptm, tables, first, count, planes);
  } else {
    store_rgb_pixels(ptm, tables, planes, first, count);
  }
}

// Open readers of the planes of one file, closed with the object.
struct JpegPlaneReaders {
  JpegPlaneReader* reader[max_compressed_planes] = {};
  ~JpegPlaneReaders() {
    for (JpegPlaneReader* r : reader) close_jpeg_plane(r);
  }
};

// Every plane a JPEG I-plane, the most common file: the planes are decoded
// side by side, a band of rows at a time, straight into the map. No plane
// is ever held whole, so the decoded bytes go from libjpeg to the map's
// arrays while they are still in cache.
constexpr int band_rows = 16;

bool decode_intra_jpeg_bands(const CompressedPtmHeader& header, Ptm& ptm) {
  const int n = header.num_planes;
  const std::size_t width = static_cast<std::size_t>(header.width);
  JpegPlaneReaders readers;
  for (int k = 0; k < n; ++k) {
    readers.reader[k] =
        open_jpeg_plane(header.plane_data[k], static_cast<std::size_t>(header.size[k]),
                        header.width, header.height);
    if (readers.reader[k] == nullptr) return plane_refused(header, k);
  }
  CoefficientTables tables;
  build_coefficient_tables(ptm.scale_bias, tables);
  std::vector<std::uint8_t> band(n * band_rows * width);
  const std::uint8_t* planes[max_compressed_planes];
  for (int k = 0; k < n; ++k) planes[k] = band.data() + k * band_rows * width;
  for (int y = 0; y < header.height; y += band_rows) {
    const int rows = std::min(band_rows, header.height - y);
    for (int k = 0; k < n; ++k) {
      if (!read_jpeg_plane_rows(readers.reader[k], band.data() + k * band_rows * width, rows)) {
        return plane_refused(header, k);
      }
    }
    store_pixels(ptm, tables, header.is_lrgb != 0, planes, y * width, rows * width);
  }
  return true;
}

bool all_intra_planes(const CompressedPtmHeader& header) {
  for (int k = 0; k < header.num_planes; ++k) {
    if (!is_intra_plane(header, k)) return false;
  }
  return true;
}

struct HeaderOwner {
  CompressedPtmHeader& header;
  ~HeaderOwner() { free_compressed_header(header); }
};

PlaneProbe plane_probe_for(int compression_type) {
  if (compression_type == compression_jpeg) return probe_jpeg_plane;
  if (compression_type == compression_jpegls) return probe_jpegls_plane;
  return nullptr;
}

// Every stored stream must be a plane of the map's size, and its bytes
// must be able to code one: a file of a few bytes that announces a huge
// map is refused before the map and its planes are allocated.
bool probe_plane_streams(const char* path, const CompressedPtmHeader& header) {
  const PlaneProbe probe = plane_probe_for(header.compression_type);
  const std::uint64_t pixels = plane_bytes(header);
  for (int k = 0; k < header.num_planes; ++k) {
    const std::uint64_t most = probe(header.plane_data[k], static_cast<std::size_t>(header.size[k]),
                                     header.width, header.height);
    if (most == 0) return plane_refused(header, k);
    if (most < pixels) {
      return refuse_compressed_file(path, "the " + std::to_string(header.size[k]) +
                                              " bytes of plane " + std::to_string(k) +
                                              " cannot hold a " + std::to_string(header.width) +
                                              " x " + std::to_string(header.height) + " plane");
    }
  }
  return true;
}

}  // namespace

bool read_compressed_map(const char* path, int width, int height, bool lrgb,
                         CompressedPtmHeader& header) {
  if (read_compressed_header(path, header) != 0) return false;
  bool fit = header.width == width && header.height == height && (header.is_lrgb != 0) == lrgb;
  if (!fit) {
    std::printf("Compressed ptm file %s does not hold the %d x %d %s map its header announced\n",
                path, width, height, lrgb ? "LRGB" : "RGB");
  }
  fit =
      fit && has_plane_decoder(header.compression_type, path) && probe_plane_streams(path, header);
  if (!fit) free_compressed_header(header);
  return fit;
}

bool decode_compressed_map(const CompressedPtmHeader& header, Ptm& ptm) {
  if (header.compression_type == compression_jpeg && all_intra_planes(header)) {
    return decode_intra_jpeg_bands(header, ptm);
  }
  DecodedPlanes planes;
  if (!decode_planes(header, plane_decoder_for(header.compression_type), planes)) return false;
  CoefficientTables tables;
  build_coefficient_tables(ptm.scale_bias, tables);
  store_pixels(ptm, tables, header.is_lrgb != 0, planes.plane, 0, pixel_count(ptm));
  return true;
}

namespace {

bool read_and_decode(const char* path, Ptm& ptm, bool lrgb) {
  CompressedPtmHeader header;
  if (!read_compressed_map(path, ptm.width, ptm.height, lrgb, header)) return false;
  HeaderOwner owner{header};
  return decode_compressed_map(header, ptm);
}

}  // namespace

PlaneDecoder plane_decoder_for(int compression_type) {
  if (compression_type == compression_jpeg) return decode_jpeg_plane;
  if (compression_type == compression_jpegls) return decode_jpegls_plane;
  return nullptr;
}

bool has_plane_decoder(int compression_type, const char* path) {
  if (plane_decoder_for(compression_type) != nullptr) return true;
  std::printf("Compressed ptm file %s cannot be decoded: this build has no %s plane decoder\n",
              path, compression_type == compression_jpeg ? "JPEG" : "JPEG-LS");
  return false;
}

void invert_plane(const std::uint8_t* source, std::uint8_t* destination, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    destination[i] = static_cast<std::uint8_t>(255 - source[i]);
}

void add_residual(const std::uint8_t* residual, const std::uint8_t* prediction,
                  std::uint8_t* destination, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    destination[i] = static_cast<std::uint8_t>(residual[i] + prediction[i] - 128);
  }
}

void motion_compensate(const std::uint8_t* source, std::uint8_t* destination,
                       std::uint8_t* temporary, int width, int height, int mv_x, int mv_y) {
  const int ix = mv_x / 2;
  const int iy = mv_y / 2;
  const int fx = mv_x - 2 * ix;
  const int fy = mv_y - 2 * iy;
  const std::size_t w = static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = source + clamp_index(std::int64_t{y} + iy, height) * w;
    std::uint8_t* out = destination + y * w;
    for (int x = 0; x < width; ++x) out[x] = row[clamp_index(std::int64_t{x} + ix, width)];
  }
  if (fx == 0 && fy == 0) return;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = destination + y * w;
    std::uint8_t* out = temporary + y * w;
    for (int x = 0; x < width; ++x) out[x] = (row[clamp_index(x + fx, width)] + row[x]) / 2;
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* neighbour = temporary + clamp_index(y + fy, height) * w;
    const std::uint8_t* row = temporary + y * w;
    std::uint8_t* out = destination + y * w;
    for (int x = 0; x < width; ++x) out[x] = (neighbour[x] + row[x]) / 2;
  }
}

DecodedPlanes::~DecodedPlanes() {
  for (std::uint8_t* p : plane) decoder_free(p);
}

DecoderWork::~DecoderWork() {
  decoder_free(reference_copy);
  decoder_free(prediction);
  decoder_free(residual);
  decoder_free(temporary);
}

void allocate_decoded_planes(const CompressedPtmHeader& header, DecodedPlanes& planes) {
  for (int k = 0; k < header.num_planes; ++k) planes.plane[k] = decoder_alloc(plane_bytes(header));
}

const std::uint8_t* predict_plane(const CompressedPtmHeader& header, int k,
                                  const DecodedPlanes& planes, DecoderWork& work) {
  const std::uint8_t* reference = planes.plane[header.reference[k]];
  if ((header.transformation[k] & transform_invert) != 0) {
    std::uint8_t* inverted = work_plane(work, work.reference_copy);
    invert_plane(reference, inverted, work.plane_bytes);
    reference = inverted;
  }
  if ((header.transformation[k] & transform_motion) == 0 ||
      (header.mv_x[k] == 0 && header.mv_y[k] == 0)) {
    return reference;
  }
  std::uint8_t* shifted = work_plane(work, work.prediction);
  motion_compensate(reference, shifted, work_plane(work, work.temporary), header.width,
                    header.height, header.mv_x[k], header.mv_y[k]);
  return shifted;
}

bool decode_plane(const CompressedPtmHeader& header, int k, PlaneDecoder codec,
                  DecodedPlanes& planes, DecoderWork& work) {
  std::uint8_t* plane = planes.plane[k];
  // An I-plane is the decoded image as it is: no offset, no side information.
  if (is_intra_plane(header, k)) return decode_stream(header, k, codec, plane);
  const std::uint8_t* prediction = predict_plane(header, k, planes, work);
  std::uint8_t* residual = work_plane(work, work.residual);
  if (!decode_stream(header, k, codec, residual)) return false;
  add_residual(residual, prediction, plane, work.plane_bytes);
  return apply_side_info(header, k, plane);
}

bool decode_planes(const CompressedPtmHeader& header, PlaneDecoder codec, DecodedPlanes& planes) {
  allocate_decoded_planes(header, planes);
  DecoderWork work(plane_bytes(header));
  for (int step = 0; step < header.num_planes; ++step) {
    const int* k = std::find(header.order, header.order + header.num_planes, step);
    if (k == header.order + header.num_planes) {
      std::printf("No compressed plane is decoded at step %d\n", step);
      return false;
    }
    if (!decode_plane(header, static_cast<int>(k - header.order), codec, planes, work)) {
      return false;
    }
  }
  return true;
}

bool decode_compressed_rgb(const char* path, Ptm& ptm) { return read_and_decode(path, ptm, false); }

bool decode_compressed_lrgb(const char* path, Ptm& ptm) { return read_and_decode(path, ptm, true); }
