#include "ptm/compressed_decoder.h"

#include <tbb/parallel_for_each.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "common/parallel.h"
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

bool decode_intra_jpeg_bands(const CompressedPtmHeader& header, Ptm& ptm, int threads) {
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
    // Each plane has a decoder of its own: the planes' rows of a band are
    // decoded side by side.
    std::atomic<int> refused{-1};
    parallel_blocks(threads, n, 1, [&](std::int64_t first, std::int64_t end) {
      for (std::int64_t k = first; k < end; ++k) {
        if (!read_jpeg_plane_rows(readers.reader[k], band.data() + k * band_rows * width, rows)) {
          refused = static_cast<int>(k);
        }
      }
    });
    if (refused >= 0) return plane_refused(header, refused);
    store_pixels(ptm, tables, header.is_lrgb != 0, planes, y * width, rows * width);
  }
  return true;
}

// The arrays of the map a decoded plane goes into, numbered so that two
// planes written at once never share one: the coefficient planes 0 .. 5,
// the colour planes 6 .. 8, or the packed records 9.
int destination_of(const CompressedPtmHeader& header, const Ptm& ptm, int k) {
  if (header.is_lrgb == 0 || k < 6) return k / 3;
  return ptm.packed_lrgb != nullptr ? 9 : k;
}
constexpr int destination_count = 10;

// Plane k of the file into the map's stored bytes or colour.
void scatter_plane(const CompressedPtmHeader& header, Ptm& ptm, int k, const std::uint8_t* plane) {
  const std::size_t pixels = plane_bytes(header);
  if (header.is_lrgb != 0 && k >= 6) {
    const int c = k - 6;
    if (ptm.packed_lrgb != nullptr) {
      // The record's colour bytes; its coefficients are converted once
      // every plane is in.
      for (std::size_t p = 0; p < pixels; ++p) (&ptm.packed_lrgb[p].red)[c] = plane[p];
    } else {
      std::memcpy(ptm.color_planes[c], plane, pixels);
    }
    return;
  }
  std::uint8_t* stored = ptm.coef_planes[k / 3] + k % 3;
  for (std::size_t p = 0; p < pixels; ++p) stored[3 * p] = plane[p];
}

bool all_intra_planes(const CompressedPtmHeader& header) {
  for (int k = 0; k < header.num_planes; ++k) {
    if (!is_intra_plane(header, k)) return false;
  }
  return true;
}

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

bool decode_compressed_map(CompressedPtmHeader& header, Ptm& ptm, int threads) {
  if (header.compression_type == compression_jpeg && all_intra_planes(header)) {
    return decode_intra_jpeg_bands(header, ptm, threads);
  }
  const PlaneDecoder codec = plane_decoder_for(header.compression_type);
  const int n = header.num_planes;
  const std::size_t bytes = plane_bytes(header);
  // A decoded plane is kept while a later plane has yet to predict from it.
  std::vector<int> waiting = predictions_from_each_plane(header);
  std::vector<std::uint8_t*> kept(static_cast<std::size_t>(n), nullptr);
  std::mutex kept_lock;
  std::mutex destination_locks[destination_count];
  std::atomic<bool> failed{false};
  for_each_plane_after_its_reference(header, threads, [&](int k) {
    if (failed) return;
    const int reference = decoded_reference(header, k);
    std::uint8_t* plane = decoder_alloc(bytes);
    {
      DecoderWork work(bytes);
      if (!decode_plane(header, k, codec, reference >= 0 ? kept[reference] : nullptr, plane,
                        work)) {
        failed = true;
        decoder_free(plane);
        return;
      }
    }
    decoder_free(header.plane_data[k]);
    header.plane_data[k] = nullptr;
    {
      const std::lock_guard<std::mutex> guard(destination_locks[destination_of(header, ptm, k)]);
      scatter_plane(header, ptm, k, plane);
    }
    const std::lock_guard<std::mutex> guard(kept_lock);
    if (waiting[static_cast<std::size_t>(k)] > 0) {
      kept[static_cast<std::size_t>(k)] = plane;
    } else {
      decoder_free(plane);
    }
    if (reference >= 0 && --waiting[static_cast<std::size_t>(reference)] == 0) {
      decoder_free(kept[static_cast<std::size_t>(reference)]);
      kept[static_cast<std::size_t>(reference)] = nullptr;
    }
  });
  for (std::uint8_t* plane : kept) decoder_free(plane);
  if (failed) return false;
  // The integer form from the stored bytes, a block of rows per thread.
  if (has_integer_form(ptm)) {
    parallel_blocks(
        threads, ptm.height, rows_per_block(ptm.width), [&](std::int64_t first, std::int64_t end) {
          Ptm rows = ptm_rows_view(ptm, static_cast<int>(first), static_cast<int>(end - first));
          convert_all_coefficients(rows);
        });
  }
  return true;
}

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
  decoder_free(zeros);
}

void allocate_decoded_planes(const CompressedPtmHeader& header, DecodedPlanes& planes) {
  for (int k = 0; k < header.num_planes; ++k) planes.plane[k] = decoder_alloc(plane_bytes(header));
}

bool reads_decoded_reference(const CompressedPtmHeader& header, int k) {
  return header.order[header.reference[k]] < header.order[k];
}

const std::uint8_t* predict_plane(const CompressedPtmHeader& header, int k,
                                  const std::uint8_t* reference, DecoderWork& work) {
  if (reference == nullptr) reference = work_plane(work, work.zeros);
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
                  const std::uint8_t* reference, std::uint8_t* plane, DecoderWork& work) {
  // An I-plane is the decoded image as it is: no offset, no side information.
  if (is_intra_plane(header, k)) return decode_stream(header, k, codec, plane);
  const std::uint8_t* prediction = predict_plane(header, k, reference, work);
  std::uint8_t* residual = work_plane(work, work.residual);
  if (!decode_stream(header, k, codec, residual)) return false;
  add_residual(residual, prediction, plane, work.plane_bytes);
  return apply_side_info(header, k, plane);
}

int decoded_reference(const CompressedPtmHeader& header, int k) {
  return !is_intra_plane(header, k) && reads_decoded_reference(header, k) ? header.reference[k]
                                                                          : -1;
}

std::vector<int> predictions_from_each_plane(const CompressedPtmHeader& header) {
  std::vector<int> counts(static_cast<std::size_t>(header.num_planes), 0);
  for (int k = 0; k < header.num_planes; ++k) {
    const int reference = decoded_reference(header, k);
    if (reference >= 0) ++counts[static_cast<std::size_t>(reference)];
  }
  return counts;
}

void for_each_plane_after_its_reference(const CompressedPtmHeader& header, int threads,
                                        const std::function<void(int k)>& plane) {
  const int n = header.num_planes;
  std::vector<std::vector<int>> dependents(static_cast<std::size_t>(n));
  std::vector<int> ready;
  for (int k = 0; k < n; ++k) {
    const int reference = decoded_reference(header, k);
    if (reference >= 0) {
      dependents[static_cast<std::size_t>(reference)].push_back(k);
    } else {
      ready.push_back(k);
    }
  }
  if (threads <= 1) {
    // The decoding order itself puts every reference first.
    std::vector<int> sequence(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) sequence[static_cast<std::size_t>(header.order[k])] = k;
    for (int k : sequence) plane(k);
    return;
  }
  // Planes that others wait for start first.
  std::stable_sort(ready.begin(), ready.end(), [&](int a, int b) {
    return dependents[static_cast<std::size_t>(a)].size() >
           dependents[static_cast<std::size_t>(b)].size();
  });
  run_on_threads(threads, [&] {
    tbb::parallel_for_each(ready.begin(), ready.end(), [&](int k, tbb::feeder<int>& feeder) {
      plane(k);
      for (int next : dependents[static_cast<std::size_t>(k)]) {
        feeder.add(next);
      }
    });
  });
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
    const int plane = static_cast<int>(k - header.order);
    // A reference later in the order is still all zeros here.
    const std::uint8_t* reference =
        is_intra_plane(header, plane) ? nullptr : planes.plane[header.reference[plane]];
    if (!decode_plane(header, plane, codec, reference, planes.plane[plane], work)) return false;
  }
  return true;
}
