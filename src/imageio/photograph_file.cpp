#include "imageio/photograph_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/file_handle.h"
#include "common/whole_file.h"
#include "imageio/image_files.h"
#include "imageio/jpeg_photograph.h"
#include "imageio/png_image.h"

namespace {

enum class PhotographFormat { jpeg, png, ppm };

// A JPEG stream starts with the SOI marker FF D8 (ITU-T T.81, B.1.1.3);
// only the size needs the rest of the header, which may follow megabytes
// of Exif data, so the whole file is read for it.
constexpr std::size_t max_jpeg_photograph_bytes = std::size_t{1} << 30;

// The first bytes: enough for the PNG signature and its image header
// chunk (the size), and for the JPEG and Netpbm magic numbers.
struct FileStart {
  std::uint8_t bytes[24];
  std::size_t size;
};

bool read_file_start(const char* path, FileStart& start) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    std::printf("Photograph %s cannot be opened: %s\n", path, std::strerror(errno));
    return false;
  }
  start.size = std::fread(start.bytes, 1, sizeof start.bytes, file.get());
  return true;
}

bool recognise(const char* path, const FileStart& start, PhotographFormat& format) {
  const std::uint8_t* b = start.bytes;
  if (has_png_signature(b, start.size)) {
    format = PhotographFormat::png;
  } else if (start.size >= 2 && b[0] == 0xFF && b[1] == 0xD8) {
    format = PhotographFormat::jpeg;
  } else if (start.size >= 2 && b[0] == 'P' && (b[1] == '6' || b[1] == '3')) {
    // Netpbm's magic numbers of binary and ASCII colour pixmaps.
    format = PhotographFormat::ppm;
  } else {
    std::printf("Photograph %s is not a JPEG, PNG or PPM picture\n", path);
    return false;
  }
  return true;
}

bool read_format(const char* path, PhotographFormat& format, FileStart& start) {
  return read_file_start(path, start) && recognise(path, start, format);
}

bool read_jpeg_size(const char* path, int& width, int& height) {
  std::string bytes;
  if (read_whole_file(path, max_jpeg_photograph_bytes, bytes) != WholeFile::read) {
    std::printf("Photograph %s cannot be read\n", path);
    return false;
  }
  JpegPhotograph* photograph =
      open_jpeg_photograph(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path);
  if (photograph == nullptr) return false;
  width = jpeg_photograph_width(photograph);
  height = jpeg_photograph_height(photograph);
  close_jpeg_photograph(photograph);
  return true;
}

}  // namespace

bool read_photograph_size(const char* path, int& width, int& height) {
  PhotographFormat format;
  FileStart start;
  if (!read_format(path, format, start)) return false;
  switch (format) {
    case PhotographFormat::png:
      if (png_picture_size(start.bytes, start.size, width, height)) return true;
      std::printf("PNG file %s cannot be decoded: its header is damaged\n", path);
      return false;
    case PhotographFormat::jpeg:
      return read_jpeg_size(path, width, height);
    case PhotographFormat::ppm:
      Input_ppm_size(path, width, height);
      return true;
  }
  return false;
}

RgbImage* read_photograph(const char* path) {
  PhotographFormat format;
  FileStart start;
  if (!read_format(path, format, start)) return nullptr;
  switch (format) {
    case PhotographFormat::png:
      return read_png_rgb(path);
    case PhotographFormat::jpeg:
      return read_jpeg_photograph(path);
    case PhotographFormat::ppm:
      return Input_ppm_and_create_as_char_image(path);
  }
  return nullptr;
}
