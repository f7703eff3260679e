#include "ptm/jpeg_plane.h"

#include <cstdio>

#include "common/checked_alloc.h"
#include "imageio/jpeg_picture.h"
#include "imageio/libjpeg_glue.h"

namespace {

bool fits_plane(JDIMENSION stream_width, JDIMENSION stream_height, int components, int width,
                int height) {
  if (stream_width == static_cast<JDIMENSION>(width) &&
      stream_height == static_cast<JDIMENSION>(height) && components == 1) {
    return true;
  }
  std::printf("JPEG plane of %u x %u samples with %d components does not fit a %d x %d plane\n",
              stream_width, stream_height, components, width, height);
  return false;
}

}  // namespace

struct JpegPlaneReader {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
};

namespace {

// A reader with the stream's frame header read, before the library
// allocates anything for the image; null after the message when the
// stream is not a one-component image of width x height.
JpegPlaneReader* read_plane_header(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                                   int height) {
  JpegPlaneReader* const reader = checked_alloc_array<JpegPlaneReader>(1);
  jpeg_decompress_struct& cinfo = reader->cinfo;
  cinfo.err = jumping_error_manager(reader->error);
  if (setjmp(reader->error.jump) != 0) {
    close_jpeg_plane(reader);
    std::printf("JPEG plane cannot be decoded\n");
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  install_memory_source(&cinfo, stream, stream_bytes);
  jpeg_read_header(&cinfo, TRUE);
  if (!fits_plane(cinfo.image_width, cinfo.image_height, cinfo.num_components, width, height)) {
    close_jpeg_plane(reader);
    return nullptr;
  }
  return reader;
}

// Huffman coding spends at least one bit on every 8 x 8 block (the code of
// its DC difference, ITU-T T.81 F.1.2.1, which the first scan of a
// progressive image codes too); arithmetic coding has no such floor.
constexpr std::uint64_t huffman_samples_per_byte = 8 * 64;

}  // namespace

JpegPlaneReader* open_jpeg_plane(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                                 int height) {
  JpegPlaneReader* const reader = read_plane_header(stream, stream_bytes, width, height);
  if (reader == nullptr) return nullptr;
  jpeg_decompress_struct& cinfo = reader->cinfo;
  if (setjmp(reader->error.jump) != 0) {
    close_jpeg_plane(reader);
    std::printf("JPEG plane cannot be decoded\n");
    return nullptr;
  }
  // Checked again for the output the library will deliver: no row can land
  // outside the plane.
  jpeg_start_decompress(&cinfo);
  if (!fits_plane(cinfo.output_width, cinfo.output_height, cinfo.output_components, width,
                  height)) {
    close_jpeg_plane(reader);
    return nullptr;
  }
  return reader;
}

std::uint64_t probe_jpeg_plane(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                               int height) {
  JpegPlaneReader* const reader = read_plane_header(stream, stream_bytes, width, height);
  if (reader == nullptr) return 0;
  const bool arithmetic = reader->cinfo.arith_code != 0;
  close_jpeg_plane(reader);
  return arithmetic ? UINT64_MAX : stream_bytes * huffman_samples_per_byte;
}

bool read_jpeg_plane_rows(JpegPlaneReader* reader, std::uint8_t* rows, int count) {
  jpeg_decompress_struct& cinfo = reader->cinfo;
  if (setjmp(reader->error.jump) != 0) {
    std::printf("JPEG plane cannot be decoded\n");
    return false;
  }
  if (count < 0 || cinfo.output_scanline + static_cast<JDIMENSION>(count) > cinfo.output_height) {
    return false;
  }
  constexpr int batch = 16;
  JSAMPROW pointers[batch];
  const std::size_t row_bytes = cinfo.output_width;
  for (int done = 0; done < count;) {
    const int asked = count - done < batch ? count - done : batch;
    for (int i = 0; i < asked; ++i) pointers[i] = rows + (done + i) * row_bytes;
    const JDIMENSION got = jpeg_read_scanlines(&cinfo, pointers, static_cast<JDIMENSION>(asked));
    // The memory source never suspends, so no rows means no progress.
    if (got == 0) return false;
    done += static_cast<int>(got);
  }
  return true;
}

void close_jpeg_plane(JpegPlaneReader* reader) {
  if (reader == nullptr) return;
  // Destroying without finishing is allowed at any point: the rest of the
  // stream (its end-of-image marker) is of no use to the plane.
  jpeg_destroy_decompress(&reader->cinfo);
  checked_free(reader);
}

int decode_jpeg_plane(const std::uint8_t* stream, std::size_t stream_bytes,
                      std::uint8_t* destination, int width, int height) {
  JpegPlaneReader* reader = open_jpeg_plane(stream, stream_bytes, width, height);
  if (reader == nullptr) return -1;
  const bool read = read_jpeg_plane_rows(reader, destination, height);
  close_jpeg_plane(reader);
  return read ? width * height : -1;
}

bool encode_jpeg_plane(const std::uint8_t* plane, int width, int height, int quality,
                       std::vector<std::uint8_t>& stream) {
  return encode_jpeg(plane, width, width, height, 1, quality, ChromaSampling::full, stream);
}
