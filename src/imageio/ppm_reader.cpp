// Reading Netpbm "portable pixmap" files: binary P6 and ASCII P3 colour
// images into bottom-up RgbImages, and the size alone from any PPM header.
//
// The header is "magic, width, height, maximum value", then one whitespace
// byte before P6 binary data. Lines whose first character is '#' are
// comments. The width and height are taken from the first non-comment line;
// the maximum value is the next number after that line. So a header written
// on one line ("P6 2 2 255") is misread: its maximum value is looked for in
// the pixel data. Samples are never rescaled by the maximum value: a 16-bit
// P6 file is read one byte per sample, as if it were 8-bit.
//
// Every malformed file ends the program with a message naming it; the
// reader returns null only when the file cannot be opened. The size is
// checked against the bytes left in the file before anything is allocated,
// so a small hostile header cannot ask for gigabytes.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/end_program.h"
#include "common/file_handle.h"
#include "imageio/image_files.h"

namespace {

struct ImageFreer {
  void operator()(RgbImage* image) const { free_rgb_image(image); }
};
using ImagePtr = std::unique_ptr<RgbImage, ImageFreer>;

// Header lines are read into a 100-byte buffer: at most 99 characters and
// the terminating zero. The rest of a longer line is discarded, so an
// over-long comment is still one skipped line.
constexpr int header_line_size = 100;

// Longest magic word kept; "P6" and "P3" are all that is accepted.
constexpr int magic_size = 16;

// Reads one line without its newline. Returns false at end of file when
// nothing at all was read.
bool read_header_line(std::FILE* file, char (&line)[header_line_size]) {
  int length = 0;
  int c;
  bool read_any = false;
  while ((c = std::getc(file)) != EOF) {
    read_any = true;
    if (c == '\n') break;
    if (length < header_line_size - 1) line[length++] = static_cast<char>(c);
  }
  line[length] = '\0';
  return read_any;
}

bool is_blank(const char* line) {
  for (; *line != '\0'; ++line) {
    if (!std::isspace(static_cast<unsigned char>(*line))) return false;
  }
  return true;
}

// Parses an optionally signed decimal number like "%d" does, moving `text`
// past it. Fails when there is no number or it does not fit an int.
bool parse_decimal(const char*& text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  text = end;
  value = static_cast<int>(parsed);
  return true;
}

// The first character after any whitespace, or EOF.
int next_non_space(std::FILE* file) {
  int c;
  do {
    c = std::getc(file);
  } while (c != EOF && std::isspace(c));
  return c;
}

// Reads the next optionally signed decimal number from the stream, after
// any whitespace, like fscanf's "%d". Fails when there is no number or it
// does not fit an int.
bool read_decimal(std::FILE* file, int& value) {
  int c = next_non_space(file);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = std::getc(file);
  if (!std::isdigit(c)) return false;
  long long magnitude = 0;
  for (; std::isdigit(c); c = std::getc(file)) {
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (c != EOF) std::ungetc(c, file);
  const long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT_MAX) return false;
  value = static_cast<int>(signed_value);
  return true;
}

// Reads the magic word and skips the whitespace after it.
void read_magic(std::FILE* file, char (&magic)[magic_size]) {
  // An empty file has no magic word at all.
  if (std::fscanf(file, "%15s", magic) != 1) magic[0] = '\0';
  const int c = next_non_space(file);
  if (c != EOF) std::ungetc(c, file);
}

// Reads the width and height: comment lines (and blank ones, which hold no
// size either) are skipped, the first other line is parsed as "%d %d", and
// when that line holds only the width the height is the next number in the
// file. Returns false when either number is missing or not a number.
bool read_header_size(std::FILE* file, int& width, int& height) {
  char line[header_line_size];
  do {
    if (!read_header_line(file, line)) return false;
  } while (line[0] == '#' || is_blank(line));
  const char* text = line;
  if (!parse_decimal(text, width)) return false;
  if (parse_decimal(text, height)) return true;
  return read_decimal(file, height);
}

// Ends the program unless the size is usable. The pixel buffer's byte
// count must fit an int, as the image code indexes it with ints.
void check_size(const char* who, const char* path, int width, int height) {
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "%s Error: %s has an invalid size %d x %d\n", who, path, width, height);
    end_program(-1);
  }
  // width * height fits 64 bits for any two ints; three times it may not.
  if (static_cast<long long>(width) * height > INT_MAX / 3) {
    std::fprintf(stderr, "%s Error: %s is too large (%d x %d)\n", who, path, width, height);
    end_program(-1);
  }
}

[[noreturn]] void report_early_end(const char* path) {
  std::fprintf(stderr, "Input_ppm_and_create_as_char_image Error: %s ends before its pixel data\n",
               path);
  end_program(-1);
}

// Bytes from the current position to the end of a regular file, or -1
// when that cannot be known (a pipe or a device).
long long bytes_left(std::FILE* file) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  const long position = std::ftell(file);
  if (position < 0) return -1;
  return static_cast<long long>(status.st_size) - position;
}

// Files store the top row first; the image keeps row 0 at the bottom.
std::uint8_t* image_row_for_file_row(RgbImage& image, int file_row) {
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
  return image.pixels + static_cast<std::size_t>(image.height - 1 - file_row) * row_bytes;
}

void read_p6_pixels(std::FILE* file, const char* path, RgbImage& image) {
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
  for (int file_row = 0; file_row < image.height; ++file_row) {
    if (std::fread(image_row_for_file_row(image, file_row), 1, row_bytes, file) != row_bytes) {
      report_early_end(path);
    }
  }
}

bool is_digit_in_base(int c, int base) {
  if (base == 16) return std::isxdigit(c);
  if (base == 8) return c >= '0' && c <= '7';
  return std::isdigit(c);
}

int digit_value(int c) {
  if (std::isdigit(c)) return c - '0';
  return std::tolower(c) - 'a' + 10;
}

[[noreturn]] void report_bad_sample(const char* path) {
  std::fprintf(stderr,
               "Input_ppm_and_create_as_char_image Error: %s has a pixel value that is not a "
               "number\n",
               path);
  end_program(-1);
}

// Reads one P3 sample the way fscanf's "%i" does: whitespace, an optional
// sign, then hexadecimal after "0x", octal after a leading 0, decimal
// otherwise; the number ends at the first character that is not a digit of
// its base. The value is accumulated modulo 2^32, which keeps its low 8
// bits (the stored sample) exact however long the number is.
std::uint8_t read_p3_sample(std::FILE* file, const char* path) {
  int c = next_non_space(file);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = std::getc(file);
  if (c == EOF) report_early_end(path);
  if (!std::isdigit(c)) report_bad_sample(path);

  int base = 10;
  if (c == '0') {
    c = std::getc(file);
    base = 8;
    if (c == 'x' || c == 'X') {
      base = 16;
      c = std::getc(file);
      // "0x" must be followed by a hexadecimal digit.
      if (c == EOF) report_early_end(path);
      if (!std::isxdigit(c)) report_bad_sample(path);
    }
  }
  std::uint32_t value = 0;
  for (; is_digit_in_base(c, base); c = std::getc(file)) {
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit_value(c));
  }
  if (c != EOF) std::ungetc(c, file);
  if (negative) value = 0u - value;
  return static_cast<std::uint8_t>(value & 0xff);
}

void read_p3_pixels(std::FILE* file, const char* path, RgbImage& image) {
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
  for (int file_row = 0; file_row < image.height; ++file_row) {
    std::uint8_t* row = image_row_for_file_row(image, file_row);
    for (std::size_t i = 0; i < row_bytes; ++i) row[i] = read_p3_sample(file, path);
  }
}

}  // namespace

RgbImage* Input_ppm_and_create_as_char_image(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    std::fprintf(stderr, "Unable to load ppm file %s\n", path);
    return nullptr;
  }

  // The magic is checked before the header is parsed, so that nothing is
  // allocated for a file that will not be read.
  char magic[magic_size];
  read_magic(file.get(), magic);
  const bool binary = std::strcmp(magic, "P6") == 0;
  if (!binary && std::strcmp(magic, "P3") != 0) {
    if (std::strcmp(magic, "P5") == 0) {
      std::printf("Read operation is not coded to flip in y yet for monochrome images\n");
    } else {
      std::printf("Input_ppm_and_create_as_char_image Error: Couldn't parse ppm header\n");
    }
    end_program(-1);
  }

  int width = 0;
  int height = 0;
  if (!read_header_size(file.get(), width, height)) {
    std::fprintf(stderr,
                 "Input_ppm_and_create_as_char_image Error: %s has no valid width and height in "
                 "its header\n",
                 path);
    end_program(-1);
  }
  check_size("Input_ppm_and_create_as_char_image", path, width, height);

  // The maximum value is required but not used.
  int maximum_value = 0;
  if (!read_decimal(file.get(), maximum_value)) {
    std::fprintf(stderr,
                 "Input_ppm_and_create_as_char_image Error: %s has no valid maximum value in its "
                 "header\n",
                 path);
    end_program(-1);
  }
  const int separator = std::getc(file.get());
  if (separator == EOF) report_early_end(path);
  if (separator != ' ' && separator != '\t' && separator != '\n') {
    std::fprintf(stderr,
                 "Read ppm as gl_rgb error, something besides white space after grey value\n");
    end_program(-1);
  }

  // A P6 sample is one byte; a P3 sample is at least one digit. Either way
  // a file holding fewer bytes than samples cannot be complete.
  const long long samples = static_cast<long long>(width) * height * 3;
  const long long available = bytes_left(file.get());
  if (available >= 0 && available < samples) report_early_end(path);

  ImagePtr image(new_rgb_image(width, height));
  if (binary) {
    read_p6_pixels(file.get(), path, *image);
  } else {
    read_p3_pixels(file.get(), path, *image);
  }
  return image.release();
}

void Input_ppm_size(const char* path, int& width, int& height) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    std::fprintf(stderr, "Input_ppm_size Error: Can't open ppm file: %s\n", path);
    end_program(-1);
  }
  // The magic word is not checked: only the size is wanted.
  char magic[magic_size];
  read_magic(file.get(), magic);
  int header_width = 0;
  int header_height = 0;
  if (!read_header_size(file.get(), header_width, header_height)) {
    std::fprintf(stderr, "Input_ppm_size Error: %s has no valid width and height in its header\n",
                 path);
    end_program(-1);
  }
  check_size("Input_ppm_size", path, header_width, header_height);
  width = header_width;
  height = header_height;
}
