// relumo-tool fit, run as a user runs it: on the real icon capture, on
// photographs rendered here from a known map, and on captures that cannot
// be fitted.
#include <gtest/gtest.h>


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/rgb_image.h"
#include "imageio/png_image.h"
#include "ptm/ptm.h"
#include "ptm/reader.h"
#include "render/evaluate.h"
#include "support/files.h"
#include "support/jpeg_fixture.h"
#include "support/run_program.h"
#include "support/tiff_fixture.h"

namespace {

struct Light {
  double u;
  double v;
};

// The figures printed on the line of `channel`
// ("  red   RMS 12.345, 99th percentile 40"): the RMS, or the percentile
// when `label` is "p99"; -1 when there is no such line.
double reported(const std::string& err, const std::string& channel, const std::string& label) {
  const std::size_t at = err.find("  " + channel + " ");
  if (at == std::string::npos) return -1;
  double rms = -1;
  int percentile = -1;
  if (std::sscanf(err.c_str() + at + 2 + channel.size(), " RMS %lf, 99th percentile %d", &rms,
                  &percentile) != 2) {
    return -1;
  }
  return label == "rms" ? rms : percentile;
}

// The residual RMS the report gives for a fitted channel
// ("  luminance RMS 3.142"); -1 when there is no such line.
double reported_residual(const std::string& err, const std::string& channel) {
  const std::size_t section = err.find("Residual of the least-squares fit");
  const std::size_t at = err.find("  " + channel + " ", section);
  double rms = -1;
  if (section == std::string::npos || at == std::string::npos ||
      std::sscanf(err.c_str() + at + 2 + channel.size(), " RMS %lf", &rms) != 1) {
    return -1;
  }
  return rms;
}

// A light-position file of (u, v) directions, z completing the unit vector.
std::string lp_text(const std::vector<std::string>& names, const std::vector<Light>& lights) {
  std::string text = std::to_string(names.size()) + "\n";
  char line[256];
  for (std::size_t i = 0; i < names.size(); ++i) {
    const double u = lights[i].u;
    const double v = lights[i].v;
    std::snprintf(line, sizeof line, "%s %.9f %.9f %.9f\n", names[i].c_str(), u, v,
                  std::sqrt(1 - u * u - v * v));
    text += line;
  }
  return text;
}

// A binary PPM, top row first, of bottom-up RGB rows.
std::string ppm_bytes(int width, int height, const std::vector<std::uint8_t>& bottom_up) {
  std::string bytes = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  for (int row = height - 1; row >= 0; --row) {
    bytes.append(reinterpret_cast<const char*>(bottom_up.data()) + 3 * width * row, 3 * width);
  }
  return bytes;
}

}  // namespace

// ---- the real capture ----

TEST(FitCommand, FitsTheIconCaptureAndTheMapRelightsLikeEachPhotograph) {
  const std::string capture = std::string(RELUMO_TESTDATA_DIR) + "/rti/icon72";
  ScratchDirectory scratch("fit-icon72");
  const std::string out = scratch.file("icon.ptm");
  const ProgramRun run = run_program(
      {RELUMO_TOOL_BINARY, "fit", capture + "/dirs.lp", "-o", out, "--report", "photographs"}, "",
      "", 300);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, "");  // results and messages on standard error only
  std::printf("%s", run.err.c_str());

  // The light directions and photographs, read here without the program's
  // reader: dirs.lp holds 72 lines "imageNN.jpg x y z" of unit vectors.
  std::ifstream lp(capture + "/dirs.lp");
  int count = 0;
  lp >> count;
  ASSERT_EQ(count, 72);
  std::vector<std::string> names(count);
  std::vector<Light> lights(count);
  for (int i = 0; i < count; ++i) {
    double z;
    lp >> names[i] >> lights[i].u >> lights[i].v >> z;
  }
  Ptm* ptm = read_ptm_file(out.c_str());
  ASSERT_NE(ptm, nullptr);
  ASSERT_EQ(ptm->format, PTM_FORMAT_LRGB);
  ASSERT_EQ(ptm->width, 402);
  ASSERT_EQ(ptm->height, 395);

  // The photographs as jpegtopnm decodes them, top row first.
  std::vector<WindowPixels> photos;
  for (const std::string& name : names) {
    photos.push_back(jpegtopnm_pixels(capture + "/" + name));
    ASSERT_EQ(photos.back().width, ptm->width) << name;
    ASSERT_EQ(photos.back().height, ptm->height) << name;
  }
  // Squared differences of the written map relit at photograph k's light,
  // by the per-pixel evaluator, against photograph k; every difference is
  // kept, per channel.
  auto squared_error = [&](int k, std::vector<std::uint8_t>* differences) {
    const LightWeights weights =
        light_weights_for(static_cast<float>(lights[k].u), static_cast<float>(lights[k].v));
    const EvaluatePtmFn evaluate = select_evaluator(*ptm);
    double squares[3] = {0, 0, 0};
    for (int y = 0; y < ptm->height; ++y) {
      for (int x = 0; x < ptm->width; ++x) {
        std::uint8_t rgb[3];
        evaluate(*ptm, weights, x, y, rgb[0], rgb[1], rgb[2]);
        const Rgb seen = photos[k].at(x, ptm->height - 1 - y);  // map row 0 is the bottom row
        const int expected[3] = {seen.r, seen.g, seen.b};
        for (int c = 0; c < 3; ++c) {
          const int d = std::abs(rgb[c] - expected[c]);
          differences[c].push_back(static_cast<std::uint8_t>(d));
          squares[c] += d * d;
        }
      }
    }
    return std::vector<double>(squares, squares + 3);
  };
  const double samples = static_cast<double>(ptm->width) * ptm->height;
  auto rms = [&](const std::vector<double>& squares) {
    return std::sqrt((squares[0] + squares[1] + squares[2]) / (3 * samples));
  };

  std::vector<std::uint8_t> differences[3];
  std::vector<double> squares(3, 0.0);
  std::vector<double> own(count);
  for (int k = 0; k < count; ++k) {
    const std::vector<double> s = squared_error(k, differences);
    for (int c = 0; c < 3; ++c) squares[c] += s[c];
    own[k] = rms(s);
    RecordProperty("rms_" + names[k], std::to_string(own[k]));
    // Each photograph's own error is in the program's list.
    char expected_line[64];
    std::snprintf(expected_line, sizeof expected_line, "%s: RMS %.2f", names[k].c_str(), own[k]);
    EXPECT_NE(run.err.find(expected_line), std::string::npos) << expected_line;
  }
  // First measured: per photograph from 5.1 (image58.jpg) to 79.0
  // (image10.jpg, near the camera's axis, where the varnish's mirror glare
  // washes the face out, which no biquadratic follows), median 14.4, 65th
  // of 72 34.4 (the gilding's highlights and the cast shadows of low
  // lights).
  std::vector<double> sorted = own;
  std::sort(sorted.begin(), sorted.end());
  const double median = (sorted[35] + sorted[36]) / 2;
  std::printf("icon72: per photograph RMS from %.2f to %.2f, median %.2f, 65th of 72 %.2f\n",
              sorted.front(), sorted.back(), median, sorted[64]);
  EXPECT_LT(sorted.back(), 81.0);
  EXPECT_LT(sorted[64], 36.0);
  EXPECT_LT(median, 15.5);
  EXPECT_LT(sorted.front(), 6.0);

  // The RMS and 99th percentile per channel over all photographs, which the
  // program reported from its own pass. First measured: RMS 21.989,
  // 24.280, 26.277 and 99th percentiles 71, 86, 113 (red, green, blue):
  // the glare and the cast shadows of low lights are far from the model.
  const char* channels[3] = {"red", "green", "blue"};
  const double rms_bounds[3] = {23.0, 25.3, 27.3};
  const int percentile_bounds[3] = {75, 90, 118};
  for (int c = 0; c < 3; ++c) {
    const double channel_rms = std::sqrt(squares[c] / differences[c].size());
    std::vector<std::uint8_t>& d = differences[c];
    // Nearest rank: the ceil(0.99 n)-th smallest difference.
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.99 * d.size())) - 1;
    std::nth_element(d.begin(), d.begin() + rank, d.end());
    EXPECT_NEAR(reported(run.err, channels[c], "rms"), channel_rms, 0.0006) << channels[c];
    EXPECT_EQ(reported(run.err, channels[c], "p99"), d[rank]) << channels[c];
    std::printf("icon72 %s: RMS %.3f, 99th percentile %d\n", channels[c], channel_rms, d[rank]);
    EXPECT_LT(channel_rms, rms_bounds[c]) << channels[c];
    EXPECT_LE(d[rank], percentile_bounds[c]) << channels[c];
  }
  free_ptm(ptm);
}

// The photographs are decoded several at a time but summed in the
// capture's order, so the map and the fit's report are the same bytes for
// any number of threads; the second pass measures the map and changes
// nothing in it.
TEST(FitCommand, GivesTheSameMapAndReportForAnyNumberOfThreads) {
  const std::string lp = std::string(RELUMO_TESTDATA_DIR) + "/rti/icon72/dirs.lp";
  ScratchDirectory scratch("fit-threads");
  // The report up to the quantisation steps: the peak memory and the
  // second pass's lines after it differ by design.
  auto fit_report = [](const std::string& err) {
    const std::size_t steps = err.find("Quantisation step");
    return steps == std::string::npos ? err : err.substr(0, err.find('\n', steps));
  };
  for (const char* format : {"lrgb", "rgb"}) {
    SCOPED_TRACE(format);
    const bool rgb = std::string(format) == "rgb";
    std::string first_map;
    std::string first_report;
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--threads", "1"},
          rgb ? std::vector<std::string>{"--threads", "3", "--report", "photographs"}
              : std::vector<std::string>{"--threads", "3"}}) {
      std::vector<std::string> arguments = {RELUMO_TOOL_BINARY, "fit", lp, "-o",
                                            scratch.file("icon.ptm"), "--format", format};
      arguments.insert(arguments.end(), options.begin(), options.end());
      const ProgramRun run = run_program(arguments, "", "", 300);
      ASSERT_EQ(run.exit_status, 0) << run.err;
      const std::string map = read_file_bytes(scratch.file("icon.ptm"));
      ASSERT_GT(map.size(), 402u * 395 * 6);
      if (first_map.empty()) {
        first_map = map;
        first_report = fit_report(run.err);
        continue;
      }
      EXPECT_TRUE(map == first_map) << options[1];
      EXPECT_EQ(fit_report(run.err), first_report) << options[1];
    }
  }
}

// ---- a known map ----

namespace {

// Lights on the grid u, v in {-0.5, -0.25, 0, 0.25, 0.5} but the corner
// (0.5, 0.5) (with `corner`, all 25): directions on which u^2, v^2 and
// u v are multiples of 1/16 and u, v of 1/4, so that coefficients that are
// multiples of 16 and 4 give photographs of whole grey levels, which the
// least-squares fit reproduces exactly.
std::vector<Light> grid_lights(bool corner = false) {
  std::vector<Light> lights;
  for (int j = -2; j <= 2; ++j) {
    for (int i = -2; i <= 2; ++i) {
      if (i == 2 && j == 2 && !corner) continue;
      lights.push_back({i / 4.0, j / 4.0});
    }
  }
  return lights;
}

// Noise the fit cannot follow, for the light (i / 4, j / 4) of the whole
// grid: e = i j (5 i^2 - 17). Odd in i or in j, it sums to 0 against 1,
// u, v, u^2 and v^2 over the symmetric grid, and against u v because
// sum i^2 (5 i^2 - 17) = 2 (5 - 17) + 2 * 4 (20 - 17) = 0. So photographs
// of a known map plus s e (any s per pixel) are fitted by the known map
// exactly, with the residual s^2 sum e^2 = s^2 * 360 * 10 = 3600 s^2,
// sum over i of i^2 (5 i^2 - 17)^2 (2 * 144 + 2 * 4 * 9 = 360) times sum
// of j^2 (10).
int grid_noise(const Light& light) {
  const int i = static_cast<int>(std::lround(light.u * 4));
  const int j = static_cast<int>(std::lround(light.v * 4));
  return i * j * (5 * i * i - 17);
}
constexpr double grid_noise_squares = 3600;

// The noise's sign at pixel (x, y) in channel c: -1, 0 or 1, a different
// pattern per channel.
int noise_sign(int x, int y, int c) { return (x + 2 * y + c) % 3 - 1; }

constexpr int known_width = 16;
constexpr int known_height = 12;

// Coefficients a0..a5 of channel c at pixel (x, y) (y counted from the
// bottom): every pixel differs, and the relit values stay within 24..226.
void known_coefficients(int x, int y, int c, double a[6]) {
  const int s = x + 3 * y + 5 * c;
  a[0] = 16 * (s % 7 - 3);
  a[1] = 16 * ((s / 2) % 7 - 3);
  a[2] = 16 * ((s / 3) % 5 - 2);
  a[3] = 4 * (s % 11 - 5);
  a[4] = 4 * ((s / 5) % 11 - 5);
  a[5] = 100 + (s * 7) % 50;
}

double relit(const double a[6], const Light& l) {
  return a[0] * l.u * l.u + a[1] * l.v * l.v + a[2] * l.u * l.v + a[3] * l.u + a[4] * l.v + a[5];
}

// The decoding rule written out: trunc((b - B) * S / 256).
int decode(int byte, int scale, int bias) { return (byte - bias) * scale / 256; }

// Writes the photographs of the known map (grey when `grey`, channel c's
// coefficients otherwise) in turn as PPM, PNG, PPM and 16-bit TIFF (each
// level w as w * 257, the same fraction of full scale), and their
// light-position file; returns its path. With `noisy`, the lights are the
// whole grid and each sample gets noise_sign times grid_noise added.
std::string write_known_capture(const ScratchDirectory& scratch, bool grey, bool noisy = false) {
  const std::vector<Light> lights = grid_lights(noisy);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < lights.size(); ++i) {
    std::vector<std::uint8_t> pixels(3 * known_width * known_height);
    for (int y = 0; y < known_height; ++y) {
      for (int x = 0; x < known_width; ++x) {
        for (int c = 0; c < 3; ++c) {
          double a[6];
          known_coefficients(x, y, grey ? 0 : c, a);
          const double noise = noisy ? noise_sign(x, y, grey ? 0 : c) * grid_noise(lights[i]) : 0;
          const double level = relit(a, lights[i]) + noise;
          EXPECT_TRUE(level >= 0 && level <= 255) << level;
          pixels[3 * (y * known_width + x) + c] = static_cast<std::uint8_t>(level);
        }
      }
    }
    const bool png = i % 4 == 1;
    const bool tiff = i % 4 == 3;
    names.push_back("shot" + std::to_string(i) + (png ? ".png" : tiff ? ".tif" : ".ppm"));
    if (png) {
      RgbImage image{known_width, known_height, pixels.data()};
      EXPECT_TRUE(write_png_rgb(image, scratch.file(names.back()).c_str()));
    } else if (tiff) {
      // The fixture writes rows top first; the pixels here are bottom-up.
      TiffFixture f;
      f.width = known_width;
      f.height = known_height;
      f.bits = 16;
      f.compression = 8;
      f.rows_per_strip = 5;
      for (int y = known_height - 1; y >= 0; --y) {
        for (int k = 0; k < 3 * known_width; ++k) {
          f.samples.push_back(static_cast<std::uint16_t>(pixels[3 * y * known_width + k] * 257));
        }
      }
      write_file_bytes(scratch.file(names.back()), tiff_fixture_bytes(f));
    } else {
      write_file_bytes(scratch.file(names.back()), ppm_bytes(known_width, known_height, pixels));
    }
  }
  write_file_bytes(scratch.file("known.lp"), lp_text(names, lights));
  return scratch.file("known.lp");
}

}  // namespace

// The map comes back within a quantisation step, and the report gives the
// fit's residual from its one pass: 0 for photographs the map explains
// exactly, the noise's otherwise (grid_noise: 3600 grey levels squared
// per pixel and channel whose noise sign is not 0, over the measured
// pixels and the 25 photographs).
TEST(FitCommand, RecoversAKnownMapWithinOneQuantisationStepAndReportsItsResidual) {
  struct Case {
    const char* format;
    bool grey;
    bool mask;
    bool jpegls;
    bool noisy;
  };
  for (const Case& t :
       {Case{"rgb", false, false, false, false}, Case{"lrgb", true, false, false, false},
        Case{"lrgb", true, true, false, false}, Case{"rgb", false, true, true, false},
        Case{"lrgb", true, false, true, false}, Case{"lrgb", true, false, false, true},
        Case{"rgb", false, true, false, true}}) {
    SCOPED_TRACE(std::string(t.format) + (t.mask ? " with a mask" : "") +
                 (t.jpegls ? " in JPEG-LS" : "") + (t.noisy ? " with noise" : ""));
    ScratchDirectory scratch("fit-known");
    const std::string lp = write_known_capture(scratch, t.grey, t.noisy);
    std::vector<std::string> arguments = {RELUMO_TOOL_BINARY, "fit", lp, "-o",
                                          scratch.file("known.ptm"), "--format", t.format};
    // The mask leaves out the top three rows of the picture (its first
    // three rows in the file) and the left column.
    auto object = [](int x, int y) { return x > 0 && y < known_height - 3; };
    if (t.mask) {
      std::vector<std::uint8_t> mask(3 * known_width * known_height, 0);
      for (int y = 0; y < known_height; ++y) {
        for (int x = 0; x < known_width; ++x) {
          if (object(x, y)) mask[3 * (y * known_width + x) + 1] = 255;
        }
      }
      write_file_bytes(scratch.file("mask.ppm"), ppm_bytes(known_width, known_height, mask));
      arguments.insert(arguments.end(), {"--mask", scratch.file("mask.ppm")});
    }
    if (t.jpegls) arguments.insert(arguments.end(), {"--compress", "jpegls"});
    const ProgramRun run = run_program(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    Ptm* ptm = read_ptm_file(scratch.file("known.ptm").c_str());
    ASSERT_NE(ptm, nullptr);
    // Lossless JPEG-LS planes read back as the stored bytes themselves.
    ASSERT_EQ(ptm->format, t.grey ? PTM_FORMAT_LRGB : PTM_FORMAT_RGB);
    EXPECT_EQ(read_file_bytes(scratch.file("known.ptm")).find(
                  t.grey ? "PTM_FORMAT_JPEGLS_LRGB" : "PTM_FORMAT_JPEGLS_RGB") != std::string::npos,
              t.jpegls);
    const int channels = t.grey ? 1 : 3;
    int checked = 0;
    for (int y = 0; y < known_height; ++y) {
      for (int x = 0; x < known_width; ++x) {
        const std::size_t p = static_cast<std::size_t>(y) * known_width + x;
        for (int c = 0; c < channels; ++c) {
          double a[6];
          known_coefficients(x, y, c, a);
          for (int k = 0; k < 6; ++k) {
            const int scale = ptm->scale_bias[k];
            const int bias = ptm->scale_bias[6 + k];
            const int byte = ptm->coef_planes[2 * c + k / 3][3 * p + k % 3];
            if (t.mask && !object(x, y)) {
              EXPECT_EQ(byte, bias) << "masked " << x << "," << y << " a" << k;
              continue;
            }
            const int step = (scale + 255) / 256;
            EXPECT_LE(std::abs(decode(byte, scale, bias) - a[k]), step)
                << x << "," << y << " channel " << c << " a" << k;
            ++checked;
          }
        }
        if (t.grey) {
          std::uint8_t rgb[3];
          get_lrgb_color(*ptm, p, rgb);
          // Grey photographs, Y = max(R, G, B) = every channel: full colour.
          const int expected = t.mask && !object(x, y) ? 0 : 255;
          EXPECT_EQ(rgb[0], expected);
          EXPECT_EQ(rgb[2], expected);
        }
      }
    }
    EXPECT_GT(checked, 0);
    const int measured = t.mask ? (known_width - 1) * (known_height - 3)
                                : known_width * known_height;
    EXPECT_NE(run.err.find(", " + std::to_string(measured) + " pixels measured"),
              std::string::npos)
        << run.err;
    const char* names[3] = {"red", "green", "blue"};
    for (int c = 0; c < channels; ++c) {
      int noisy_pixels = 0;
      for (int y = 0; y < known_height; ++y) {
        for (int x = 0; x < known_width; ++x) {
          if ((!t.mask || object(x, y)) && noise_sign(x, y, c) != 0) ++noisy_pixels;
        }
      }
      const double expected =
          t.noisy ? std::sqrt(grid_noise_squares * noisy_pixels / (measured * 25.0)) : 0.0;
      EXPECT_NEAR(reported_residual(run.err, t.grey ? "luminance" : names[c]), expected, 0.0006)
          << run.err;
    }
    // Every coefficient spans less than 255 grey levels: steps of one.
    EXPECT_NE(run.err.find("grey levels: a0 1.000, a1 1.000, a2 1.000, a3 1.000, a4 1.000, "
                           "a5 1.000\n"),
              std::string::npos)
        << run.err;
    free_ptm(ptm);
  }
}

// The fit sees only a light's projected direction, which a light below the
// horizon shares with its mirror image above: each such photograph is named
// in a warning, and the map is the one of the mirrored file.
TEST(FitCommand, WarnsOfEachLightBelowTheHorizonNamingItsPhotograph) {
  ScratchDirectory scratch("fit-mirrored-lights");
  const std::string lp = write_known_capture(scratch, true);
  const ProgramRun above =
      run_program({RELUMO_TOOL_BINARY, "fit", lp, "-o", scratch.file("above.ptm")});
  ASSERT_EQ(above.exit_status, 0) << above.err;
  EXPECT_EQ(above.err.find("below the horizon"), std::string::npos) << above.err;
  std::string text = read_file_bytes(lp);
  for (const char* name : {"shot3.tif ", "shot8.ppm "}) {
    ASSERT_NE(text.find(name), std::string::npos) << name << " is not in the capture";
    const std::size_t line_end = text.find('\n', text.find(name));
    const std::size_t z = text.rfind(' ', line_end) + 1;
    text = text.substr(0, z) + "-" + text.substr(z);
  }
  write_file_bytes(scratch.file("below.lp"), text);
  const ProgramRun below = run_program(
      {RELUMO_TOOL_BINARY, "fit", scratch.file("below.lp"), "-o", scratch.file("below.ptm")});
  ASSERT_EQ(below.exit_status, 0) << below.err;
  for (const char* name : {"shot3.tif", "shot8.ppm"}) {
    EXPECT_NE(below.err.find("Warning: the light of photograph " + scratch.file(name) +
                             " is below the horizon (z = -0."),
              std::string::npos)
        << below.err;
  }
  std::size_t warnings = 0;
  for (std::size_t at = below.err.find("below the horizon"); at != std::string::npos;
       at = below.err.find("below the horizon", at + 1)) {
    ++warnings;
  }
  EXPECT_EQ(warnings, 2u);
  EXPECT_EQ(read_file_bytes(scratch.file("below.ptm")),
            read_file_bytes(scratch.file("above.ptm")));
}

// ---- captures that cannot be fitted ----

TEST(FitCommand, RefusesCapturesThatCannotBeFittedAndWritesNothing) {
  struct Case {
    const char* what;
    int status;
    std::string culprit;  // a file name the message must give
  };
  const std::vector<Case> cases = {
      {"a photograph of another size", 1, "shot4.ppm"},
      {"a missing photograph", 1, "shot5.png"},
      {"a light-position file with no entries", 1, "known.lp"},
      {"a mask of another size", 1, "mask.ppm"},
      {"a photograph that is not a picture", 1, "shot2.ppm"},
      {"a photograph that ends early", 1, "shot6.ppm"},
      {"lights on one ring", 1, "known.lp"},
      {"an output in a missing folder", 1, "missing"},
      {"no output", 2, "-o"},
      {"an unknown format", 2, "lum"},
      {"an unknown report", 2, "everything"},
      {"two captures", 2, "other.lp"},
      {"an output that is the capture", 2, "known.lp"},
      {"an output that is a photograph", 1, "shot4.ppm"},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    ScratchDirectory scratch("fit-refused");
    const std::string lp = write_known_capture(scratch, false);
    const std::string out = scratch.file("out.ptm");
    std::vector<std::string> arguments = {RELUMO_TOOL_BINARY, "fit", lp, "-o", out};
    const std::string what = t.what;
    if (what == "a photograph of another size") {
      write_file_bytes(scratch.file("shot4.ppm"),
                       ppm_bytes(known_width, known_height - 1,
                                 std::vector<std::uint8_t>(3 * known_width * known_height)));
    } else if (what == "a missing photograph") {
      std::remove(scratch.file("shot5.png").c_str());
    } else if (what == "a light-position file with no entries") {
      write_file_bytes(lp, "0\n");
    } else if (what == "a mask of another size") {
      write_file_bytes(scratch.file("mask.ppm"), ppm_bytes(2, 2, std::vector<std::uint8_t>(12)));
      arguments.insert(arguments.end(), {"--mask", scratch.file("mask.ppm")});
    } else if (what == "a photograph that is not a picture") {
      write_file_bytes(scratch.file("shot2.ppm"), "these are not pixels\n");
    } else if (what == "a photograph that ends early") {
      // Its header is whole: the decoding, photographs in flight on three
      // threads, finds the end.
      write_file_bytes(scratch.file("shot6.ppm"), ppm_bytes(known_width, known_height,
                                                            std::vector<std::uint8_t>(
                                                                3 * known_width * known_height))
                                                      .substr(0, 100));
      arguments.insert(arguments.end(), {"--threads", "3"});
    } else if (what == "lights on one ring") {
      std::vector<std::string> names;
      std::vector<Light> ring;
      for (int i = 0; i < 8; ++i) {
        names.push_back("shot" + std::to_string(2 * i) + ".ppm");
        ring.push_back({0.5 * std::cos(i * 0.785398), 0.5 * std::sin(i * 0.785398)});
      }
      write_file_bytes(lp, lp_text(names, ring));
    } else if (what == "an output in a missing folder") {
      arguments[4] = scratch.file("missing/out.ptm");
    } else if (what == "no output") {
      arguments.resize(3);
    } else if (what == "an unknown format") {
      arguments.insert(arguments.end(), {"--format", "lum"});
    } else if (what == "an unknown report") {
      arguments.insert(arguments.end(), {"--report", "everything"});
    } else if (what == "two captures") {
      arguments.push_back(scratch.file("other.lp"));
    } else if (what == "an output that is the capture") {
      arguments[4] = lp;
    } else if (what == "an output that is a photograph") {
      arguments[4] = scratch.file("shot4.ppm");
    }
    const std::string before = read_file_bytes(lp);
    const std::string photograph_before = read_file_bytes(scratch.file("shot4.ppm"));
    const ProgramRun run = run_program(arguments);
    EXPECT_EQ(run.exit_status, t.status) << run.err;
    EXPECT_NE(run.err.find(t.culprit), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read_file_bytes(lp), before);
    EXPECT_EQ(read_file_bytes(scratch.file("shot4.ppm")), photograph_before);
    for (const std::string& name : file_names_in(scratch.path)) {
      EXPECT_NE(name, "out.ptm");
      EXPECT_EQ(name.find(".partial-"), std::string::npos) << name;
    }
  }
}

// Photographs of 16000 x 15000 pixels, headers only, under an
// address-space limit of 4 GB: the fit is refused before any photograph is
// decoded, naming the memory it needs. Per pixel six sums of A^T y, y^T y
// (floats) and four colour sums (32 bits): 44 bytes, 10.56 GB; and one
// photograph of 720 MB being read: 11.3 GB.
TEST(FitCommand, RefusesAFitThatCannotFitInMemoryBeforeDecoding) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's shadow memory exceeds any address-space limit";
#endif
  ScratchDirectory scratch("fit-memory");
  const std::vector<Light> lights = grid_lights();
  std::vector<std::string> names;
  for (std::size_t i = 0; i < lights.size(); ++i) {
    names.push_back("large" + std::to_string(i) + ".ppm");
    write_file_bytes(scratch.file(names.back()), "P6\n16000 15000\n255\n");
  }
  write_file_bytes(scratch.file("large.lp"), lp_text(names, lights));
  const ProgramRun run = run_program(
      {"/bin/sh", "-c",
       "ulimit -v 4000000 && exec " + std::string(RELUMO_TOOL_BINARY) + " fit '" +
           scratch.file("large.lp") + "' -o '" + scratch.file("large.ptm") + "'"});
  EXPECT_EQ(run.exit_status, 1) << run.err;
  EXPECT_NE(run.err.find("Fitting 24 photographs of 16000 x 15000 pixels as LRGB needs 11.3 GB of "
                         "memory even with one photograph decoded at a time (47 bytes per map "
                         "pixel)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("pixel data"), std::string::npos) << run.err;  // nothing decoded
  EXPECT_FALSE(std::filesystem::exists(scratch.file("large.ptm")));
}
