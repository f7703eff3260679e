#include "render/raking_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "render/light_bearing.h"
#include "render/render_source.h"
#include "render/scale_bar.h"
#include "render/shape_drawing.h"

namespace {

void panel_size(const RakingSheet& sheet, int map_width, int map_height, int& width,
                int& height) {
  const bool sized = sheet.view.width > 0 && sheet.view.height > 0;
  width = sized ? sheet.view.width : map_width;
  height = sized ? sheet.view.height : map_height;
}

double panel_azimuth(const RakingSheet& sheet, int index) {
  return 360.0 * index / sheet.azimuth_count;
}

// Copies a bottom-up panel into the bottom-up sheet with its top-left
// corner at (left, top) counted from the sheet's top.
void place_panel(const RgbImage& panel, int left, int top, RgbImage& sheet) {
  const std::size_t row_bytes = static_cast<std::size_t>(panel.width) * 3;
  for (int y = 0; y < panel.height; ++y) {
    // Panel row y (from its bottom) is sheet row top + panel.height - 1 - y
    // from the sheet's top, stored at sheet.height - 1 minus that.
    const int sheet_row = sheet.height - top - panel.height + y;
    std::memcpy(sheet.pixels + (static_cast<std::size_t>(sheet_row) * sheet.width + left) * 3,
                panel.pixels + static_cast<std::size_t>(y) * row_bytes, row_bytes);
  }
}

// Renders the panels from `source` into `out`, as many at once as there
// are threads, then writes the labels one after another (a label wider
// than its panel reaches into its neighbours' strips).
void draw_panels(const RenderSource& source, const RakingSheet& sheet, const SheetLayout& layout,
                 double panel_pixels_per_mm, TextFont& font, RgbImage& out) {
  const int threads = std::max(1, sheet.threads);
  for (int first = 0; first < sheet.azimuth_count; first += threads) {
    const int count = std::min(threads, sheet.azimuth_count - first);
    std::vector<RelitLight> lights;
    for (int k = 0; k < count; ++k) lights.push_back(sheet_light(sheet, first + k));
    std::vector<RgbImage*> panels = source.render_lit_by(sheet.view, lights, threads);
    for (int k = 0; k < count; ++k) {
      RgbImage& panel = *panels[static_cast<std::size_t>(k)];
      if (panel_pixels_per_mm > 0) draw_scale_bar(font, panel, panel_pixels_per_mm);
      int left = 0;
      int top = 0;
      sheet_panel_origin(layout, first + k, left, top);
      place_panel(panel, left, top, out);
      free_rgb_image(&panel);
    }
    report_progress(sheet.progress, static_cast<std::uint64_t>(first + count),
                    static_cast<std::uint64_t>(sheet.azimuth_count));
  }
  constexpr DrawColor ink{32, 32, 32};
  for (int index = 0; index < sheet.azimuth_count; ++index) {
    int left = 0;
    int top = 0;
    sheet_panel_origin(layout, index, left, top);
    const std::string label = raking_label(panel_azimuth(sheet, index), sheet.elevation_degrees);
    const TextExtent extent = measure_text(font, label, layout.text_size);
    draw_text(font, out, left + (layout.panel_width - extent.width) / 2,
              top + layout.panel_height + layout.gap / 2 + extent.ascent, label,
              layout.text_size, ink);
  }
}

}  // namespace

SheetLayout raking_sheet_layout(const RakingSheet& sheet, int map_width, int map_height,
                                TextFont& font) {
  SheetLayout layout{};
  const int count = std::max(1, sheet.azimuth_count);
  layout.columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  // ceil of a square root computed in double can be one too many only for
  // a perfect square just below a rounding; the product check settles it.
  while ((layout.columns - 1) * (layout.columns - 1) >= count) --layout.columns;
  layout.rows = (count + layout.columns - 1) / layout.columns;
  panel_size(sheet, map_width, map_height, layout.panel_width, layout.panel_height);
  layout.text_size = std::clamp(layout.panel_width / 24, 12, 96);
  layout.gap = std::max(6, layout.text_size);
  const TextExtent line = measure_text(font, raking_label(0, 0), layout.text_size);
  layout.label_height = layout.gap / 2 + line.ascent + line.descent;
  layout.width = layout.columns * layout.panel_width + (layout.columns + 1) * layout.gap;
  layout.height =
      layout.rows * (layout.panel_height + layout.label_height) + (layout.rows + 1) * layout.gap;
  return layout;
}

void sheet_panel_origin(const SheetLayout& layout, int index, int& left, int& top) {
  const int column = index % layout.columns;
  const int row = index / layout.columns;
  left = layout.gap + column * (layout.panel_width + layout.gap);
  top = layout.gap + row * (layout.panel_height + layout.label_height + layout.gap);
}

RelitLight sheet_light(const RakingSheet& sheet, int index) {
  return light_from_bearing(panel_azimuth(sheet, index), sheet.elevation_degrees);
}

std::string raking_label(double azimuth_degrees, double elevation_degrees) {
  char text[96];
  // U+00B0 DEGREE SIGN in UTF-8.
  std::snprintf(text, sizeof text, "azimuth %g\xC2\xB0, elevation %g\xC2\xB0",
                std::round(azimuth_degrees * 10) / 10, std::round(elevation_degrees * 10) / 10);
  return text;
}

RgbImage* render_raking_sheet(Ptm& map, const RakingSheet& sheet) {
  TextFont* font = open_text_font();
  if (font == nullptr) {
    std::fprintf(stderr, "The sheet cannot be drawn: no font for its labels\n");
    return nullptr;
  }
  const SheetLayout layout = raking_sheet_layout(sheet, map.width, map.height, *font);
  if (static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(layout.height) >
      max_sheet_pixels) {
    std::fprintf(stderr, "The sheet of %d x %d pixels is too large: at most 2^31 pixels\n",
                 layout.width, layout.height);
    close_text_font(font);
    return nullptr;
  }
  RenderSource source;
  if (!source.prepare(map, sheet.view, layout.panel_width, layout.panel_height, sheet.threads)) {
    close_text_font(font);
    return nullptr;
  }
  RgbImage* out = new_rgb_image(layout.width, layout.height);
  std::memset(out->pixels, 255, static_cast<std::size_t>(layout.width) * layout.height * 3);
  // The bar measures the panel's pixels: the map's scale times the
  // resampling.
  const double panel_pixels_per_mm = sheet.pixels_per_mm * layout.panel_width / map.width;
  draw_panels(source, sheet, layout, panel_pixels_per_mm, *font, *out);
  close_text_font(font);
  return out;
}

bool write_raking_sheet(Ptm& map, const RakingSheet& sheet, const char* path,
                        const PngNotes& notes) {
  RgbImage* picture = render_raking_sheet(map, sheet);
  if (picture == nullptr) return false;
  const bool written = write_png_rgb(*picture, path, notes);
  free_rgb_image(picture);
  return written;
}
