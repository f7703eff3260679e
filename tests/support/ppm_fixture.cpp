#include "support/ppm_fixture.h"

#include <filesystem>

#include "support/files.h"

namespace {

struct SeedFile {
  const char* name;
  std::string_view bytes;
};

using namespace std::string_view_literals;

// Each seed is a complete, valid file of its own layout.
constexpr SeedFile seed_files[] = {
    // 2 x 2 binary with a comment between the magic and the size.
    {"p6_comment.ppm",
     "P6\n# two by two\n2 2\n255\n"
     "\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0"sv},
    // 3 x 1 binary with the width and the height on separate lines.
    {"p6_split_size.ppm", "P6\n3\n1\n255\n\xff\x00\x00\x00\xff\x00\x00\x00\xff"sv},
    // 1 x 1 binary with a 16-bit maximum value (read one byte per sample).
    {"p6_16bit.ppm", "P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06"sv},
    // 2 x 2 ASCII with comments and decimal, octal and hexadecimal samples.
    {"p3_comment.ppm",
     "P3\n# ascii\n# two comments\n2 2\n255\n"
     "255 0 0  0 255 0\n010 0x1f 7  1 2 3\n"sv},
    // 1 x 2 ASCII, tab separators.
    {"p3_tabs.ppm", "P3\n1 2\n255\t0\t128\t255\n64\t32\t16\n"sv},
};

}  // namespace

void write_ppm_seed_corpus(const std::string& directory) {
  for (const SeedFile& seed : seed_files) {
    write_file_bytes((std::filesystem::path(directory) / seed.name).string(), seed.bytes);
  }
}
