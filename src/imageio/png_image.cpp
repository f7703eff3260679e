// PNG (ISO/IEC 15948) through libpng's classic interface. libpng reports
// errors by longjmp back to the setjmp of the function that drives it, so
// the functions that call setjmp hold only plain pointers and values: no
// object with a destructor may be skipped by the jump.
#include "imageio/png_image.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/checked_alloc.h"
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

// Puts an encoded PNG file in place, or reports why it was not.
bool finish_png_file(OutputFile& file, bool encoded, const char* message, const char* path) {
  if (!encoded) {
    std::fprintf(stderr, "Error writing PNG file %s: %s; no file was written\n", path, message);
    return false;
  }
  if (!file.commit()) {
    report_write_failure("PNG file", path, file.error());
    return false;
  }
  return true;
}

// ---- writing ----

bool failed_png_start(PngErrors& errors, const char* what) {
  std::snprintf(errors.message, sizeof errors.message, "%s", what);
  return false;
}

// libpng's output to memory: the bytes appended to a vector.
void append_png_bytes(png_structp png, png_bytep data, std::size_t count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void flush_nothing(png_structp) {}

// libpng's text records for the notes; they point into the notes' strings.
std::vector<png_text> png_text_records(const PngNotes& notes) {
  std::vector<png_text> records;
  for (const PngText& note : notes.texts) {
    png_text record{};
    const bool ascii = std::all_of(note.text.begin(), note.text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    record.compression = ascii ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
    record.key = const_cast<char*>(note.key.c_str());
    record.text = const_cast<char*>(note.text.c_str());
    if (ascii) {
      record.text_length = note.text.size();
    } else {
      record.itxt_length = note.text.size();
    }
    records.push_back(record);
  }
  return records;
}

// The notes of the picture: libpng's text records and the resolution.
struct EncodedNotes {
  const png_text* texts;
  int text_count;
  std::uint32_t pixels_per_metre_x;
  std::uint32_t pixels_per_metre_y;
};

}  // namespace

// libpng's write structures for one file; each member function that calls
// libpng sets the jump point first and holds nothing with a destructor.
class PngRowWriter {
 public:
  PngRowWriter() = default;
  PngRowWriter(const PngRowWriter&) = delete;
  PngRowWriter& operator=(const PngRowWriter&) = delete;
  ~PngRowWriter() {
    if (png_ != nullptr) png_destroy_write_struct(&png_, &info_);
  }

  // Starts the picture on `file`, or appended to `memory` when that is not
  // null, with `notes` before the picture data. False with the reason in
  // message().
  bool start(std::FILE* file, std::vector<std::uint8_t>* memory, int width, int height,
             int bit_depth, int color_type, const PngNotes& notes) {
    // libpng copies the text when it is set, so the records need only
    // outlive start_encoding (which the jump never leaves).
    const std::vector<png_text> texts = png_text_records(notes);
    return start_encoding(file, memory, width, height, bit_depth, color_type,
                          {texts.data(), static_cast<int>(texts.size()), notes.pixels_per_metre_x,
                           notes.pixels_per_metre_y});
  }

  bool write_row(const std::uint8_t* row) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_row(png_, const_cast<png_bytep>(row));
    return true;
  }

  bool end() {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_end(png_, info_);
    return true;
  }

  const char* message() const { return errors_.message; }

 private:
  bool start_encoding(std::FILE* file, std::vector<std::uint8_t>* memory, int width, int height,
                      int bit_depth, int color_type, const EncodedNotes& notes) {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors_, on_png_error, on_png_warning);
    if (png_ == nullptr) return failed_png_start(errors_, "libpng could not start");
    info_ = png_create_info_struct(png_);
    if (info_ == nullptr) return failed_png_start(errors_, "libpng could not start");
    if (setjmp(png_jmpbuf(png_))) return false;
    if (memory != nullptr) {
      png_set_write_fn(png_, memory, append_png_bytes, flush_nothing);
    } else {
      png_init_io(png_, file);
    }
    // After PNG's adaptive row filters a picture is mostly small residuals,
    // and runs of them are what deflate finds: zlib's fastest level with
    // run-length matching only (Z_RLE) gives files as small as its default
    // level and search, in a quarter of the time or less (a 4096 x 4096
    // render: 28.3 MB in 3.6 s by default, 25.6 MB in 1.0 s so; see
    // bench/tool_render_bench.cpp).
    png_set_compression_level(png_, Z_BEST_SPEED);
    png_set_compression_strategy(png_, Z_RLE);
    png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 bit_depth, color_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (notes.pixels_per_metre_x > 0 && notes.pixels_per_metre_y > 0) {
      png_set_pHYs(png_, info_, notes.pixels_per_metre_x, notes.pixels_per_metre_y,
                   PNG_RESOLUTION_METER);
    }
    if (notes.text_count > 0) {
      png_set_text(png_, info_, const_cast<png_textp>(notes.texts), notes.text_count);
    }
    png_write_info(png_, info_);
    // PNG's 16-bit samples are big-endian; memory here is little-endian.
    if (bit_depth == 16) png_set_swap(png_);
    return true;
  }

  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  PngErrors errors_{};
};

namespace {

// Writes a picture whose rows, top row first, row(r) gives.
bool write_png_picture(int width, int height, int bit_depth, int color_type, const PngNotes& notes,
                       const char* path,
                       const std::function<const std::uint8_t*(int file_row)>& row) {
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "Can't write PNG file %s: the picture is empty\n", path);
    return false;
  }
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Can't open PNG file %s for writing: %s\n", path,
                 std::strerror(file.error()));
    return false;
  }
  PngRowWriter png;
  bool encoded = png.start(file.get(), nullptr, width, height, bit_depth, color_type, notes);
  for (int r = 0; r < height && encoded; ++r) encoded = png.write_row(row(r));
  encoded = encoded && png.end();
  return finish_png_file(file, encoded, png.message(), path);
}

// The rows of a bottom-up picture in memory, top row first.
std::function<const std::uint8_t*(int)> bottom_up_rows(const std::uint8_t* bottom_row,
                                                       std::size_t row_bytes, int height) {
  return [=](int r) { return bottom_row + static_cast<std::size_t>(height - 1 - r) * row_bytes; };
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

// What one pass over a PNG file fills: the samples, when `photograph` is
// not null (sized here once the size is known and checked, at 8 bits or,
// for a 16-bit picture when `keep_16_bits`, at 16), and the notes, when
// `notes` is not null. Without samples the rows pass through one scratch
// row, held here so that a jump can free it.
struct PngDecode {
  Photograph* photograph;
  bool keep_16_bits;
  PngNotes* notes;
  std::uint8_t* scratch_row;
};

// Beyond the file's own size, what libpng may allocate to inflate one
// compressed text or profile chunk, so that a few kilobytes of deflate
// cannot demand gigabytes.
constexpr std::size_t chunk_allocation_margin = std::size_t{16} << 20;

std::uint32_t big_endian_32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
         std::uint32_t{p[3]};
}

// Whether every chunk's length (PNG 5.3: length, type, data, CRC) fits in
// the bytes that follow it, up to IEND or the end. libpng allocates a
// chunk's stated length before it reads the data, so a forged length
// would cost up to 2 GiB of memory before it finds the file shorter.
bool chunk_lengths_fit(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 8;  // after the signature
  while (size - at >= 8) {
    const std::uint32_t length = big_endian_32(data + at);
    if (length > size - at - 8) return false;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += 8 + std::size_t{length};
    if (size - at < 4) return false;  // no room for the CRC
    at += 4;
  }
  return true;  // libpng finds a file that stops between chunks
}

void collect_notes(png_structp png, png_infop info, png_infop end_info, PngNotes& notes) {
  png_uint_32 x = 0;
  png_uint_32 y = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &x, &y, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
    notes.pixels_per_metre_x = x;
    notes.pixels_per_metre_y = y;
  }
  for (png_infop part : {info, end_info}) {
    png_textp texts = nullptr;
    int count = 0;
    png_get_text(png, part, &texts, &count);
    for (int i = 0; i < count; ++i) {
      const std::size_t length = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE
                                     ? texts[i].itxt_length
                                     : texts[i].text_length;
      notes.texts.push_back({texts[i].key, std::string(texts[i].text, length)});
    }
  }
}

bool decode_png(PngSource& source, PngDecode& decode, PngErrors& errors) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, on_png_warning);
  if (png == nullptr) {
    std::snprintf(errors.message, sizeof errors.message, "libpng could not start");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  png_infop end_info = info == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr || end_info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, &end_info);
    if (decode.photograph != nullptr) *decode.photograph = Photograph{};
    checked_free(decode.scratch_row);
    decode.scratch_row = nullptr;
    return false;
  }
  png_set_chunk_malloc_max(png, source.size + chunk_allocation_margin);
  png_set_read_fn(png, &source, read_png_bytes);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (static_cast<std::uint64_t>(width) * height > max_png_pixels) {
    png_error(png, "the picture is larger than 16384 x 16384 pixels");
  }
  const int bit_depth = png_get_bit_depth(png, info);
  const int bits = bit_depth == 16 && decode.keep_16_bits ? 16 : 8;
  if (decode.photograph != nullptr) {
    const int color_type = png_get_color_type(png, info);
    if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((color_type & PNG_COLOR_MASK_COLOR) == 0 && bit_depth < 8) {
      png_set_expand_gray_1_2_4_to_8(png);
    }
    if (bit_depth == 16 && bits == 8) png_set_strip_16(png);
    // PNG's 16-bit samples are big-endian; memory here is little-endian.
    if (bits == 16) png_set_swap(png);
    if ((color_type & PNG_COLOR_MASK_ALPHA) != 0) png_set_strip_alpha(png);
    if ((color_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3 * (bits / 8);
  png_bytep pixels = nullptr;
  if (decode.photograph != nullptr) {
    if (png_get_rowbytes(png, info) != row_bytes) png_error(png, "unexpected row layout");
    Photograph& out = *decode.photograph;
    allocate_photograph_samples(out, static_cast<int>(width), static_cast<int>(height), bits);
    pixels = bits == 16 ? reinterpret_cast<png_bytep>(out.samples16.data()) : out.samples8.data();
  } else {
    decode.scratch_row = static_cast<std::uint8_t*>(checked_alloc(png_get_rowbytes(png, info)));
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 r = 0; r < height; ++r) {
      png_read_row(png, pixels != nullptr ? pixels + (height - 1 - r) * row_bytes : decode.scratch_row,
                   nullptr);
    }
  }
  png_read_end(png, end_info);
  if (decode.notes != nullptr) collect_notes(png, info, end_info, *decode.notes);
  png_destroy_read_struct(&png, &info, &end_info);
  checked_free(decode.scratch_row);
  decode.scratch_row = nullptr;
  return true;
}

// Runs `decode` over the bytes; false after the reader's message naming
// `name`.
bool decode_png_bytes(const std::uint8_t* data, std::size_t size, const char* name,
                      PngDecode& decode) {
  if (!has_png_signature(data, size)) {
    std::fprintf(stderr, "PNG file %s cannot be decoded: not a PNG file\n", name);
    return false;
  }
  if (!chunk_lengths_fit(data, size)) {
    std::fprintf(stderr, "PNG file %s cannot be decoded: a chunk is longer than the file\n",
                 name);
    return false;
  }
  PngSource source{data, size, 0};
  PngErrors errors{};
  if (!decode_png(source, decode, errors)) {
    std::fprintf(stderr, "PNG file %s cannot be decoded: %s\n", name, errors.message);
    return false;
  }
  return true;
}

bool decode_png_samples(const std::uint8_t* data, std::size_t size, const char* name,
                        bool keep_16_bits, Photograph& out) {
  PngDecode decode{&out, keep_16_bits, nullptr, nullptr};
  return decode_png_bytes(data, size, name, decode);
}

}  // namespace

bool write_png_rgb(const RgbImage& image, const char* path, const PngNotes& notes) {
  const std::size_t row_bytes = static_cast<std::size_t>(image.width > 0 ? image.width : 0) * 3;
  return write_png_picture(image.width, image.height, 8, PNG_COLOR_TYPE_RGB, notes, path,
                           bottom_up_rows(image.pixels, row_bytes, image.height));
}

bool write_png_grey16(const std::uint16_t* samples, int width, int height, const char* path,
                      const PngNotes& notes) {
  const std::size_t row_bytes = static_cast<std::size_t>(width > 0 ? width : 0) * 2;
  return write_png_picture(
      width, height, 16, PNG_COLOR_TYPE_GRAY, notes, path,
      bottom_up_rows(reinterpret_cast<const std::uint8_t*>(samples), row_bytes, height));
}

bool encode_png_rgb(const std::uint8_t* top_row, std::ptrdiff_t row_step, int width, int height,
                    std::vector<std::uint8_t>& png) {
  png.clear();
  if (width <= 0 || height <= 0) return false;
  PngRowWriter writer;
  bool encoded = writer.start(nullptr, &png, width, height, 8, PNG_COLOR_TYPE_RGB, PngNotes{});
  for (int r = 0; r < height && encoded; ++r) encoded = writer.write_row(top_row + r * row_step);
  return encoded && writer.end();
}

bool decode_png_notes(const std::uint8_t* data, std::size_t size, const char* name,
                      PngNotes& notes) {
  notes = PngNotes{};
  PngDecode decode{nullptr, false, &notes, nullptr};
  if (decode_png_bytes(data, size, name, decode)) return true;
  notes = PngNotes{};
  return false;
}

bool read_png_notes(const char* path, PngNotes& notes) {
  std::string bytes;
  if (read_whole_file(path, max_png_file_bytes, bytes) != WholeFile::read) {
    std::fprintf(stderr, "Unable to load png file %s\n", path);
    return false;
  }
  return decode_png_notes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path,
                          notes);
}

const std::string* find_png_text(const PngNotes& notes, const std::string& key) {
  for (const PngText& note : notes.texts) {
    if (note.key == key) return &note.text;
  }
  return nullptr;
}

bool write_png_grey16_rows(int width, int height, const char* path,
                           const std::function<void(int y, std::uint16_t* samples)>& row,
                           const PngNotes& notes) {
  std::vector<std::uint16_t> samples(static_cast<std::size_t>(width > 0 ? width : 0));
  return write_png_picture(width, height, 16, PNG_COLOR_TYPE_GRAY, notes, path, [&](int file_row) {
    row(height - 1 - file_row, samples.data());
    return reinterpret_cast<const std::uint8_t*>(samples.data());
  });
}

PngRows start_png_rows(std::FILE* file, int width, int height, int bit_depth, const PngNotes& notes,
                       std::string& error) {
  PngRows writer(new PngRowWriter);
  if (writer->start(file, nullptr, width, height, bit_depth,
                    bit_depth == 16 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, notes)) {
    return writer;
  }
  error = writer->message();
  return nullptr;
}

bool write_png_row(PngRowWriter& writer, const std::uint8_t* row, std::string& error) {
  if (writer.write_row(row)) return true;
  error = writer.message();
  return false;
}

bool end_png_rows(PngRowWriter& writer, std::string& error) {
  if (writer.end()) return true;
  error = writer.message();
  return false;
}

void PngRowWriterDeleter::operator()(PngRowWriter* writer) const { delete writer; }

bool has_png_signature(const std::uint8_t* data, std::size_t size) {
  return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

bool png_picture_size(const std::uint8_t* data, std::size_t size, int& width, int& height) {
  constexpr std::size_t header_end = 24;  // signature 8, chunk length 4, type 4, width, height
  if (size < header_end || !has_png_signature(data, size) || std::memcmp(data + 12, "IHDR", 4) != 0) {
    return false;
  }
  const std::uint32_t w = big_endian_32(data + 16);
  const std::uint32_t h = big_endian_32(data + 20);
  if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

RgbImage* decode_png_rgb(const std::uint8_t* data, std::size_t size, const char* name) {
  Photograph picture;
  if (!decode_png_samples(data, size, name, false, picture)) return nullptr;
  return photograph_rgb_image(picture);
}

bool decode_png_photograph(const std::uint8_t* data, std::size_t size, const char* name,
                           Photograph& out) {
  return decode_png_samples(data, size, name, true, out);
}

RgbImage* read_png_rgb(const char* path) {
  std::string bytes;
  if (read_whole_file(path, max_png_file_bytes, bytes) != WholeFile::read) {
    std::fprintf(stderr, "Unable to load png file %s\n", path);
    return nullptr;
  }
  return decode_png_rgb(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path);
}
