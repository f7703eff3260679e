#include "analysis/light_contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>

#include "imageio/png_image.h"
#include "render/shape_drawing.h"
#include "render/text_drawing.h"

namespace {

constexpr DrawColor background{34, 34, 38};
constexpr DrawColor text_color{235, 235, 235};
constexpr DrawColor dim_color{150, 150, 150};
constexpr DrawColor outline_color{70, 170, 230};
constexpr DrawColor light_color{90, 230, 90};
constexpr DrawColor other_color{240, 200, 60};
constexpr DrawColor problem_color{240, 90, 70};
constexpr DrawColor grid_color{85, 85, 95};

constexpr int gap = 8;
constexpr int caption = 20;
constexpr int title_height = 36;
constexpr int plot_size = 620;
constexpr int label_pixels = 13;
constexpr int title_pixels = 17;

struct FontCloser {
  void operator()(TextFont* font) const { close_text_font(font); }
};

struct Layout {
  int spheres;
  int tile_width;
  int tile_height;
  int columns;
  int rows;
  int grid_width;
  int grid_height;
};

Layout lay_out(const CaptureLights& lights) {
  Layout l;
  l.spheres = std::max<int>(1, static_cast<int>(lights.spheres.size()));
  l.tile_width = l.spheres * contact_sheet_thumbnail + (l.spheres - 1) * 4;
  l.tile_height = contact_sheet_thumbnail + caption;
  const int n = std::max<int>(1, static_cast<int>(lights.photographs.size()));
  // About as tall as the plot beside it, more columns when that is not enough.
  l.rows = std::max(1, (plot_size + gap) / (l.tile_height + gap));
  l.columns = (n + l.rows - 1) / l.rows;
  l.rows = (n + l.columns - 1) / l.columns;
  l.grid_width = l.columns * (l.tile_width + gap) + gap;
  l.grid_height = l.rows * (l.tile_height + gap) + gap;
  return l;
}

void draw_centered(TextFont& font, RgbImage& sheet, double x, int baseline, const std::string& text,
                   int pixels, DrawColor color) {
  const int width = measure_text(font, text, pixels).width;
  draw_text(font, sheet, static_cast<int>(std::lround(x - width / 2.0)), baseline, text, pixels,
            color);
}

void draw_thumbnail(RgbImage& sheet, const SphereThumbnail& t, int left, int top) {
  for (int y = 0; y < t.size; ++y) {
    const int sy = top + y;
    if (sy < 0 || sy >= sheet.height) continue;
    std::uint8_t* row =
        sheet.pixels + static_cast<std::size_t>(sheet.height - 1 - sy) * sheet.width * 3;
    for (int x = 0; x < t.size; ++x) {
      const int sx = left + x;
      if (sx < 0 || sx >= sheet.width) continue;
      const std::uint8_t g = t.grey[static_cast<std::size_t>(y) * t.size + x];
      row[3 * sx] = row[3 * sx + 1] = row[3 * sx + 2] = g;
    }
  }
}

// One photograph's tile: its spheres side by side, the caption below.
void draw_tile(TextFont& font, RgbImage& sheet, const CaptureLights& lights, int index, int left,
               int top) {
  const PhotographLight& photograph = lights.photographs[index];
  for (std::size_t s = 0; s < lights.spheres.size(); ++s) {
    const int x0 = left + static_cast<int>(s) * (contact_sheet_thumbnail + 4);
    if (static_cast<std::size_t>(index) < lights.thumbnails.size() &&
        s < lights.thumbnails[index].size()) {
      const SphereThumbnail& t = lights.thumbnails[index][s];
      draw_thumbnail(sheet, t, x0, top);
      const double scale = t.size / (2 * t.half);
      const auto at_x = [&](double x) { return x0 + (x - (t.x - t.half)) * scale; };
      const auto at_y = [&](double y) { return top + (y - (t.y - t.half)) * scale; };
      const Circle& c = lights.spheres[s];
      draw_ring(sheet, at_x(c.x), at_y(c.y), c.radius * scale, 1, outline_color);
      const SphereLight& light = photograph.spheres[s];
      for (const HighlightSpot& spot : light.others) {
        draw_ring(sheet, at_x(spot.x), at_y(spot.y), 4, 1.2,
                  light.status == LightStatus::ambiguous ? problem_color : other_color);
      }
      if (light.status == LightStatus::ok) {
        const double hx = at_x(light.x);
        const double hy = at_y(light.y);
        draw_ring(sheet, hx, hy, 6, 1.5, light_color);
        draw_text(font, sheet, static_cast<int>(hx + 7), static_cast<int>(hy - 5),
                  std::to_string(index + 1), label_pixels, light_color);
      }
    }
  }
  const int baseline = top + contact_sheet_thumbnail + caption - 5;
  const std::string number = std::to_string(index + 1);
  draw_text(font, sheet, left + 2, baseline, number, label_pixels, text_color);
  if (photograph.status != LightStatus::ok) {
    draw_text(font, sheet, left + 2 + measure_text(font, number + "  ", label_pixels).width,
              baseline, light_status_name(photograph.status), label_pixels, problem_color);
  } else if (lights.spheres.size() > 1) {
    char spread[32];
    std::snprintf(spread, sizeof spread, "%.2f\xC2\xB0 apart", photograph.spread_degrees);
    draw_text(font, sheet, left + 2 + measure_text(font, number + "  ", label_pixels).width,
              baseline, spread, label_pixels, dim_color);
  }
}

// The polar plot of the directions in the square at (left, top).
void draw_plot(TextFont& font, RgbImage& sheet, const CaptureLights& lights, int left, int top) {
  const double cx = left + plot_size / 2.0;
  const double cy = top + plot_size / 2.0 + 10;
  const double rim = plot_size / 2.0 - 40;
  for (int elevation : {0, 30, 60}) {
    const double r = rim * (90 - elevation) / 90.0;
    draw_ring(sheet, cx, cy, r, 1, grid_color);
    // Labelled along the lower right diagonal, clear of the bearings.
    const double diagonal = r * std::numbers::sqrt2 / 2;
    draw_text(font, sheet, static_cast<int>(cx + diagonal + 3), static_cast<int>(cy + diagonal - 3),
              std::to_string(elevation) + "\xC2\xB0", label_pixels, dim_color);
  }
  draw_line(sheet, cx - rim, cy, cx + rim, cy, 1, grid_color);
  draw_line(sheet, cx, cy - rim, cx, cy + rim, 1, grid_color);
  // Azimuth: 0 at the top of the picture, 90 to the right.
  draw_centered(font, sheet, cx, static_cast<int>(cy - rim - 8), "0\xC2\xB0", label_pixels,
                text_color);
  draw_centered(font, sheet, cx, static_cast<int>(cy + rim + 20), "180\xC2\xB0", label_pixels,
                text_color);
  draw_text(font, sheet, static_cast<int>(cx + rim + 6), static_cast<int>(cy + 5), "90\xC2\xB0",
            label_pixels, text_color);
  const int west = measure_text(font, "270\xC2\xB0", label_pixels).width;
  draw_text(font, sheet, static_cast<int>(cx - rim - 6 - west), static_cast<int>(cy + 5),
            "270\xC2\xB0", label_pixels, text_color);
  draw_centered(font, sheet, cx, top + 18,
                "Light directions: azimuth around, elevation 90\xC2\xB0 at the centre",
                label_pixels, text_color);
  for (std::size_t i = 0; i < lights.photographs.size(); ++i) {
    const PhotographLight& p = lights.photographs[i];
    if (p.status != LightStatus::ok) continue;
    const double r = rim * (90 - elevation_degrees(p.direction)) / 90;
    const double a = azimuth_degrees(p.direction) * std::numbers::pi / 180;
    const double x = cx + r * std::sin(a);
    const double y = cy - r * std::cos(a);
    fill_disc(sheet, x, y, 3.5, light_color);
    draw_text(font, sheet, static_cast<int>(x + 5), static_cast<int>(y - 4), std::to_string(i + 1),
              label_pixels, text_color);
  }
}

}  // namespace

RgbImage* make_light_contact_sheet(const CaptureLights& lights) {
  std::unique_ptr<TextFont, FontCloser> font(open_text_font());
  if (!font) return nullptr;
  const Layout layout = lay_out(lights);
  const int width = layout.grid_width + plot_size + gap;
  const int height = title_height + std::max(layout.grid_height, plot_size + 2 * gap);
  RgbImage* sheet = new_rgb_image(width, height);
  fill_rectangle(*sheet, 0, 0, width, height, background);

  int ok = 0;
  for (const PhotographLight& p : lights.photographs) ok += p.status == LightStatus::ok;
  std::string title = std::to_string(lights.photographs.size()) + " photographs, " +
                      std::to_string(ok) + " lights found; " +
                      (lights.spheres_found ? "spheres found:" : "spheres given:");
  for (const Circle& c : lights.spheres) {
    char circle[64];
    std::snprintf(circle, sizeof circle, "  %.1f,%.1f,%.1f", c.x, c.y, c.radius);
    title += circle;
  }
  draw_text(*font, *sheet, gap, 24, title, title_pixels, text_color);

  for (std::size_t i = 0; i < lights.photographs.size(); ++i) {
    const int column = static_cast<int>(i) % layout.columns;
    const int row = static_cast<int>(i) / layout.columns;
    draw_tile(*font, *sheet, lights, static_cast<int>(i), gap + column * (layout.tile_width + gap),
              title_height + gap + row * (layout.tile_height + gap));
  }
  draw_plot(*font, *sheet, lights, layout.grid_width, title_height + gap);
  return sheet;
}

bool write_light_contact_sheet(const CaptureLights& lights, const char* path) {
  RgbImage* sheet = make_light_contact_sheet(lights);
  if (sheet == nullptr) {
    std::printf("Contact sheet %s not written\n", path);
    return false;
  }
  const bool written = write_png_rgb(*sheet, path);
  free_rgb_image(sheet);
  return written;
}
