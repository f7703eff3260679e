#include "imageio/jpeg_photograph.h"

#include <climits>
#include <cstdio>
#include <string>

#include "common/checked_alloc.h"
#include "common/whole_file.h"
#include "imageio/libjpeg_glue.h"

// Everything that must survive a longjmp out of libjpeg lives here, on the
// heap, never in a local of the function that set the jump point (such a
// local's value is indeterminate after the jump).
struct JpegPhotograph {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_progress_mgr progress;
  const char* name;   // for messages; the caller's string
  JSAMPLE* grey_row;  // one row of a grey stream before expansion
};

namespace {

// Larger files are not photographs this program can show: the decoded
// image could not be indexed with ints anyway.
constexpr std::size_t max_jpeg_file_bytes = std::size_t{1} << 30;

void report_undecodable(const JpegPhotograph* photograph) {
  std::printf("JPEG photograph %s cannot be decoded\n", photograph->name);
}

// libjpeg renders YCbCr and RGB streams as RGB and grey ones as grey
// (expanded here); CMYK and YCCK have no RGB conversion in the library.
bool has_rgb_rendering(J_COLOR_SPACE space) {
  return space == JCS_YCbCr || space == JCS_RGB || space == JCS_GRAYSCALE;
}

void release_grey_row(JpegPhotograph* photograph) {
  checked_free(photograph->grey_row);
  photograph->grey_row = nullptr;
}

}  // namespace

JpegPhotograph* open_jpeg_photograph(const std::uint8_t* data, std::size_t size, const char* name) {
  JpegPhotograph* const photograph = checked_alloc_array<JpegPhotograph>(1);
  photograph->name = name;
  photograph->grey_row = nullptr;
  jpeg_decompress_struct& cinfo = photograph->cinfo;
  cinfo.err = jumping_error_manager(photograph->error);
  if (setjmp(photograph->error.jump) != 0) {
    report_undecodable(photograph);
    close_jpeg_photograph(photograph);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  install_scan_limit(&cinfo, photograph->progress);
  install_memory_source(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  if (!has_rgb_rendering(cinfo.jpeg_color_space)) {
    std::printf("JPEG photograph %s is in a colour space without an RGB rendering (CMYK)\n", name);
    close_jpeg_photograph(photograph);
    return nullptr;
  }
  // Three bytes a pixel must be countable in an int, as for PPM images.
  if (static_cast<long long>(cinfo.image_width) * cinfo.image_height > INT_MAX / 3) {
    std::printf("JPEG photograph %s is too large (%u x %u)\n", name, cinfo.image_width,
                cinfo.image_height);
    close_jpeg_photograph(photograph);
    return nullptr;
  }
  cinfo.out_color_space = cinfo.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
  return photograph;
}

bool jpeg_frame_size(const std::uint8_t* data, std::size_t size, int& width, int& height) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return false;
  std::size_t at = 2;
  for (;;) {
    // A marker: 0xFF, any number of fill bytes 0xFF, then its code (B.1.1.2).
    if (at >= size || data[at] != 0xFF) return false;
    while (at < size && data[at] == 0xFF) ++at;
    if (at >= size) return false;
    const std::uint8_t marker = data[at++];
    // 0xFF 0x00 is no marker: libjpeg skips such bytes as garbage until the
    // next real marker, and may find another frame header than a reading
    // that took them for one. Such a stream is left to libjpeg.
    if (marker == 0x00) return false;
    // TEM and RST0..RST7 stand alone; SOI, EOI or SOS before a frame
    // header leave the decision to libjpeg.
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || at + 2 > size) return false;
    const std::size_t length = std::size_t{data[at]} << 8 | data[at + 1];
    if (length < 2) return false;
    // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC): length, precision,
    // lines, samples per line, components (B.2.2).
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (at + 8 > size) return false;
      height = data[at + 3] << 8 | data[at + 4];
      width = data[at + 5] << 8 | data[at + 6];
      const int components = data[at + 7];
      return width > 0 && height > 0 && (components == 1 || components == 3);
    }
    at += length;
  }
}

int jpeg_photograph_width(const JpegPhotograph* photograph) {
  return static_cast<int>(photograph->cinfo.image_width);
}

int jpeg_photograph_height(const JpegPhotograph* photograph) {
  return static_cast<int>(photograph->cinfo.image_height);
}

namespace {

// Decodes the pixels into `pixels` (width x height x 3 bytes, rows
// bottom-up), which the caller owns.
bool decode_rows(JpegPhotograph* photograph, std::uint8_t* pixels) {
  jpeg_decompress_struct& cinfo = photograph->cinfo;
  if (setjmp(photograph->error.jump) != 0) {
    report_undecodable(photograph);
    release_grey_row(photograph);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  const bool grey = cinfo.output_components == 1;
  // Without scaling the output has the header's size, which open checked.
  if (width != jpeg_photograph_width(photograph) || height != jpeg_photograph_height(photograph) ||
      (cinfo.output_components != 3 && !grey)) {
    report_undecodable(photograph);
    return false;
  }
  if (grey) photograph->grey_row = checked_alloc_array<JSAMPLE>(static_cast<std::size_t>(width));
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  while (cinfo.output_scanline < cinfo.output_height) {
    // The stream's row r is the image's row height - 1 - r.
    std::uint8_t* row =
        pixels + static_cast<std::size_t>(height - 1 - cinfo.output_scanline) * row_bytes;
    JSAMPROW target = grey ? photograph->grey_row : row;
    // The memory source never suspends, so no row means no progress.
    if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) {
      report_undecodable(photograph);
      release_grey_row(photograph);
      return false;
    }
    if (grey) {
      const JSAMPLE* g = photograph->grey_row;
      for (int x = 0; x < width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = g[x];
    }
  }
  // The rest of the stream (its end-of-image marker) is of no use: close
  // destroys the decompressor unfinished, which libjpeg allows.
  release_grey_row(photograph);
  return true;
}

}  // namespace

RgbImage* decode_jpeg_photograph(JpegPhotograph* photograph) {
  RgbImage* image =
      new_rgb_image(jpeg_photograph_width(photograph), jpeg_photograph_height(photograph));
  if (decode_rows(photograph, image->pixels)) return image;
  free_rgb_image(image);
  return nullptr;
}

bool decode_jpeg_photograph(JpegPhotograph* photograph, Photograph& out) {
  allocate_photograph_samples(out, jpeg_photograph_width(photograph),
                              jpeg_photograph_height(photograph), 8);
  return decode_rows(photograph, out.samples8.data());
}

void close_jpeg_photograph(JpegPhotograph* photograph) {
  if (photograph == nullptr) return;
  jpeg_destroy_decompress(&photograph->cinfo);
  release_grey_row(photograph);
  checked_free(photograph);
}

RgbImage* read_jpeg_photograph(const char* path) {
  std::string bytes;
  if (read_whole_file(path, max_jpeg_file_bytes, bytes) != WholeFile::read) {
    std::fprintf(stderr, "Unable to load jpeg file %s\n", path);
    return nullptr;
  }
  JpegPhotograph* photograph =
      open_jpeg_photograph(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path);
  if (photograph == nullptr) return nullptr;
  RgbImage* image = decode_jpeg_photograph(photograph);
  close_jpeg_photograph(photograph);
  return image;
}
