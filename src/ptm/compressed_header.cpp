#include "ptm/compressed_header.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/file_handle.h"
#include "ptm/decoder_alloc.h"
#include "ptm/header_tokens.h"

namespace {

struct CompressedFormat {
  const char* keyword;  // the format word from its fourth character on
  int is_lrgb;
  int compression_type;
};

constexpr CompressedFormat compressed_formats[] = {
    {"_FORMAT_JPEG_RGB", 0, compression_jpeg},
    {"_FORMAT_JPEG_LRGB", 1, compression_jpeg},
    {"_FORMAT_JPEGLS_RGB", 0, compression_jpegls},
    {"_FORMAT_JPEGLS_LRGB", 1, compression_jpegls},
};

bool read_token(std::FILE* file, HeaderToken& token, const char* path, const char* item) {
  if (read_header_token(file, token) == TokenStatus::ok) return true;
  return refuse_compressed_file(path, std::string("its ") + item + " is missing or too long");
}

bool read_int(std::FILE* file, std::int32_t& value, const char* path, const char* item) {
  HeaderToken token;
  if (!read_token(file, token, path, item)) return false;
  if (parse_decimal_int(token.text, value)) return true;
  return refuse_compressed_file(path, std::string("its ") + item + " is not an integer");
}

// The format word names the codec and the plane count; only an exact
// keyword from the fourth character on is accepted, so that a word which
// merely contains one (as the reader's classification allows) is refused.
bool read_format(std::FILE* file, CompressedPtmHeader& header, const char* path) {
  HeaderToken magic;
  HeaderToken format;
  if (!read_token(file, magic, path, "magic word") ||
      !read_token(file, format, path, "format word")) {
    return false;
  }
  std::strcpy(header.header, magic.text);
  std::strcpy(header.format, format.text);
  if (std::strlen(format.text) >= 3) {
    for (const CompressedFormat& f : compressed_formats) {
      if (std::strcmp(format.text + 3, f.keyword) == 0) {
        header.is_lrgb = f.is_lrgb;
        header.num_planes = f.is_lrgb ? 9 : 18;
        header.compression_type = f.compression_type;
        return true;
      }
    }
  }
  return refuse_compressed_file(path, std::string("the format word ") + format.text +
                                          " is not one of the compressed formats");
}

bool read_size_scales_biases(std::FILE* file, CompressedPtmHeader& header, const char* path) {
  if (!read_int(file, header.width, path, "width") ||
      !read_int(file, header.height, path, "height")) {
    return false;
  }
  if (header.width <= 0 || header.height <= 0 || header.width > INT32_MAX / header.height) {
    return refuse_compressed_file(path, "its image size " + std::to_string(header.width) + " x " +
                                            std::to_string(header.height) +
                                            " is not a usable plane size");
  }
  HeaderToken token;
  for (float& scale : header.scale) {
    if (!read_token(file, token, path, "scale")) return false;
    if (!parse_float(token.text, scale))
      return refuse_compressed_file(path, "a scale is not a number");
  }
  for (std::int32_t& bias : header.bias) {
    if (!read_token(file, token, path, "bias")) return false;
    if (!parse_c_int(token.text, bias))
      return refuse_compressed_file(path, "a bias is not an integer");
  }
  return true;
}

bool read_plane_parameters(std::FILE* file, CompressedPtmHeader& header, const char* path) {
  if (!read_int(file, header.compression_param, path, "compression parameter")) return false;
  const struct {
    std::int32_t* values;
    const char* item;
  } rows[] = {
      {header.transformation, "plane transformation"},
      {header.mv_x, "plane motion x"},
      {header.mv_y, "plane motion y"},
      {header.order, "plane order"},
      {header.reference, "plane reference"},
      {header.size, "plane size"},
      {header.side_info, "plane side information size"},
  };
  for (const auto& row : rows) {
    for (int k = 0; k < header.num_planes; ++k) {
      if (!read_int(file, row.values[k], path, row.item)) return false;
    }
  }
  const std::string error = plane_layout_error(header);
  return error.empty() || refuse_compressed_file(path, error);
}

// Plane data follows the last number after any run of whitespace (a JPEG
// or JPEG-LS stream starts with 0xFF). Each plane gets a buffer of exactly
// its stored bytes, so a plane is limited by the file, not by its pixels:
// the stream of a small plane, with its tables, is often longer than the
// plane itself.
bool read_plane_data(std::FILE* file, CompressedPtmHeader& header, const char* path) {
  int c = std::getc(file);
  while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
    c = std::getc(file);
  }
  if (c != EOF) std::ungetc(c, file);
  struct stat info {};
  if (fstat(fileno(file), &info) != 0)
    return refuse_compressed_file(path, "its size cannot be determined");
  const long position = std::ftell(file);
  long long left = position < 0 ? 0 : static_cast<long long>(info.st_size) - position;
  for (int k = 0; k < header.num_planes; ++k) {
    const long long bytes = static_cast<long long>(header.size[k]) + header.side_info[k];
    if (bytes > left) {
      return refuse_compressed_file(
          path, "plane " + std::to_string(k) + " needs " + std::to_string(bytes) +
                    " bytes but the file holds only " + std::to_string(left) + " more");
    }
    left -= bytes;
    header.plane_data[k] = decoder_alloc(static_cast<std::size_t>(bytes));
    if (std::fread(header.plane_data[k], 1, static_cast<std::size_t>(bytes), file) !=
        static_cast<std::size_t>(bytes)) {
      return refuse_compressed_file(path, "plane " + std::to_string(k) + " cannot be read");
    }
  }
  return true;
}

}  // namespace

bool refuse_compressed_file(const char* path, const std::string& reason) {
  std::printf("Compressed ptm file %s cannot be read: %s\n", path, reason.c_str());
  return false;
}

std::string plane_layout_error(const CompressedPtmHeader& header) {
  const int n = header.num_planes;
  bool seen[max_compressed_planes] = {};
  for (int k = 0; k < n; ++k) {
    const std::string plane = "plane " + std::to_string(k);
    const int order = header.order[k];
    if (order < 0 || order >= n || seen[order]) {
      return "the plane order is not a permutation of 0 .. " + std::to_string(n - 1);
    }
    seen[order] = true;
    if (!is_intra_plane(header, k) && (header.reference[k] < 0 || header.reference[k] >= n)) {
      return plane + " is predicted from plane " + std::to_string(header.reference[k]) +
             ", which does not exist";
    }
    if (header.size[k] < 0 || header.side_info[k] < 0) return plane + " has a negative size";
    if (header.side_info[k] % side_info_record_bytes != 0) {
      return plane + " has " + std::to_string(header.side_info[k]) +
             " bytes of side information, not a whole number of 5-byte records";
    }
  }
  return {};
}

int read_compressed_header(const char* path, CompressedPtmHeader& header) {
  header = CompressedPtmHeader{};
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    std::fprintf(stderr, "Could not open %s\n", path);
    return -1;
  }
  if (read_format(file.get(), header, path) && read_size_scales_biases(file.get(), header, path) &&
      read_plane_parameters(file.get(), header, path) &&
      read_plane_data(file.get(), header, path)) {
    return 0;
  }
  free_compressed_header(header);
  return -1;
}

void free_compressed_header(CompressedPtmHeader& header) {
  for (std::uint8_t*& data : header.plane_data) {
    decoder_free(data);
    data = nullptr;
  }
}
