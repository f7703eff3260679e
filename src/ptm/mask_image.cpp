#include "ptm/mask_image.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "common/checked_alloc.h"
#include "common/end_program.h"
#include "common/file_handle.h"
#include "ptm/header_tokens.h"

namespace {

bool not_a_ppm(const char* path) {
  std::fprintf(stderr, "readppm: %s is not a PPM image\n", path);
  return false;
}

// One header number after any comments; false when there is none.
bool read_header_number(std::FILE* file, int& value) {
  skip_ppm_comments(file);
  HeaderToken token;
  return read_header_token(file, token) == TokenStatus::ok && parse_decimal_int(token.text, value);
}

std::uint64_t bytes_left(std::FILE* file) {
  struct stat info {};
  const long position = std::ftell(file);
  if (fstat(fileno(file), &info) != 0 || position < 0 || info.st_size < position) return 0;
  return static_cast<std::uint64_t>(info.st_size - position);
}

// P3 samples are integers in C literal form; their low bytes are kept.
bool read_ascii_samples(std::FILE* file, std::uint8_t* pixels, std::size_t count) {
  HeaderToken token;
  for (std::size_t i = 0; i < count; ++i) {
    std::int32_t sample = 0;
    if (read_header_token(file, token) != TokenStatus::ok || !parse_c_int(token.text, sample)) {
      return false;
    }
    pixels[i] = static_cast<std::uint8_t>(sample);
  }
  return true;
}

}  // namespace

void skip_ppm_comments(std::FILE* file) {
  for (;;) {
    int c = std::getc(file);
    while (c != EOF && std::isspace(c)) c = std::getc(file);
    if (c != '#') {
      if (c != EOF) std::ungetc(c, file);
      return;
    }
    while (c != EOF && c != '\n') c = std::getc(file);
  }
}

std::uint8_t* readppm(const char* path, int& width, int& height) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    std::fprintf(stderr, "Unable to readppm: %s\n", path);
    return nullptr;
  }
  HeaderToken magic;
  int type = 0;
  int max_value = 0;
  if (read_header_token(file.get(), magic) != TokenStatus::ok || magic.text[0] != 'P' ||
      !parse_decimal_int(magic.text + 1, type) || !read_header_number(file.get(), width) ||
      !read_header_number(file.get(), height)) {
    not_a_ppm(path);
    return nullptr;
  }
  skip_ppm_comments(file.get());
  HeaderToken max_token;
  if (read_header_token(file.get(), max_token) != TokenStatus::ok ||
      !parse_decimal_int(max_token.text, max_value)) {
    not_a_ppm(path);
    return nullptr;
  }
  if (max_value != 255) {
    std::fprintf(stderr, "Don't know how to handle ppm maxval of %i\n", max_value);
    end_program(1);
  }
  // The byte after the maximum value (consumed with it) should be a line feed.
  if (max_token.terminator != '\n') std::fprintf(stderr, "Possible problem reading ppm %s\n", path);
  if (type != 6 && type != 3) {
    std::fprintf(stderr, "I don't know how to handle this kind of ppm\n");
    file.reset();
    end_program(1);
  }
  if (width <= 0 || height <= 0 || std::int64_t{width} * height > INT32_MAX / 3) {
    std::fprintf(stderr, "readppm: invalid image size %d x %d in %s\n", width, height, path);
    return nullptr;
  }
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
  // Every binary sample is one byte and every ASCII sample at least one
  // digit and a separator: a file that cannot hold them is refused before
  // anything is allocated.
  const std::uint64_t smallest_file = type == 6 ? bytes : 2 * bytes - 1;
  if (bytes_left(file.get()) < smallest_file) {
    std::fprintf(stderr, "readppm: %s ends before its pixel data\n", path);
    return nullptr;
  }
  auto* pixels = checked_alloc_array<std::uint8_t>(bytes);
  const bool complete = type == 6 ? std::fread(pixels, 1, bytes, file.get()) == bytes
                                  : read_ascii_samples(file.get(), pixels, bytes);
  if (!complete) {
    std::fprintf(stderr, "readppm: %s ends before its pixel data\n", path);
    checked_free(pixels);
    return nullptr;
  }
  return pixels;
}

void load_mask(Ptm& ptm, const char* ptm_path) {
  const std::string path(ptm_path);
  const std::string mask_path = path.substr(0, path.size() >= 4 ? path.size() - 4 : 0) + "mask.ppm";
  {
    FileHandle probe(std::fopen(mask_path.c_str(), "rb"));
    if (!probe) return;
  }
  std::printf("Loading mask image\n");
  int width = 0;
  int height = 0;
  std::uint8_t* pixels = readppm(mask_path.c_str(), width, height);
  if (pixels == nullptr) return;
  if (width == ptm.width && height == ptm.height) {
    const std::size_t count = pixel_count(ptm);
    ptm.mask = checked_alloc_array<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) ptm.mask[i] = pixels[i * 3];
  } else {
    std::fprintf(stderr, "read_ptm_file: mask image size does not match ptm size\n");
  }
  checked_free(pixels);
}
