// output_paletized_LRGB_ptm: the PTM_LUT and PTM_C_LUT files of a palette.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "writers/palettize.h"
#include "writers/ptm_writer.h"

namespace {

// Bytes written a run at a time rather than one fwrite per pixel.
constexpr std::size_t run_pixels = 65536;

bool write_bytes(std::FILE* file, const std::vector<std::uint8_t>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool write_body(std::FILE* file, const Ptm& ptm, const Palette& palette, int mode) {
  const char* word = mode == palette_mode_luminance ? "PTM_FORMAT_PTM_LUT" : "PTM_FORMAT_PTM_C_LUT";
  if (!write_ptm_text_header(file, ptm, word, ptm.width, ptm.height) ||
      std::fprintf(file, "%d N_LUT_ENTRIES\n", palette_entries) < 0) {
    return false;
  }
  // Each component, and each index, as its low eight bits.
  std::vector<std::uint8_t> bytes(palette.table.begin(), palette.table.end());
  if (!write_bytes(file, bytes)) return false;
  const std::size_t n = pixel_count(ptm);
  for (std::size_t first = 0; first < n; first += run_pixels) {
    const std::size_t count = std::min(run_pixels, n - first);
    bytes.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      bytes[i] = static_cast<std::uint8_t>(palette.indices[first + i]);
    }
    if (!write_bytes(file, bytes)) return false;
  }
  if (mode != palette_mode_luminance) return true;
  for (std::size_t first = 0; first < n; first += run_pixels) {
    const std::size_t count = std::min(run_pixels, n - first);
    bytes.resize(count * 3);
    for (std::size_t i = 0; i < count; ++i) get_lrgb_color(ptm, first + i, bytes.data() + 3 * i);
    if (!write_bytes(file, bytes)) return false;
  }
  return true;
}

}  // namespace

bool output_paletized_LRGB_ptm(const Ptm& ptm, const Palette& palette, int mode, const char* path) {
  if (mode != palette_mode_luminance && mode != palette_mode_color) {
    std::printf("Unsupported pallet mode in output_paletized_LRGB_ptm\n");
    return false;
  }
  const int components = mode == palette_mode_luminance ? 6 : 9;
  if (ptm.format != PTM_FORMAT_LRGB || palette.components != components ||
      palette.table.size() != static_cast<std::size_t>(palette_entries) * components ||
      palette.indices.size() != pixel_count(ptm)) {
    std::printf("PTM write error: the palette was not made from this map for this mode\n");
    return false;
  }
  return write_ptm_output(path,
                          [&](std::FILE* file) { return write_body(file, ptm, palette, mode); });
}
