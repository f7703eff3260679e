// The PTM file: a text header (magic word, format word, width, height, six
// scales, six biases, and for some formats one more line) followed by the
// binary data of the format.
#include "ptm/reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/file_handle.h"
#include "ptm/coefficients.h"
#include "ptm/compressed_decoder.h"
#include "ptm/file_kind.h"
#include "ptm/header_tokens.h"
#include "ptm/mask_image.h"
#include "ptm/ptm_file_header.h"

namespace {

// The format word is classified by substring, in this order; the first test
// that passes decides (every C_LUT word also contains "_LUT").
struct FormatTest {
  const char* must_contain;
  const char* and_contain;
  PtmFormat format;
  const char* line;
};

constexpr FormatTest format_tests[] = {
    {"_FORMAT_RGB", nullptr, PTM_FORMAT_RGB, "RGB Format\n"},
    {"_FORMAT_LUM", nullptr, PTM_FORMAT_LUM, "Luminance Format\n"},
    {"_FORMAT_LRGB", nullptr, PTM_FORMAT_LRGB, "LRGB Format\n"},
    {"_FORMAT_", "_C_LUT", PTM_FORMAT_PTM_C_LUT, "C_LUT Format\n"},
    {"_FORMAT_", "_LUT", PTM_FORMAT_PTM_LUT, "LUT Format\n"},
    {"_FORMAT_JPEG_RGB", nullptr, PTM_FORMAT_JPEG_RGB, "JPEG compressed RGB Format\n"},
    {"_FORMAT_JPEG_LRGB", nullptr, PTM_FORMAT_JPEG_LRGB, "JPEG compressed LRGB Format\n"},
    {"_FORMAT_JPEGLS_RGB", nullptr, PTM_FORMAT_JPEGLS_RGB, "JPEG-LS compressed RGB Format\n"},
    {"_FORMAT_JPEGLS_LRGB", nullptr, PTM_FORMAT_JPEGLS_LRGB, "JPEG-LS compressed LRGB Format\n"},
};

const FormatTest* classify_format_word(const char* word) {
  for (const FormatTest& test : format_tests) {
    if (std::strstr(word, test.must_contain) != nullptr &&
        (test.and_contain == nullptr || std::strstr(word, test.and_contain) != nullptr)) {
      return &test;
    }
  }
  return nullptr;
}

bool read_error(const char* path) {
  std::printf("Read error on ptm file: %s\n", path);
  return false;
}

// Reads one token; a token that does not fit the header buffer is refused.
bool next_token(std::FILE* file, HeaderToken& token, const char* path) {
  switch (read_header_token(file, token)) {
    case TokenStatus::ok:
      return true;
    case TokenStatus::too_long:
      std::printf("Header item longer than %d characters in ptm file %s\n", max_header_token, path);
      return false;
    case TokenStatus::end_of_file:
      break;
  }
  return read_error(path);
}

bool is_magic_prefix(const char* word) {
  return std::strncmp(word, "PTM", 3) == 0 || std::strncmp(word, "SRF", 3) == 0;
}

bool read_magic_word(std::FILE* file, PtmFileHeader& header, const char* path) {
  HeaderToken token;
  const TokenStatus status = read_header_token(file, token);
  const char* word = token.text;
  // Whatever else the file is (a picture, a folder, nothing at all), it is
  // described, never quoted: its first bytes are rarely printable.
  if (!is_magic_prefix(word)) {
    std::printf("%s\n", not_a_map_message(path, identify_file(path)).c_str());
    return false;
  }
  if (status == TokenStatus::too_long) {
    std::printf("Header item longer than %d characters in ptm file %s\n", max_header_token, path);
    return false;
  }
  // Characters 3 and 5 are not examined: "PTM_1.2" and "PTMx1y2" are alike.
  if (std::strlen(word) < 7 || word[4] != '1' || (word[6] != '1' && word[6] != '2')) {
    std::printf(
        "Only version 1.1 and 1.2 of the PTM file format is currently supported, read format %s\n",
        word);
    return false;
  }
  header.version_minor = word[6] - '0';
  return true;
}

bool read_format_word(std::FILE* file, PtmFileHeader& header, const char* path, bool announce) {
  HeaderToken token;
  if (!next_token(file, token, path)) return false;
  const FormatTest* test = classify_format_word(token.text);
  if (test == nullptr) {
    std::printf("Read_ptm_error (ptm format) on ptm file %s\n", path);
    return false;
  }
  if (announce) std::printf("%s", test->line);
  header.format = test->format;
  std::strcpy(header.format_word, token.text);
  return true;
}

bool read_size(std::FILE* file, PtmFileHeader& header, const char* path) {
  HeaderToken width;
  HeaderToken height;
  if (!next_token(file, width, path) || !next_token(file, height, path)) return false;
  if (!parse_decimal_int(width.text, header.width) ||
      !parse_decimal_int(height.text, header.height)) {
    return read_error(path);
  }
  if (header.width <= 0 || header.height <= 0) {
    std::printf("Invalid image size %d x %d in ptm file %s\n", header.width, header.height, path);
    return false;
  }
  return true;
}

// Six scales (stored as trunc(value * 256)), six biases in C integer-literal
// form; the bias line may end with one space before its line feed, and the
// binary data (or the next header line) starts right after that line feed.
bool read_scales_and_biases(std::FILE* file, PtmFileHeader& header, const char* path) {
  HeaderToken token;
  for (int k = 0; k < 6; ++k) {
    float scale = 0;
    if (!next_token(file, token, path)) return false;
    if (!parse_float(token.text, scale) || !scale_to_fixed(scale, header.scale_bias[k])) {
      return read_error(path);
    }
  }
  for (int k = 0; k < 6; ++k) {
    if (!next_token(file, token, path)) return false;
    if (!parse_c_int(token.text, header.scale_bias[6 + k])) return read_error(path);
  }
  if (!line_ends_after(file, token)) return read_error(path);
  return true;
}

bool read_color_matrix(std::FILE* file, PtmFileHeader& header, const char* path) {
  HeaderToken token;
  for (float& entry : header.color_matrix) {
    const TokenStatus status = read_header_token(file, token);
    if (status != TokenStatus::ok || !parse_float(token.text, entry)) {
      std::printf("Read error on ptm luminance file %s. Color matrix read error\n", path);
      return false;
    }
  }
  if (!line_ends_after(file, token)) {
    std::printf("Read error on ptm luminance file %s. Color matrix read error\n", path);
    return false;
  }
  return true;
}

// "n N_LUT_ENTRIES": the count, then a word that is read and ignored.
bool read_entry_count(std::FILE* file, PtmFileHeader& header, const char* path) {
  HeaderToken count;
  HeaderToken word;
  if (!next_token(file, count, path)) return false;
  if (!parse_decimal_int(count.text, header.lut_entries)) return read_error(path);
  std::printf("%d LUT entries.\n", header.lut_entries);
  // More entries than pixels cannot all be used, but a palettizer writes
  // its full table of 256 whatever the map's size, so that many are always
  // accepted.
  const std::int64_t pixels = std::int64_t{header.width} * header.height;
  if (header.lut_entries <= 0 || header.lut_entries > std::max<std::int64_t>(pixels, 256)) {
    std::printf("Invalid LUT entry count %d for a %d x %d image in ptm file %s\n",
                header.lut_entries, header.width, header.height, path);
    return false;
  }
  if (!next_token(file, word, path)) return false;
  return line_ends_after(file, word) || read_error(path);
}

bool is_compressed(int format) { return format >= PTM_FORMAT_JPEG_RGB; }

bool is_lrgb_compressed(int format) {
  return format == PTM_FORMAT_JPEG_LRGB || format == PTM_FORMAT_JPEGLS_LRGB;
}

int compression_type_of(int format) {
  return format >= PTM_FORMAT_JPEGLS_RGB ? compression_jpegls : compression_jpeg;
}

// The table formats live in memory as LRGB, the compressed ones as RGB or
// LRGB.
int memory_format_of(int format) {
  if (format == PTM_FORMAT_PTM_LUT || format == PTM_FORMAT_PTM_C_LUT) return PTM_FORMAT_LRGB;
  if (is_compressed(format)) return is_lrgb_compressed(format) ? PTM_FORMAT_LRGB : PTM_FORMAT_RGB;
  return format;
}

// The stored planes of a compressed file, read and checked before the map
// is allocated, released with the object.
struct CompressedPlanes {
  CompressedPtmHeader header{};
  bool read = false;
  ~CompressedPlanes() {
    if (read) free_compressed_header(header);
  }
};

// The compressed file is read again as a whole by the plane decoder, which
// checks that it still describes the map of this header and that its
// streams can hold the planes of that size, before anything of that size
// is allocated.
bool read_compressed_planes(const PtmFileHeader& header, const char* path,
                            CompressedPlanes& planes) {
  planes.read = read_compressed_map(path, header.width, header.height,
                                    is_lrgb_compressed(header.format), planes.header);
  return planes.read;
}

bool data_present(const PtmFileHeader& header, std::FILE* file, const char* path) {
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) return read_error(path);
  const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
  const std::uint64_t available = size > header.data_offset ? size - header.data_offset : 0;
  const std::uint64_t needed = uncompressed_data_bytes(header);
  if (available < needed) {
    std::printf("Ptm file %s ends before its data: %llu bytes needed, %llu present\n", path,
                static_cast<unsigned long long>(needed),
                static_cast<unsigned long long>(available));
    return false;
  }
  return true;
}

// `announce`: print the format line, as a load does.
bool read_header(std::FILE* file, PtmFileHeader& header, const char* path, bool announce) {
  if (!read_magic_word(file, header, path) || !read_format_word(file, header, path, announce) ||
      !read_size(file, header, path) || !read_scales_and_biases(file, header, path)) {
    return false;
  }
  if (header.format == PTM_FORMAT_LUM && !read_color_matrix(file, header, path)) return false;
  if ((header.format == PTM_FORMAT_PTM_LUT || header.format == PTM_FORMAT_PTM_C_LUT) &&
      !read_entry_count(file, header, path)) {
    return false;
  }
  header.data_offset = static_cast<std::uint64_t>(std::ftell(file));
  return true;
}

}  // namespace

Ptm* read_ptm_file(const char* path, CoefRepresentation representation) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return nullptr;
  std::printf("%s\n", path);

  PtmFileHeader header{};
  if (!read_header(file.get(), header, path, true)) return nullptr;
  const bool compressed = is_compressed(header.format);
  if (compressed && !has_plane_decoder(compression_type_of(header.format), path)) return nullptr;
  const int memory_format = memory_format_of(header.format);
  if (memory_format == PTM_FORMAT_LUM) representation = CoefRepresentation::wide;
  CompressedPlanes planes;
  if (compressed && !read_compressed_planes(header, path, planes)) return nullptr;
  if (!ptm_size_fits(header.width, header.height, memory_format, representation)) {
    std::printf("Image size %d x %d of ptm file %s is too large for this machine\n", header.width,
                header.height, path);
    return nullptr;
  }
  if (!compressed && !data_present(header, file.get(), path)) return nullptr;

  // The compressed formats are created as such and become RGB or LRGB once
  // their planes are decoded.
  Ptm* ptm = create_ptm(header.width, header.height, compressed ? header.format : memory_format,
                        representation);
  std::memcpy(ptm->scale_bias, header.scale_bias, sizeof header.scale_bias);
  if (ptm->color_matrix != nullptr) {
    std::memcpy(ptm->color_matrix, header.color_matrix, sizeof header.color_matrix);
  }
  const bool loaded = compressed ? decode_compressed_map(planes.header, *ptm)
                                 : read_uncompressed_data(*ptm, header, fileno(file.get()), path);
  if (!loaded) {
    free_ptm(ptm);
    return nullptr;
  }
  ptm->format = memory_format;
  file.reset();

  load_mask(*ptm, path);
  return ptm;
}

bool read_ptm_file_header(const char* path, PtmFileHeader& header) {
  FileHandle file(std::fopen(path, "rb"));
  header = PtmFileHeader{};
  return file && read_header(file.get(), header, path, false);
}

Ptm* read_ptm_file(const char* path) { return read_ptm_file(path, preferred_representation()); }

bool starts_like_ptm_file(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return false;
  HeaderToken token;
  // A first item too long for the header buffer still shows its start.
  return read_header_token(file.get(), token) != TokenStatus::end_of_file &&
         is_magic_prefix(token.text);
}
