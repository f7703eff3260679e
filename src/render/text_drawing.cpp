#include "render/text_drawing.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "common/checked_alloc.h"

struct TextFont {
  FT_Library library;
  FT_Face face;
  int pixel_size;  // the size last set on the face; 0 before the first
};

const char* const text_font_paths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",  // Debian, Ubuntu (fonts-dejavu-core)
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",           // Fedora
    "/usr/share/fonts/TTF/DejaVuSans.ttf",              // Arch
};
const int text_font_path_count = static_cast<int>(std::size(text_font_paths));

namespace {

constexpr int max_pixel_size = 1000;

// One decoded character of a UTF-8 string (RFC 3629): overlong forms,
// surrogates, values past U+10FFFF and stray bytes become U+FFFD, one per
// byte that could not start a character.
char32_t next_character(std::string_view text, std::size_t& at) {
  constexpr char32_t replacement = 0xFFFD;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at++);
  if (lead < 0x80) return lead;
  int continuation;
  char32_t value;
  char32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3, value = lead & 0x07, smallest = 0x10000;
  } else {
    return replacement;
  }
  if (at + continuation > text.size()) return replacement;
  for (int k = 0; k < continuation; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return replacement;
    value = (value << 6) | (byte(at + k) & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return replacement;
  }
  at += continuation;
  return value;
}

int clamped_size(int pixel_size) { return std::clamp(pixel_size, 1, max_pixel_size); }

void set_size(TextFont& font, int pixel_size) {
  pixel_size = clamped_size(pixel_size);
  if (font.pixel_size == pixel_size) return;
  FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(pixel_size));
  font.pixel_size = pixel_size;
}

// Calls glyph(slot, pen_x) for each character of `text` at the pen
// position in whole pixels, after loading it with `load_flags`; returns
// the pen's end in 26.6 fixed point.
template <typename GlyphFn>
FT_Pos set_line(TextFont& font, std::string_view text, FT_Int32 load_flags, GlyphFn glyph) {
  FT_Face face = font.face;
  const bool kerning = FT_HAS_KERNING(face);
  FT_UInt previous = 0;
  FT_Pos pen = 0;  // 26.6
  for (std::size_t at = 0; at < text.size();) {
    const FT_UInt index = FT_Get_Char_Index(face, next_character(text, at));
    if (kerning && previous != 0 && index != 0) {
      FT_Vector delta;
      if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta) == 0) pen += delta.x;
    }
    if (FT_Load_Glyph(face, index, load_flags) == 0) {
      glyph(face->glyph, static_cast<int>((pen + 32) >> 6));
      pen += face->glyph->advance.x;
    }
    previous = index;
  }
  return pen;
}

}  // namespace

TextFont* open_text_font_file(const char* path) {
  auto* font = checked_alloc_array<TextFont>(1);
  *font = TextFont{};
  if (FT_Init_FreeType(&font->library) != 0) {
    std::printf("FreeType cannot be started for the font %s\n", path);
    checked_free(font);
    return nullptr;
  }
  if (FT_New_Face(font->library, path, 0, &font->face) != 0) {
    std::printf("Font %s cannot be read\n", path);
    FT_Done_FreeType(font->library);
    checked_free(font);
    return nullptr;
  }
  return font;
}

TextFont* open_text_font() {
  for (const char* path : text_font_paths) {
    if (std::FILE* file = std::fopen(path, "rb")) {
      std::fclose(file);
      return open_text_font_file(path);
    }
  }
  std::string places;
  for (const char* path : text_font_paths) places += std::string("\n  ") + path;
  std::printf(
      "The font DejaVu Sans (Debian package fonts-dejavu-core) is not installed; looked at:%s\n",
      places.c_str());
  return nullptr;
}

void close_text_font(TextFont* font) {
  if (font == nullptr) return;
  FT_Done_Face(font->face);
  FT_Done_FreeType(font->library);
  checked_free(font);
}

TextExtent measure_text(TextFont& font, std::string_view utf8, int pixel_size) {
  set_size(font, pixel_size);
  const FT_Pos end = set_line(font, utf8, FT_LOAD_DEFAULT, [](FT_GlyphSlot, int) {});
  const FT_Size_Metrics& metrics = font.face->size->metrics;
  return {static_cast<int>((end + 32) >> 6), static_cast<int>((metrics.ascender + 32) >> 6),
          static_cast<int>((-metrics.descender + 32) >> 6)};
}

void draw_text(TextFont& font, RgbImage& image, int x, int baseline, std::string_view utf8,
               int pixel_size, DrawColor color) {
  set_size(font, pixel_size);
  const std::uint8_t rgb[3] = {color.red, color.green, color.blue};
  set_line(font, utf8, FT_LOAD_RENDER, [&](FT_GlyphSlot slot, int pen_x) {
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
    const int left = x + pen_x + slot->bitmap_left;
    const int top = baseline - slot->bitmap_top;
    for (int r = 0; r < static_cast<int>(bitmap.rows); ++r) {
      const int y = top + r;
      if (y < 0 || y >= image.height) continue;
      const unsigned char* coverage = bitmap.buffer + static_cast<std::ptrdiff_t>(r) * bitmap.pitch;
      // The picture's rows are bottom-up: top-down row y is stored at height - 1 - y.
      std::uint8_t* row =
          image.pixels + static_cast<std::size_t>(image.height - 1 - y) * image.width * 3;
      for (int c = 0; c < static_cast<int>(bitmap.width); ++c) {
        const int px = left + c;
        if (px < 0 || px >= image.width || coverage[c] == 0) continue;
        for (int k = 0; k < 3; ++k)
          row[3 * px + k] = blend_sample(row[3 * px + k], rgb[k], coverage[c]);
      }
    }
  });
}
