#include "imageio/photograph_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_handle.h"
#include "common/whole_file.h"
#include "imageio/colour_profile.h"
#include "imageio/embedded_profile.h"
#include "imageio/jpeg_photograph.h"
#include "imageio/netpbm_photograph.h"
#include "imageio/png_image.h"
#include "imageio/tiff_photograph.h"

namespace {

enum class PhotographFormat { jpeg, png, netpbm, tiff, unknown };

// An uncompressed PPM of max_photograph_pixels at 16 bits is 1.5 GB.
constexpr std::size_t max_photograph_file_bytes = std::size_t{1} << 31;

// Where the size is read from the start of the file: the PNG signature
// and image header chunk (24 bytes), a Netpbm header with its comments.
constexpr std::size_t file_start_bytes = 65536;

bool is_tiff(const std::uint8_t* b, std::size_t size) {
  // "II" (little-endian) or "MM" (big-endian), then 42, or 43 for BigTIFF.
  if (size < 4) return false;
  if (b[0] == 'I' && b[1] == 'I') return (b[2] == 42 || b[2] == 43) && b[3] == 0;
  if (b[0] == 'M' && b[1] == 'M') return b[2] == 0 && (b[3] == 42 || b[3] == 43);
  return false;
}

PhotographFormat recognise(const std::uint8_t* b, std::size_t size) {
  if (has_png_signature(b, size)) return PhotographFormat::png;
  if (has_jpeg_start(b, size)) return PhotographFormat::jpeg;
  if (has_netpbm_magic(b, size)) return PhotographFormat::netpbm;
  if (is_tiff(b, size)) return PhotographFormat::tiff;
  return PhotographFormat::unknown;
}

bool recognised(const char* name, const std::uint8_t* b, std::size_t size,
                PhotographFormat& format) {
  format = recognise(b, size);
  if (format != PhotographFormat::unknown) return true;
  std::printf("Photograph %s is not a JPEG, PNG, PPM, PGM or TIFF picture\n", name);
  return false;
}

bool within_limit(const char* name, int width, int height) {
  if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <=
      max_photograph_pixels) {
    return true;
  }
  std::printf("Photograph %s is too large: %d x %d pixels, more than %llu\n", name, width, height,
              static_cast<unsigned long long>(max_photograph_pixels));
  return false;
}

// The header's size against the request and the limit, before decoding.
PhotographRead check_size(const char* name, int width, int height,
                          const PhotographRequest& request, Photograph& photograph) {
  if ((request.width != 0 || request.height != 0) &&
      (width != request.width || height != request.height)) {
    photograph.width = width;
    photograph.height = height;
    return PhotographRead::other_size;
  }
  return within_limit(name, width, height) ? PhotographRead::read : PhotographRead::unreadable;
}

void apply_profile(const char* name, const PhotographRequest& request, EmbeddedProfile found,
                   const std::uint8_t* profile, std::size_t size, std::string problem,
                   Photograph& photograph) {
  if (found == EmbeddedProfile::none) return;
  if (found == EmbeddedProfile::found && convert_to_srgb(profile, size, photograph, problem)) {
    return;
  }
  if (request.report_profile_problems) {
    std::fprintf(stderr, "Photograph %s: %s; its colours are taken as sRGB\n", name,
                 problem.c_str());
  }
}

// The profile a JPEG or PNG file carries, applied unless the samples are
// wanted as stored.
template <typename FindProfile>
void apply_embedded_profile(FindProfile find, const std::uint8_t* data, std::size_t size,
                            const char* name, const PhotographRequest& request,
                            Photograph& photograph) {
  if (request.as_stored) return;
  std::vector<std::uint8_t> profile;
  std::string problem;
  const EmbeddedProfile found = find(data, size, profile, problem);
  apply_profile(name, request, found, profile.data(), profile.size(), problem, photograph);
}

PhotographRead read_jpeg(const std::uint8_t* data, std::size_t size, const char* name,
                         const PhotographRequest& request, Photograph& photograph) {
  JpegPhotograph* jpeg = open_jpeg_photograph(data, size, name);
  if (jpeg == nullptr) return PhotographRead::unreadable;
  PhotographRead result = check_size(name, jpeg_photograph_width(jpeg),
                                     jpeg_photograph_height(jpeg), request, photograph);
  if (result == PhotographRead::read && !decode_jpeg_photograph(jpeg, photograph)) {
    result = PhotographRead::unreadable;
  }
  close_jpeg_photograph(jpeg);
  if (result == PhotographRead::read) {
    apply_embedded_profile(find_jpeg_icc_profile, data, size, name, request, photograph);
  }
  return result;
}

PhotographRead read_png(const std::uint8_t* data, std::size_t size, const char* name,
                        const PhotographRequest& request, Photograph& photograph) {
  int width = 0;
  int height = 0;
  if (!png_picture_size(data, size, width, height)) {
    std::printf("PNG file %s cannot be decoded: its header is damaged\n", name);
    return PhotographRead::unreadable;
  }
  const PhotographRead result = check_size(name, width, height, request, photograph);
  if (result != PhotographRead::read) return result;
  if (!decode_png_photograph(data, size, name, photograph)) return PhotographRead::unreadable;
  apply_embedded_profile(find_png_icc_profile, data, size, name, request, photograph);
  return PhotographRead::read;
}

PhotographRead read_netpbm(const std::uint8_t* data, std::size_t size, const char* name,
                           const PhotographRequest& request, Photograph& photograph) {
  NetpbmHeader header;
  std::string problem;
  if (!read_netpbm_header(data, size, header, problem)) {
    std::printf("PPM photograph %s cannot be decoded: %s\n", name, problem.c_str());
    return PhotographRead::unreadable;
  }
  const PhotographRead result = check_size(name, header.width, header.height, request, photograph);
  if (result != PhotographRead::read) return result;
  // Netpbm files carry no colour profile: they are sRGB.
  if (!decode_netpbm_photograph(data, size, header, photograph, problem)) {
    std::printf("PPM photograph %s cannot be decoded: %s\n", name, problem.c_str());
    return PhotographRead::unreadable;
  }
  return PhotographRead::read;
}

// Checks, decodes and closes an open TIFF photograph (null: not opened).
PhotographRead read_tiff(TiffPhotograph* tiff, const char* name, const PhotographRequest& request,
                         Photograph& photograph) {
  if (tiff == nullptr) return PhotographRead::unreadable;
  PhotographRead result = check_size(name, tiff_photograph_width(tiff),
                                     tiff_photograph_height(tiff), request, photograph);
  if (result == PhotographRead::read && !decode_tiff_photograph(tiff, photograph)) {
    result = PhotographRead::unreadable;
  }
  const std::uint8_t* profile = nullptr;
  std::size_t profile_size = 0;
  if (result == PhotographRead::read && !request.as_stored &&
      tiff_icc_profile(tiff, profile, profile_size)) {
    apply_profile(name, request, EmbeddedProfile::found, profile, profile_size, "", photograph);
  }
  close_tiff_photograph(tiff);
  return result;
}

// The open file and the bytes read from its start (up to
// file_start_bytes); false after a message when it cannot be opened.
bool open_photograph_file(const char* path, FileHandle& file, std::string& start) {
  file.reset(std::fopen(path, "rb"));
  if (!file) {
    std::printf("Photograph %s cannot be opened: %s\n", path, std::strerror(errno));
    return false;
  }
  start.resize(file_start_bytes);
  start.resize(std::fread(start.data(), 1, start.size(), file.get()));
  return true;
}

// The rest of the open file after its start, so that `bytes` holds it all.
bool read_rest_of_photograph(const char* path, std::FILE* file, std::string& bytes) {
  switch (read_rest_of_file(file, max_photograph_file_bytes, bytes)) {
    case WholeFile::read:
      return true;
    case WholeFile::cannot_open:
      break;
    case WholeFile::too_large:
      std::printf("Photograph %s is larger than %zu bytes; not read\n", path,
                  max_photograph_file_bytes);
      return false;
    case WholeFile::read_error:
      break;
  }
  std::printf("Photograph %s cannot be read: %s\n", path, std::strerror(errno));
  return false;
}

std::uint64_t file_size(std::FILE* file) {
  struct stat status;
  return fstat(fileno(file), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// A photograph that could not be read is left empty, whatever part of it
// was decoded.
PhotographRead finish(PhotographRead result, Photograph& photograph) {
  if (result == PhotographRead::unreadable) reset_photograph(photograph);
  return result;
}

const std::uint8_t* bytes_of(const std::string& bytes) {
  return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

}  // namespace

bool read_photograph_header(const char* path, PhotographHeader& header) {
  header = PhotographHeader{};
  FileHandle file;
  std::string bytes;
  PhotographFormat format;
  if (!open_photograph_file(path, file, bytes) ||
      !recognised(path, bytes_of(bytes), bytes.size(), format)) {
    return false;
  }
  const std::uint64_t stored_bytes = file_size(file.get());
  switch (format) {
    case PhotographFormat::png:
      if (!png_picture_size(bytes_of(bytes), bytes.size(), header.width, header.height)) {
        std::printf("PNG file %s cannot be decoded: its header is damaged\n", path);
        return false;
      }
      // The image header's bit depth follows the size (ISO/IEC 15948, 11.2.2).
      header.bits = bytes[24] == 16 ? 16 : 8;
      break;
    case PhotographFormat::jpeg: {
      if (jpeg_frame_size(bytes_of(bytes), bytes.size(), header.width, header.height)) break;
      // The frame header lies beyond the first bytes, or the stream is one
      // libjpeg must judge: the whole file.
      if (!read_rest_of_photograph(path, file.get(), bytes)) return false;
      JpegPhotograph* jpeg = open_jpeg_photograph(bytes_of(bytes), bytes.size(), path);
      if (jpeg == nullptr) return false;
      header.width = jpeg_photograph_width(jpeg);
      header.height = jpeg_photograph_height(jpeg);
      close_jpeg_photograph(jpeg);
      break;
    }
    case PhotographFormat::netpbm: {
      NetpbmHeader netpbm;
      std::string problem;
      if (!read_netpbm_header(bytes_of(bytes), bytes.size(), netpbm, problem)) {
        std::printf("PPM photograph %s cannot be decoded: %s\n", path, problem.c_str());
        return false;
      }
      header.width = netpbm.width;
      header.height = netpbm.height;
      header.bits = netpbm.maximum > 255 ? 16 : 8;
      break;
    }
    case PhotographFormat::tiff: {
      file.reset();
      TiffPhotograph* tiff = open_tiff_photograph_file(path);
      if (tiff == nullptr) return false;
      header.width = tiff_photograph_width(tiff);
      header.height = tiff_photograph_height(tiff);
      header.bits = tiff_photograph_bits(tiff);
      close_tiff_photograph(tiff);
      break;
    }
    case PhotographFormat::unknown:
      return false;
  }
  if (!within_limit(path, header.width, header.height)) return false;
  header.reading_bytes = static_cast<std::uint64_t>(header.width) * header.height * 3 *
                         (header.bits / 8);
  if (format != PhotographFormat::tiff) header.reading_bytes += stored_bytes;
  return true;
}

PhotographRead read_photograph(const char* path, const PhotographRequest& request,
                               Photograph& photograph) {
  reset_photograph(photograph);
  FileHandle file;
  std::string bytes;
  PhotographFormat format;
  if (!open_photograph_file(path, file, bytes) ||
      !recognised(path, bytes_of(bytes), bytes.size(), format)) {
    return PhotographRead::unreadable;
  }
  // libtiff reads the parts of a TIFF it needs where they lie; every
  // other format is decoded from the whole file in memory.
  if (format == PhotographFormat::tiff) {
    file.reset();
    return finish(read_tiff(open_tiff_photograph_file(path), path, request, photograph),
                  photograph);
  }
  if (!read_rest_of_photograph(path, file.get(), bytes)) return PhotographRead::unreadable;
  file.reset();
  return decode_photograph(bytes_of(bytes), bytes.size(), path, request, photograph);
}

PhotographRead decode_photograph(const std::uint8_t* data, std::size_t size, const char* name,
                                 const PhotographRequest& request, Photograph& photograph) {
  reset_photograph(photograph);
  PhotographFormat format;
  if (!recognised(name, data, size, format)) return PhotographRead::unreadable;
  PhotographRead result = PhotographRead::unreadable;
  switch (format) {
    case PhotographFormat::jpeg:
      result = read_jpeg(data, size, name, request, photograph);
      break;
    case PhotographFormat::png:
      result = read_png(data, size, name, request, photograph);
      break;
    case PhotographFormat::netpbm:
      result = read_netpbm(data, size, name, request, photograph);
      break;
    case PhotographFormat::tiff:
      result = read_tiff(open_tiff_photograph(data, size, name), name, request, photograph);
      break;
    case PhotographFormat::unknown:
      break;
  }
  return finish(result, photograph);
}

void tell_colour_conversion(const Photograph& photograph, const char* name, bool& told) {
  if (told || photograph.profile.empty()) return;
  std::fprintf(stderr,
               "Photographs with a colour profile are converted to sRGB (perceptual intent); "
               "the first is %s, in \"%s\"\n",
               name, photograph.profile.c_str());
  told = true;
}
