// relumo-tool render, run as a script runs it, against the per-pixel
// evaluators and the viewer's own screenshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/normals.h"
#include "app/core/screenshot_image.h"
#include "app/core/viewer_state.h"
#include "common/checked_alloc.h"
#include "imageio/png_image.h"
#include "ptm/reader.h"
#include "render/diffuse_gain.h"
#include "render/evaluate.h"
#include "render/specular.h"
#include "support/files.h"
#include "support/pnm_image.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Light {
  float u;
  float v;
  float intensity;
};

enum class Mode { plain, specular, gain, texture, normals };

// What a case asks for, in the viewer's terms; `arguments` say the same to
// the tool.
struct RenderCase {
  const char* name;
  int format;  // fixture format: 0 RGB, 1 LUM, 2 LRGB
  std::vector<std::string> arguments;
  Mode mode;
  std::vector<Light> lights;
  float kd = 0.4f;
  float ks = 1.0f;
  int exponent = 60;
  float gain = 1.8f;
};

ProgramRun run_tool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), RELUMO_TOOL_BINARY);
  return run_program(arguments);
}

// A binary PPM's pixels, rows bottom-up as the program keeps pictures.
Bytes ppm_bottom_up(const std::string& path, int& width, int& height) {
  const TestImage image = read_pnm(path);
  width = image.width;
  height = image.height;
  Bytes pixels(image.samples.size());
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < row; ++i) {
      pixels[y * row + i] =
          static_cast<std::uint8_t>(image.samples[(height - 1 - y) * row + i]);
    }
  }
  return pixels;
}

Bytes bytes_of(const RgbImage& image) {
  return Bytes(image.pixels, image.pixels + static_cast<std::size_t>(image.width) * image.height * 3);
}

// Stored bytes around the middle of their range, so that the evaluated
// colours are mostly neither 0 nor 255.
PtmFixture test_fixture(int format, int width, int height, unsigned seed) {
  PtmFixture f = random_ptm_fixture(format, 2, width, height, seed);
  f.scale_line = "0.5 0.5 0.5 0.5 0.5 1.0\n";
  f.bias_line = "128 128 128 128 128 0\n";
  return f;
}

// The picture pixel by pixel from the per-pixel evaluator of the map:
// each light's colour added as trunc(byte * intensity + sum) within
// 0..255; the normals mode is the normal bytes plus 128.
Bytes expected_picture(const std::string& path, const RenderCase& c) {
  Ptm* map = read_ptm_file(path.c_str());
  EXPECT_NE(map, nullptr);
  if (map == nullptr) return {};
  const int w = map->width;
  const int h = map->height;
  map->normals = checked_alloc_array<std::int8_t>(pixel_count(*map) * 3);
  compute_normal_field(*map, map->normals);
  Bytes picture(pixel_count(*map) * 3, 0);
  if (c.mode == Mode::normals) {
    for (std::size_t i = 0; i < picture.size(); ++i) {
      picture[i] = static_cast<std::uint8_t>(map->normals[i] + 128);
    }
    free_ptm(map);
    return picture;
  }
  Ptm* transformed = nullptr;
  if (c.mode == Mode::gain) {
    transformed = create_derived_ptm_shared(*map);
    diffuse_gain_transform(*map, *transformed, c.gain);
  }
  const Ptm& shown = transformed != nullptr ? *transformed : *map;
  const EvaluatePtmFn evaluate = select_evaluator(shown);
  const SpecularSettings specular{c.kd, c.ks, c.exponent};
  const LightWeights head_on = light_weights_for(0, 0);
  for (const Light& light : c.lights) {
    // The lower half of the comparison: the head-on colour times k / 256,
    // k the light's z in 1/256 steps.
    const float d = light.u * light.u + light.v * light.v;
    const int k = d > 1 ? 0 : static_cast<int>(256 * std::sqrt(1 - d));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        std::uint8_t rgb[3];
        if (c.mode == Mode::texture && y < h / 2) {
          evaluate_texture_mapped(shown, head_on, x, y, k, rgb[0], rgb[1], rgb[2]);
        } else {
          evaluate(shown, light_weights_for(light.u, light.v), x, y, rgb[0], rgb[1], rgb[2]);
        }
        if (c.mode == Mode::specular) {
          apply_specular(shown, specular, specular_half_vector(light.u, light.v), x, y, rgb[0],
                         rgb[1], rgb[2]);
        }
        std::uint8_t* out = &picture[(static_cast<std::size_t>(y) * w + x) * 3];
        for (int b = 0; b < 3; ++b) {
          const float value = rgb[b] * light.intensity + out[b];
          out[b] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
        }
      }
    }
  }
  if (transformed != nullptr) free_derived_ptm_shared(transformed);
  free_ptm(map);
  return picture;
}

TEST(RenderCommand, EveryModeIsThePerPixelArithmeticOfTheViewer) {
  const std::vector<Light> nine = {{0, 0, 0.25f},     {0.5f, 0, 0.5f},    {-0.5f, 0.5f, 0.75f},
                                   {0, -0.8f, 1},     {0.3f, 0.3f, 1.5f}, {-2, 1, 0.1f},
                                   {2.9f, -3, 0.2f},  {0.1f, 0.9f, 0},    {-0.6f, -0.6f, 3}};
  std::vector<std::string> nine_arguments;
  for (const Light& l : nine) {
    char text[64];
    std::snprintf(text, sizeof text, "%g,%g,%g", l.u, l.v, l.intensity);
    nine_arguments.insert(nine_arguments.end(), {"--light", text});
  }
  const RenderCase cases[] = {
      {"lrgb default", 2, {}, Mode::plain, {{0, 0, 1}}},
      {"rgb one light", 0, {"--light", "0.5,-0.3"}, Mode::plain, {{0.5f, -0.3f, 1}}},
      {"lum three lights",
       1,
       {"--light", "-0.7,0.2,0.5", "--light", "0.3,0.9,2", "--light", "0,0,0"},
       Mode::plain,
       {{-0.7f, 0.2f, 0.5f}, {0.3f, 0.9f, 2}, {0, 0, 0}}},
      {"lrgb nine lights saturate", 2, nine_arguments, Mode::plain, nine},
      {"rgb specular defaults",
       0,
       {"--mode", "specular", "--light", "0.4,0.4"},
       Mode::specular,
       {{0.4f, 0.4f, 1}}},
      {"lrgb specular set, extrapolated light",
       2,
       {"--mode", "specular", "--kd", "0.7", "--ks", "0.5", "--exp", "12", "--light", "2.5,-1",
        "--light", "0.2,0.1,0.6"},
       Mode::specular,
       {{2.5f, -1, 1}, {0.2f, 0.1f, 0.6f}},
       0.7f,
       0.5f,
       12},
      {"lum specular", 1, {"--mode", "specular", "--light", "-1.5,0.5"}, Mode::specular,
       {{-1.5f, 0.5f, 1}}},
      {"lrgb gain default", 2, {"--mode", "gain", "--light", "0.3,-0.6"}, Mode::gain,
       {{0.3f, -0.6f, 1}}},
      {"rgb gain set",
       0,
       {"--mode", "gain", "--gain", "4.5", "--light", "-0.2,0.7", "--light", "0.6,0,1.3"},
       Mode::gain,
       {{-0.2f, 0.7f, 1}, {0.6f, 0, 1.3f}},
       0.4f,
       1.0f,
       60,
       4.5f},
      {"lrgb texture, one light beyond the disc",
       2,
       {"--mode", "texture", "--light", "0.6,0.6", "--light", "1.2,0,0.5"},
       Mode::texture,
       {{0.6f, 0.6f, 1}, {1.2f, 0, 0.5f}}},
      {"rgb texture default", 0, {"--mode", "texture"}, Mode::texture, {{0, 0, 1}}},
      {"lrgb normals", 2, {"--mode", "normals"}, Mode::normals, {}},
      {"lum normals", 1, {"--mode", "normals"}, Mode::normals, {}},
  };
  ScratchDirectory scratch("render_modes");
  const char* format_names[] = {"rgb", "lum", "lrgb"};
  for (int format = 0; format < 3; ++format) {
    // An odd height: the comparison's halves are rows 0..3 and 4..8.
    write_file_bytes(scratch.file(std::string(format_names[format]) + ".ptm"),
                     ptm_fixture_bytes(test_fixture(format, 13, 9, 40 + format)));
  }
  for (const RenderCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string map = scratch.file(std::string(format_names[c.format]) + ".ptm");
    const std::string out = scratch.file("out.ppm");
    std::vector<std::string> arguments = {"render", map, "-o", out};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramRun run = run_tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, "");  // results only; the reader's lines go to standard error
    int width = 0;
    int height = 0;
    const Bytes picture = ppm_bottom_up(out, width, height);
    EXPECT_EQ(width, 13);
    EXPECT_EQ(height, 9);
    EXPECT_EQ(picture, expected_picture(map, c));
  }
}

// The viewer's state for a screenshot: these lights on, light 0 steered;
// put back to the start-up state (one light at (0, 0), no mode) afterwards.
void set_viewer_lights(const std::vector<Light>& lights, bool specular) {
  for (int i = 0; i < light_count; ++i) {
    const bool on = i < static_cast<int>(lights.size());
    viewer.light_enabled[i] = on;
    viewer.light_u_of[i] = on ? lights[i].u : 0;
    viewer.light_v_of[i] = on ? lights[i].v : 0;
    viewer.light_intensity[i] = on ? lights[i].intensity : 1;
  }
  viewer.current_light = 0;
  viewer.light_u = viewer.light_u_of[0];
  viewer.light_v = viewer.light_v_of[0];
  viewer.specular_on = specular;
}

struct ViewerLights {
  ViewerLights(const std::vector<Light>& lights, bool specular) {
    set_viewer_lights(lights, specular);
  }
  ~ViewerLights() { set_viewer_lights({{0, 0, 1}}, false); }
  ViewerLights(const ViewerLights&) = delete;
  ViewerLights& operator=(const ViewerLights&) = delete;
};

TEST(RenderCommand, TheTgaIsTheViewersScreenshotByteForByte) {
  ScratchDirectory scratch("render_screenshot");
  const std::string fixture = scratch.file("map.ptm");
  write_file_bytes(fixture, ptm_fixture_bytes(test_fixture(2, 16, 10, 3)));
  const struct {
    std::string map;
    std::vector<std::string> arguments;
    std::vector<Light> lights;
    bool specular;
  } cases[] = {
      {RELUMO_SAMPLE_MAP, {}, {{0, 0, 1}}, false},
      {fixture, {}, {{0, 0, 1}}, false},
      {RELUMO_SAMPLE_MAP,
       {"--mode", "specular", "--light", "0.5,0.3,0.8", "--light", "-0.4,0.2,0.7"},
       {{0.5f, 0.3f, 0.8f}, {-0.4f, 0.2f, 0.7f}},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.map + (c.specular ? " specular" : ""));
    const std::string shot_dir = make_temp_directory("viewer_shot");
    {
      Ptm* map = read_ptm_file(c.map.c_str());
      ASSERT_NE(map, nullptr);
      // The menu computes the normals before specular enhancement runs.
      map->normals = checked_alloc_array<std::int8_t>(pixel_count(*map) * 3);
      compute_normal_field(*map, map->normals);
      const ViewerLights lights(c.lights, c.specular);
      save_screenshot(*map, shot_dir + "/");
      free_ptm(map);
    }
    const std::string out = scratch.file("out.tga");
    std::vector<std::string> arguments = {"render", c.map, "-o", out};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramRun run = run_tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::string shot = read_file_bytes(shot_dir + "/screenshot000.tga");
    EXPECT_GT(shot.size(), 18u);
    EXPECT_TRUE(read_file_bytes(out) == shot);
    std::remove((shot_dir + "/screenshot000.tga").c_str());
    std::remove(shot_dir.c_str());
  }
}

TEST(RenderCommand, ThePngHoldsThePpmsPixelsAsEightBitRgb) {
  ScratchDirectory scratch("render_png");
  const std::vector<std::string> options = {"--mode", "specular", "--light", "0.5,0.3",
                                            "--light", "-0.2,-0.6,0.5"};
  for (const char* name : {"out.png", "out.ppm"}) {
    std::vector<std::string> arguments = {"render", RELUMO_SAMPLE_MAP, "-o", scratch.file(name)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ProgramRun run = run_tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
  }
  const std::string png = read_file_bytes(scratch.file("out.png"));
  ASSERT_GT(png.size(), 26u);
  // IHDR (PNG section 11.2.2): bit depth 8, colour type 2 (truecolour).
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(png[24], 8);
  EXPECT_EQ(png[25], 2);
  RgbImage* decoded = read_png_rgb(scratch.file("out.png").c_str());
  ASSERT_NE(decoded, nullptr);
  int width = 0;
  int height = 0;
  const Bytes ppm = ppm_bottom_up(scratch.file("out.ppm"), width, height);
  EXPECT_EQ(decoded->width, width);
  EXPECT_EQ(decoded->height, height);
  EXPECT_TRUE(bytes_of(*decoded) == ppm);
  free_rgb_image(decoded);
}

// The map a file of the given size would hold if every stored byte were the
// bilinear value of the source's at fx = x W / W', fy = y H / H' (exact
// here: the sizes make every position a multiple of 1/4), the neighbour
// beyond the last column or row clamped, the result truncated.
Bytes resampled(const Bytes& source, int stride, int w, int h, int to_w, int to_h) {
  Bytes out(static_cast<std::size_t>(to_w) * to_h * stride);
  for (int y = 0; y < to_h; ++y) {
    const long double fy = static_cast<long double>(y) * h / to_h;
    const int y0 = static_cast<int>(fy);
    const int y1 = std::min(y0 + 1, h - 1);
    const long double dy = fy - y0;
    for (int x = 0; x < to_w; ++x) {
      const long double fx = static_cast<long double>(x) * w / to_w;
      const int x0 = static_cast<int>(fx);
      const int x1 = std::min(x0 + 1, w - 1);
      const long double dx = fx - x0;
      for (int e = 0; e < stride; ++e) {
        auto at = [&](int px, int py) { return source[(py * w + px) * stride + e]; };
        const long double value = ((1 - dx) * at(x0, y0) + dx * at(x1, y0)) * (1 - dy) +
                                  dy * ((1 - dx) * at(x0, y1) + dx * at(x1, y1));
        out[(y * to_w + x) * stride + e] = static_cast<std::uint8_t>(value);
      }
    }
  }
  return out;
}

TEST(RenderCommand, SizeResamplesEveryStoredByteBeforeRendering) {
  ScratchDirectory scratch("render_size");
  const struct {
    int format;
    int to_width;
    int to_height;
    const char* mode;
  } cases[] = {
      {2, 4, 8, "plain"},   // positions 0, 0.75, 1.5, 2.25 across; quarters up
      {0, 4, 8, "specular"},
      {1, 4, 8, "gain"},
      {2, 2, 1, "plain"},   // smaller: 0 and 1.5 across, row 0 only
      {2, 12, 4, "normals"},
  };
  const int colour_stride[] = {0, 2, 3};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + " to " + std::to_string(c.to_width) + "x" +
                 std::to_string(c.to_height) + " " + c.mode);
    const PtmFixture source = test_fixture(c.format, 3, 2, 77 + c.format);
    PtmFixture expected = source;
    expected.width = c.to_width;
    expected.height = c.to_height;
    for (int set = 0; set < (c.format == 0 ? 3 : 1); ++set) {
      expected.coefficients[set] =
          resampled(source.coefficients[set], 6, 3, 2, c.to_width, c.to_height);
    }
    if (colour_stride[c.format] > 0) {
      expected.colour =
          resampled(source.colour, colour_stride[c.format], 3, 2, c.to_width, c.to_height);
    }
    write_file_bytes(scratch.file("source.ptm"), ptm_fixture_bytes(source));
    write_file_bytes(scratch.file("expected.ptm"), ptm_fixture_bytes(expected));
    const std::string size = std::to_string(c.to_width) + "x" + std::to_string(c.to_height);
    // The normal field takes no light.
    std::vector<std::string> lit = {"--mode", c.mode};
    if (std::string(c.mode) != "normals") lit.insert(lit.end(), {"--light", "0.3,-0.2"});
    std::vector<std::string> resize_arguments = {"render", scratch.file("source.ptm"), "-o",
                                                 scratch.file("resized.ppm"), "--size", size};
    std::vector<std::string> direct_arguments = {"render", scratch.file("expected.ptm"), "-o",
                                                 scratch.file("direct.ppm")};
    resize_arguments.insert(resize_arguments.end(), lit.begin(), lit.end());
    direct_arguments.insert(direct_arguments.end(), lit.begin(), lit.end());
    const ProgramRun resized = run_tool(resize_arguments);
    const ProgramRun direct = run_tool(direct_arguments);
    ASSERT_EQ(resized.exit_status, 0) << resized.err;
    ASSERT_EQ(direct.exit_status, 0) << direct.err;
    EXPECT_EQ(read_file_bytes(scratch.file("resized.ppm")),
              read_file_bytes(scratch.file("direct.ppm")));
  }
}

}  // namespace
