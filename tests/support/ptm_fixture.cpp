#include "support/ptm_fixture.h"

#include <filesystem>
#include <random>
#include <stdexcept>

namespace {

const char* default_format_word(int format) {
  switch (format) {
    case 0:
      return "PTM_FORMAT_RGB";
    case 1:
      return "PTM_FORMAT_LUM";
    case 2:
      return "PTM_FORMAT_LRGB";
    case 3:
      return "PTM_FORMAT_PTM_LUT";
    case 4:
      return "PTM_FORMAT_PTM_C_LUT";
    default:
      throw std::invalid_argument("fixture format");
  }
}

void append(std::string& out, const std::uint8_t* bytes, std::size_t count) {
  out.append(reinterpret_cast<const char*>(bytes), count);
}

void append_rgb_data(std::string& out, const PtmFixture& f, std::size_t pixels) {
  if (f.version_minor == 2) {
    for (int c = 0; c < 3; ++c) append(out, f.coefficients[c].data(), pixels * 6);
    return;
  }
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < 3; ++c) append(out, f.coefficients[c].data() + p * 6, 6);
  }
}

void append_lrgb_data(std::string& out, const PtmFixture& f, std::size_t pixels) {
  if (f.version_minor == 2) {
    append(out, f.coefficients[0].data(), pixels * 6);
    append(out, f.colour.data(), pixels * 3);
    return;
  }
  for (std::size_t p = 0; p < pixels; ++p) {
    append(out, f.coefficients[0].data() + p * 6, 6);
    append(out, f.colour.data() + p * 3, 3);
  }
}

void append_lum_data(std::string& out, const PtmFixture& f, std::size_t pixels) {
  for (std::size_t p = 0; p < pixels; ++p) {
    append(out, f.coefficients[0].data() + p * 6, 6);
    append(out, f.colour.data() + p * 2, 2);
  }
}

void append_table_data(std::string& out, const PtmFixture& f, std::size_t pixels) {
  const bool with_colour = f.format == 4;
  for (int e = 0; e < f.table_entries; ++e) {
    append(out, f.coefficients[0].data() + e * 6, 6);
    if (with_colour) append(out, f.colour.data() + e * 3, 3);
  }
  for (int index : f.indices) {
    out.push_back(static_cast<char>(index & 0xff));
    if (f.table_entries > 256) out.push_back(static_cast<char>(index >> 8));
  }
  if (!with_colour) append(out, f.colour.data(), pixels * 3);
}

}  // namespace

PtmFixture random_ptm_fixture(int format, int version_minor, int width, int height, unsigned seed,
                              int entries) {
  PtmFixture f;
  f.format = format;
  f.format_word = default_format_word(format);
  f.version_minor = version_minor;
  f.magic = version_minor == 1 ? "PTM_1.1" : "PTM_1.2";
  f.width = width;
  f.height = height;
  std::mt19937 random(seed);
  auto byte = [&random] { return static_cast<std::uint8_t>(random() & 0xff); };
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  const bool table = format == 3 || format == 4;
  const std::size_t coefficient_sets = table ? static_cast<std::size_t>(entries) : pixels;
  for (int c = 0; c < (format == 0 ? 3 : 1); ++c) {
    f.coefficients[c].resize(coefficient_sets * 6);
    for (auto& b : f.coefficients[c]) b = byte();
  }
  std::size_t colour_bytes = 0;
  if (format == 1) colour_bytes = pixels * 2;
  if (format == 2 || format == 3) colour_bytes = pixels * 3;
  if (format == 4) colour_bytes = static_cast<std::size_t>(entries) * 3;
  f.colour.resize(colour_bytes);
  for (auto& b : f.colour) b = byte();
  if (table) {
    f.table_entries = entries;
    f.indices.resize(pixels);
    for (auto& i : f.indices) i = static_cast<int>(random() % static_cast<unsigned>(entries));
  }
  return f;
}

std::string ptm_fixture_bytes(const PtmFixture& f) {
  std::string out = f.magic + "\n" + f.format_word + "\n" + std::to_string(f.width) + "\n" +
                    std::to_string(f.height) + "\n" + f.scale_line + f.bias_line;
  if (f.format == 1) out += f.matrix_line;
  if (f.format == 3 || f.format == 4) {
    out += std::to_string(f.table_entries) + " " + f.entry_word + "\n";
  }
  const std::size_t pixels = static_cast<std::size_t>(f.width) * f.height;
  switch (f.format) {
    case 0:
      append_rgb_data(out, f, pixels);
      break;
    case 1:
      append_lum_data(out, f, pixels);
      break;
    case 2:
      append_lrgb_data(out, f, pixels);
      break;
    default:
      append_table_data(out, f, pixels);
      break;
  }
  return out;
}

std::string oversized_compressed_claim() {
  static const char bytes[] =
      "PTM_1.2\nPTM_FORMA_FORMAT_JPEGLS_LRGB0T_\xdbTM_LU~\n499998\x00"
      "9\n1993\n.0 1.0 1.0 1.0 1.0 1.0\n0 0 0 0 0 0\n5 ES\n\xf1i\x89=\x8f]\x8a@";
  return std::string(bytes, sizeof bytes - 1);
}

void write_ptm_seed_corpus(const std::string& directory) {
  std::filesystem::create_directories(directory);
  unsigned seed = 1;
  for (int format = 0; format <= 4; ++format) {
    for (int version = 1; version <= 2; ++version) {
      const bool table = format >= 3;
      const PtmFixture f = random_ptm_fixture(format, version, 4, 3, seed++, table ? 5 : 0);
      write_file_bytes(directory + "/" + f.format_word + "_1." + std::to_string(version) + ".ptm",
                       ptm_fixture_bytes(f));
    }
  }
  // Two-byte table indices.
  const PtmFixture wide_table = random_ptm_fixture(3, 2, 20, 15, seed, 257);
  write_file_bytes(directory + "/two_byte_indices.ptm", ptm_fixture_bytes(wide_table));
  write_file_bytes(directory + "/oversized_compressed_claim.ptm", oversized_compressed_claim());
}
