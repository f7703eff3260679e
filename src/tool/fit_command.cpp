// relumo-tool fit: a map from a capture's light-position file and
// photographs.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/capture_fit.h"
#include "tool/commands.h"
#include "tool/fit_options.h"
#include "tool/progress_bar.h"
#include "tool/tool_io.h"

const char fit_usage[] =
    "Usage: relumo-tool fit CAPTURE.lp -o OUT.ptm [options]\n"
    "\n"
    "Fits a polynomial texture map to the photographs the light-position file\n"
    "lists (JPEG, PNG, PPM/PGM or TIFF, 8 or 16 bits; names relative to the\n"
    "file's folder) and writes it. Photographs with a colour profile are\n"
    "converted to sRGB first. Each photograph is decoded once, several at a\n"
    "time on every core (--threads N: on N threads); the map is the same for\n"
    "any number of threads. A fit that would not fit in the memory available\n"
    "is refused before any photograph is decoded, naming the memory it needs.\n"
    "\n"
    "The report, in grey levels (0..255), from that one pass:\n"
    "  - per fitted channel (LRGB: the luminance; RGB: red, green and blue),\n"
    "    the RMS residual of the least-squares fit before quantisation, over\n"
    "    every measured pixel and photograph;\n"
    "  - the quantisation step of each stored coefficient a0..a5 (its scale\n"
    "    over 256): a stored coefficient lies within about half a step of the\n"
    "    fitted one.\n"
    "\n"
    "Options:\n"
    "  -o OUT.ptm              the map to write (required)\n"
    "  --format lrgb|rgb       luminance coefficients and a colour (default),\n"
    "                          or coefficients per colour channel\n"
    "  --compress jpegls       lossless JPEG-LS planes (default: uncompressed)\n"
    "  --mask MASK.png         picture of the photographs' size whose non-zero\n"
    "                          pixels are the object; the others get\n"
    "                          coefficients 0 and are not measured\n"
    "  --report photographs    also read every photograph a second time and\n"
    "                          report the error of the written map relit at its\n"
    "                          light: RMS per photograph, RMS and 99th\n"
    "                          percentile per channel\n";

FitOptions parse_fit_options(ArgumentList& args) {
  FitOptions options;
  std::vector<const char*> operands;
  bool have_output = false;
  while (!args.done()) {
    const char* a = args.next();
    if (!args.is_option()) {
      operands.push_back(a);
      continue;
    }
    if (args.common_option(a)) continue;
    if (std::strcmp(a, "-o") == 0) {
      options.output = args.value();
      have_output = true;
    } else if (std::strcmp(a, "--format") == 0) {
      options.layout = parse_choice(args.value(), {"lrgb", "rgb"}, "--format") == 0
                           ? FitLayout::lrgb
                           : FitLayout::rgb;
    } else if (std::strcmp(a, "--compress") == 0) {
      parse_choice(args.value(), {"jpegls"}, "--compress");
      options.jpegls = true;
    } else if (std::strcmp(a, "--report") == 0) {
      parse_choice(args.value(), {"photographs"}, "--report");
      options.report_photographs = true;
    } else if (std::strcmp(a, "--mask") == 0) {
      options.mask = args.value();
      if (options.mask.empty()) throw UsageError("--mask needs a file name");
    } else {
      args.unknown_option();
    }
  }
  if (operands.empty()) throw UsageError("no light-position file given");
  if (operands.size() > 1) {
    throw UsageError(std::string("one light-position file at a time, not also ") + operands[1]);
  }
  options.capture = operands[0];
  if (!have_output || options.output.empty()) throw UsageError("no output file given (-o OUT.ptm)");
  check_output_is_not_input(options.capture.c_str(), options.output.c_str());
  if (!options.mask.empty()) check_output_is_not_input(options.mask.c_str(), options.output.c_str());
  return options;
}

namespace {

const char* channel_names[3] = {"red", "green", "blue"};

void print_report(const CaptureFitReport& report, const FitOptions& options) {
  std::fprintf(stderr, "Fitted %d photographs of %d x %d pixels (%s, %llu pixels measured)\n",
               report.photograph_count, report.width, report.height,
               options.layout == FitLayout::lrgb ? "LRGB" : "RGB",
               static_cast<unsigned long long>(report.object_pixels));
  std::fprintf(stderr, "Residual of the least-squares fit before quantisation, grey levels:\n");
  for (int c = 0; c < report.residuals.channels; ++c) {
    std::fprintf(stderr, "  %-9s RMS %.3f\n",
                 options.layout == FitLayout::lrgb ? "luminance" : channel_names[c],
                 residual_rms(report.residuals, c));
  }
  std::fprintf(stderr, "Quantisation step of the stored coefficients, grey levels:");
  for (int k = 0; k < 6; ++k) {
    std::fprintf(stderr, "%s a%d %.3f", k == 0 ? "" : ",", k, report.scale_bias[k] / 256.0);
  }
  std::fprintf(stderr, "\n");
  if (!options.report_photographs) return;
  for (const PhotographError& photograph : report.photographs) {
    std::fprintf(stderr, "  %s: RMS %.2f\n", photograph.path.c_str(), photograph.rms);
  }
  std::fprintf(stderr, "Error of the written map relit at the photographs' lights, grey levels:\n");
  for (int c = 0; c < 3; ++c) {
    std::fprintf(stderr, "  %-5s RMS %.3f, 99th percentile %d\n", channel_names[c],
                 relit_rms(report.errors, c), relit_percentile(report.errors, c, 0.99));
  }
  std::fprintf(stderr, "  all   RMS %.3f\n", relit_rms(report.errors));
}

// The peak resident memory of the run: what the capture's size costs,
// also per pixel of the map.
void print_peak_memory(const CaptureFitReport& report) {
  struct rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) {
    // Linux reports ru_maxrss in kilobytes.
    const double bytes = usage.ru_maxrss * 1024.0;
    const double pixels = static_cast<double>(report.width) * report.height;
    std::fprintf(stderr, "Peak resident memory: %.1f MiB, %.1f bytes per map pixel\n",
                 bytes / (1024.0 * 1024.0), pixels > 0 ? bytes / pixels : 0.0);
  }
}

}  // namespace

int run_fit(ArgumentList& arguments) {
  const FitOptions options = parse_fit_options(arguments);
  CaptureFitOptions fit_options;
  fit_options.layout = options.layout;
  fit_options.jpegls = options.jpegls;
  fit_options.mask_path = options.mask.empty() ? nullptr : options.mask.c_str();
  fit_options.measure_photographs = options.report_photographs;
  fit_options.threads = arguments.threads();
  CaptureFitReport report;
  ProgressBar bar("Reading photographs");
  // The bar's line ends with the reading, before the writer's message.
  fit_options.progress = [&bar](std::uint64_t done, std::uint64_t total) {
    bar.update(done, total);
    if (done >= total) bar.finish();
  };
  const bool fitted = run_core_step([&] {
    return fit_capture(options.capture.c_str(), options.output.c_str(), fit_options, report);
  });
  bar.finish();
  if (!fitted) {
    report_file_error(options.output.c_str(), "not written");
    return 1;
  }
  print_report(report, options);
  print_peak_memory(report);
  return 0;
}
