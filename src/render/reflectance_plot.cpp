#include "render/reflectance_plot.h"

#include "render/evaluate.h"
#include "render/specular.h"

namespace {

// The plot's centre in pixels and its half-width in the same units: the
// window is 250 pixels wide.
constexpr int plot_centre = 125;

// The unit circle is marked while extrapolating as a ring about two pixels
// wide at the plot's usual size.
constexpr double ring_inner = 0.97;
constexpr double ring_outer = 1.03;

constexpr std::uint8_t mid_grey = 128;
constexpr std::uint8_t dark_red = 128;

bool inside_map(const Ptm& ptm, int x, int y) {
  return x >= 0 && x < ptm.width && y >= 0 && y < ptm.height;
}

// q(n) = 125 n / 128 truncating toward zero: a stored component (127 = 1.0)
// in plot pixels at extent 1.
int normal_to_plot_offset(std::int8_t n) { return (plot_centre * n) / 128; }

}  // namespace

void render_reflectance_function(RgbImage& image, const Ptm& ptm, const RenderMode& mode,
                                 int probe_x, int probe_y) {
  if (!inside_map(ptm, probe_x, probe_y)) return;
  const EvaluatePtmFn evaluate = select_evaluator(ptm);
  const bool specular = mode.enhancement == Enhancement::specular;
  const int width = image.width;
  const int height = image.height;
  const int half_width = width / 2;
  const int half_height = height / 2;
  const float extent = mode.light_extent;
  const float extent_squared = extent * extent;
  for (int i = 0; i < height; ++i) {
    const float v = plot_light(i, half_height, extent);
    std::uint8_t* pixel = image.pixels + static_cast<std::size_t>(i) * width * 3;
    for (int j = 0; j < width; ++j, pixel += 3) {
      const float u = plot_light(j, half_width, extent);
      const float m = u * u + v * v;
      const bool in_disc = extent_squared >= m;
      std::uint8_t r = mid_grey;
      std::uint8_t g = mid_grey;
      std::uint8_t b = mid_grey;
      if (in_disc && extent > 1 && ring_inner < m && m < ring_outer) {
        r = dark_red;
        g = 0;
        b = 0;
      } else if (in_disc) {
        evaluate(ptm, light_weights_for(u, v), probe_x, probe_y, r, g, b);
      }
      if (specular && in_disc) {
        apply_specular(ptm, mode.specular, specular_half_vector(u, v), probe_x, probe_y, r, g, b);
      }
      pixel[0] = r;
      pixel[1] = g;
      pixel[2] = b;
    }
  }
}

PlotPoint plot_position(float u, float v, float extent) {
  return {static_cast<int>(u * plot_centre / extent + plot_centre),
          static_cast<int>(v * plot_centre / extent + plot_centre)};
}

PlotPoint normal_plot_position(std::int8_t nx, std::int8_t ny, float extent) {
  return {static_cast<int>(static_cast<float>(normal_to_plot_offset(nx)) / extent) + plot_centre,
          static_cast<int>(static_cast<float>(normal_to_plot_offset(ny)) / extent) + plot_centre};
}

