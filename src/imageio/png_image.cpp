// PNG (ISO/IEC 15948) through libpng's classic interface. libpng reports
// errors by longjmp back to the setjmp of the function that drives it, so
// the functions that call setjmp hold only plain pointers and values: no
// object with a destructor may be skipped by the jump.
#include "imageio/png_image.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/output_file.h"
#include "common/whole_file.h"

namespace {

// A PNG file larger than this cannot hold a picture the reader accepts at
// any sane compression; reading stops there.
constexpr std::size_t max_png_file_bytes = std::size_t{1} << 31;

struct PngErrors {
  char message[256];
};

[[noreturn]] void on_png_error(png_structp png, png_const_charp message) {
  auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
  std::snprintf(errors->message, sizeof errors->message, "%s", message);
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// ---- writing ----

// The rows of a picture in file order: file row r (top first) starts at
// top_row + r * row_step, so a bottom-up picture steps backwards.
struct PictureRows {
  const std::uint8_t* top_row;
  std::ptrdiff_t row_step;
  int width;
  int height;
  int bit_depth;
  int color_type;
};

PictureRows bottom_up_rows(const std::uint8_t* bottom_row, std::size_t row_bytes, int width,
                           int height, int bit_depth, int color_type) {
  const auto step = static_cast<std::ptrdiff_t>(row_bytes);
  return {bottom_row + (height > 0 ? height - 1 : 0) * step, -step, width, height, bit_depth,
          color_type};
}

void append_png_bytes(png_structp png, png_bytep data, std::size_t count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void flush_nothing(png_structp) {}

// Writes the PNG to `file`, or appended to `memory` when that is given.
bool encode_png(std::FILE* file, std::vector<std::uint8_t>* memory, const PictureRows& rows,
                PngErrors& errors) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, on_png_warning);
  if (png == nullptr) {
    std::snprintf(errors.message, sizeof errors.message, "libpng could not start");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  if (memory != nullptr) {
    png_set_write_fn(png, memory, append_png_bytes, flush_nothing);
  } else {
    png_init_io(png, file);
  }
  // After PNG's adaptive row filters a picture is mostly small residuals,
  // and runs of them are what deflate finds: zlib's fastest level with
  // run-length matching only (Z_RLE) gives files as small as its default
  // level and search, in a quarter of the time or less (a 4096 x 4096
  // render: 28.3 MB in 3.6 s by default, 25.6 MB in 1.0 s so; see
  // bench/tool_render_bench.cpp).
  png_set_compression_level(png, Z_BEST_SPEED);
  png_set_compression_strategy(png, Z_RLE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width),
               static_cast<png_uint_32>(rows.height), rows.bit_depth, rows.color_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // PNG's 16-bit samples are big-endian; memory here is little-endian.
  if (rows.bit_depth == 16) png_set_swap(png);
  for (int r = 0; r < rows.height; ++r) {
    png_write_row(png, const_cast<png_bytep>(rows.top_row + r * rows.row_step));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool write_png_picture(const PictureRows& rows, const char* path) {
  if (rows.width <= 0 || rows.height <= 0) {
    std::fprintf(stderr, "Can't write PNG file %s: the picture is empty\n", path);
    return false;
  }
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Can't open PNG file %s for writing: %s\n", path,
                 std::strerror(file.error()));
    return false;
  }
  PngErrors errors{};
  if (!encode_png(file.get(), nullptr, rows, errors)) {
    std::fprintf(stderr, "Error writing PNG file %s: %s; no file was written\n", path,
                 errors.message);
    return false;
  }
  if (!file.commit()) {
    report_write_failure("PNG file", path, file.error());
    return false;
  }
  return true;
}

// ---- reading ----

struct PngSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t offset;
};

void read_png_bytes(png_structp png, png_bytep out, std::size_t count) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > source->size - source->offset) png_error(png, "the file ends early");
  std::memcpy(out, source->data + source->offset, count);
  source->offset += count;
}

// Decodes into *image (allocated here once the size is known and checked).
bool decode_png(PngSource& source, RgbImage** image, PngErrors& errors) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, on_png_warning);
  if (png == nullptr) {
    std::snprintf(errors.message, sizeof errors.message, "libpng could not start");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (*image != nullptr) free_rgb_image(*image);
    *image = nullptr;
    return false;
  }
  png_set_read_fn(png, &source, read_png_bytes);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (static_cast<std::uint64_t>(width) * height > max_png_pixels) {
    png_error(png, "the picture is larger than 16384 x 16384 pixels");
  }
  const int color_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if ((color_type & PNG_COLOR_MASK_COLOR) == 0 && bit_depth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (bit_depth == 16) png_set_strip_16(png);
  if ((color_type & PNG_COLOR_MASK_ALPHA) != 0) png_set_strip_alpha(png);
  if ((color_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 3) {
    png_error(png, "unexpected row layout");
  }
  *image = new_rgb_image(static_cast<int>(width), static_cast<int>(height));
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 r = 0; r < height; ++r) {
      png_read_row(png, (*image)->pixels + (height - 1 - r) * row_bytes, nullptr);
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool write_png_rgb(const RgbImage& image, const char* path) {
  return write_png_picture(bottom_up_rows(image.pixels, static_cast<std::size_t>(image.width) * 3,
                                          image.width, image.height, 8, PNG_COLOR_TYPE_RGB),
                           path);
}

bool write_png_grey16(const std::uint16_t* samples, int width, int height, const char* path) {
  return write_png_picture(
      bottom_up_rows(reinterpret_cast<const std::uint8_t*>(samples),
                     static_cast<std::size_t>(width > 0 ? width : 0) * 2, width, height, 16,
                     PNG_COLOR_TYPE_GRAY),
      path);
}

bool encode_png_rgb(const std::uint8_t* top_row, std::ptrdiff_t row_step, int width, int height,
                    std::vector<std::uint8_t>& png) {
  png.clear();
  if (width <= 0 || height <= 0) return false;
  PngErrors errors{};
  const PictureRows rows{top_row, row_step, width, height, 8, PNG_COLOR_TYPE_RGB};
  return encode_png(nullptr, &png, rows, errors);
}

bool has_png_signature(const std::uint8_t* data, std::size_t size) {
  return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

bool png_picture_size(const std::uint8_t* data, std::size_t size, int& width, int& height) {
  constexpr std::size_t header_end = 24;  // signature 8, chunk length 4, type 4, width, height
  if (size < header_end || !has_png_signature(data, size) || std::memcmp(data + 12, "IHDR", 4) != 0) {
    return false;
  }
  auto big_endian = [&](std::size_t at) {
    return std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
           std::uint32_t{data[at + 2]} << 8 | std::uint32_t{data[at + 3]};
  };
  const std::uint32_t w = big_endian(16);
  const std::uint32_t h = big_endian(20);
  if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

RgbImage* decode_png_rgb(const std::uint8_t* data, std::size_t size, const char* name) {
  if (!has_png_signature(data, size)) {
    std::fprintf(stderr, "PNG file %s cannot be decoded: not a PNG file\n", name);
    return nullptr;
  }
  PngSource source{data, size, 0};
  PngErrors errors{};
  RgbImage* image = nullptr;
  if (!decode_png(source, &image, errors)) {
    std::fprintf(stderr, "PNG file %s cannot be decoded: %s\n", name, errors.message);
    return nullptr;
  }
  return image;
}

RgbImage* read_png_rgb(const char* path) {
  std::string bytes;
  if (read_whole_file(path, max_png_file_bytes, bytes) != WholeFile::read) {
    std::fprintf(stderr, "Unable to load png file %s\n", path);
    return nullptr;
  }
  return decode_png_rgb(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path);
}
