#include "imageio/netpbm_photograph.h"

#include <climits>
#include <cstring>

namespace {

bool is_space(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Moves `at` past white space and comments (from '#' to the line's end).
void skip_space(const std::uint8_t* data, std::size_t size, std::size_t& at) {
  while (at < size) {
    if (data[at] == '#') {
      while (at < size && data[at] != '\n' && data[at] != '\r') ++at;
    } else if (is_space(data[at])) {
      ++at;
    } else {
      return;
    }
  }
}

// An unsigned decimal number after white space and comments; false when
// there is none or it exceeds `limit`.
bool read_number(const std::uint8_t* data, std::size_t size, std::size_t& at, long long limit,
                 long long& value) {
  skip_space(data, size, at);
  if (at >= size || !is_digit(data[at])) return false;
  value = 0;
  for (; at < size && is_digit(data[at]); ++at) {
    value = value * 10 + (data[at] - '0');
    if (value > limit) return false;
  }
  return true;
}

bool is_grey(char kind) { return kind == '2' || kind == '5'; }
bool is_plain(char kind) { return kind == '2' || kind == '3'; }

// Rescales samples of 0 .. maximum to 0 .. full, rounding to nearest.
template <typename Sample>
Sample rescale(long long v, long long maximum, long long full) {
  return static_cast<Sample>(maximum == full ? v : (v * full + maximum / 2) / maximum);
}

// Puts sample v of the file's row into the picture's row at index i
// (grey: the pixel's three samples).
template <typename Sample>
void put(Sample* row, std::size_t i, int channels, Sample v) {
  if (channels == 1) {
    row[3 * i] = row[3 * i + 1] = row[3 * i + 2] = v;
  } else {
    row[i] = v;
  }
}

// The file's rows top first; the picture's row y is the file's row
// height - 1 - y.
template <typename Sample>
Sample* picture_row(std::vector<Sample>& out, const NetpbmHeader& header, int file_row) {
  return out.data() + static_cast<std::size_t>(header.height - 1 - file_row) * header.width * 3;
}

template <typename Sample>
bool decode_plain(const std::uint8_t* data, std::size_t size, const NetpbmHeader& header,
                  std::vector<Sample>& out, std::string& problem) {
  const int channels = is_grey(header.kind) ? 1 : 3;
  const long long full = sizeof(Sample) == 2 ? 65535 : 255;
  const std::size_t row_samples = static_cast<std::size_t>(header.width) * channels;
  std::size_t at = header.samples_start;
  for (int y = 0; y < header.height; ++y) {
    Sample* row = picture_row(out, header, y);
    for (std::size_t i = 0; i < row_samples; ++i) {
      long long v = 0;
      if (!read_number(data, size, at, header.maximum, v)) {
        skip_space(data, size, at);
        problem = at >= size ? "it ends before its pixel data is complete"
                             : "a sample is not a number of 0 to its maximum value";
        return false;
      }
      put(row, i, channels, rescale<Sample>(v, header.maximum, full));
    }
  }
  return true;
}

// Binary samples, whose number decode_netpbm_photograph has checked
// against the bytes present: one byte each, or two (big-endian) above a
// maximum value of 255.
template <typename Sample>
bool decode_binary(const std::uint8_t* data, const NetpbmHeader& header, std::vector<Sample>& out,
                   std::string& problem) {
  const int channels = is_grey(header.kind) ? 1 : 3;
  const long long full = sizeof(Sample) == 2 ? 65535 : 255;
  const std::size_t row_samples = static_cast<std::size_t>(header.width) * channels;
  const bool wide = header.maximum > 255;
  const std::uint8_t* in = data + header.samples_start;
  for (int y = 0; y < header.height; ++y) {
    Sample* row = picture_row(out, header, y);
    if constexpr (sizeof(Sample) == 1) {
      // The common photograph: colour, 255, stored as it is held.
      if (channels == 3 && header.maximum == 255) {
        std::memcpy(row, in, row_samples);
        in += row_samples;
        continue;
      }
    }
    for (std::size_t i = 0; i < row_samples; ++i) {
      const long long v = wide ? in[0] << 8 | in[1] : in[0];
      in += wide ? 2 : 1;
      if (v > header.maximum) {
        problem = "a sample exceeds its maximum value";
        return false;
      }
      put(row, i, channels, rescale<Sample>(v, header.maximum, full));
    }
  }
  return true;
}

template <typename Sample>
bool decode_samples(const std::uint8_t* data, std::size_t size, const NetpbmHeader& header,
                    std::vector<Sample>& out, std::string& problem) {
  return is_plain(header.kind) ? decode_plain(data, size, header, out, problem)
                               : decode_binary(data, header, out, problem);
}

}  // namespace

bool has_netpbm_magic(const std::uint8_t* data, std::size_t size) {
  return size >= 2 && data[0] == 'P' &&
         (data[1] == '2' || data[1] == '3' || data[1] == '5' || data[1] == '6');
}

bool read_netpbm_header(const std::uint8_t* data, std::size_t size, NetpbmHeader& header,
                        std::string& problem) {
  header = NetpbmHeader{};
  if (!has_netpbm_magic(data, size)) {
    problem = "it is not a PPM or PGM picture";
    return false;
  }
  header.kind = static_cast<char>(data[1]);
  std::size_t at = 2;
  long long width = 0;
  long long height = 0;
  long long maximum = 0;
  if (!read_number(data, size, at, INT_MAX, width) ||
      !read_number(data, size, at, INT_MAX, height) || width == 0 || height == 0) {
    problem = "its header has no valid width and height";
    return false;
  }
  if (!read_number(data, size, at, 65535, maximum) || maximum == 0) {
    problem = "its header has no maximum value of 1 to 65535";
    return false;
  }
  // Exactly one white space byte ends the header.
  if (at >= size || !is_space(data[at])) {
    problem = "its header does not end in white space";
    return false;
  }
  header.width = static_cast<int>(width);
  header.height = static_cast<int>(height);
  header.maximum = static_cast<int>(maximum);
  header.samples_start = at + 1;
  return true;
}

bool decode_netpbm_photograph(const std::uint8_t* data, std::size_t size,
                              const NetpbmHeader& header, Photograph& out, std::string& problem) {
  // Checked before the pixels are allocated: a binary sample takes one or
  // two bytes, a plain one a digit and a separator (but the last).
  const std::uint64_t samples = static_cast<std::uint64_t>(header.width) * header.height *
                                (is_grey(header.kind) ? 1 : 3);
  const std::uint64_t needed = is_plain(header.kind)   ? 2 * samples - 1
                               : header.maximum > 255 ? 2 * samples
                                                      : samples;
  if (header.samples_start > size || needed > size - header.samples_start) {
    problem = "it ends before its pixel data is complete";
    return false;
  }
  const int bits = header.maximum > 255 ? 16 : 8;
  allocate_photograph_samples(out, header.width, header.height, bits);
  return bits == 16 ? decode_samples(data, size, header, out.samples16, problem)
                    : decode_samples(data, size, header, out.samples8, problem);
}
