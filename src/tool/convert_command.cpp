// relumo-tool convert: a map, or a rectangle of it, in another storage
// format.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tool/commands.h"
#include "tool/convert_options.h"
#include "tool/progress_bar.h"
#include "tool/tool_io.h"
#include "writers/format_conversion.h"

const char convert_usage[] =
    "Usage: relumo-tool convert MAP -o OUT.ptm --format F [options]\n"
    "\n"
    "Writes MAP in the storage format F:\n"
    "  rgb, jpeg-rgb, jpegls-rgb              six coefficients per colour channel\n"
    "  lrgb, lut, clut, jpeg-lrgb, jpegls-lrgb six luminance coefficients and a colour\n"
    "  lum                                    luminance and chroma (LUM maps only)\n"
    "  jpeg, jpegls                           the JPEG or JPEG-LS format of MAP's own\n"
    "                                         family (RGB or LRGB; not for LUM maps)\n"
    "Within a family the stored bytes are kept: the uncompressed formats and\n"
    "lossless JPEG-LS give them back exactly, lut and clut palettize them with\n"
    "the viewer's k-means. An LRGB map becomes RGB by multiplying its\n"
    "coefficients by the colour; an RGB map to the luminance family, and a LUM\n"
    "map to anything but lum, is fitted by least squares over the light\n"
    "directions of the 0.1 grid of the unit disc (rim included, 317 lights),\n"
    "and the fit's RMS error is reported.\n"
    "\n"
    "Options:\n"
    "  -o OUT.ptm       the PTM file to write (never the input)\n"
    "  --format F       the storage format of OUT\n"
    "  --quality Q      the JPEG formats: JPEG quality 1..100 (default 90)\n"
    "  --near N         the JPEG-LS formats: the loss bound 0..127 (default 0,\n"
    "                   lossless)\n"
    "  --crop X,Y,W,H   only the W x H pixels whose left column is X and bottom row Y,\n"
    "                   rows counted in the map's own order (row 0 is stored first);\n"
    "                   the rectangle must lie inside the map\n"
    "\n"
    "An option that does not apply to F (--quality without a JPEG format,\n"
    "--near without a JPEG-LS one) is a usage error.\n"
    "Exit status: 0 written, 1 the map could not be read or OUT written (no file\n"
    "is left then), 2 a usage error.\n";

namespace {

bool is_jpeg(int format) { return format == PTM_FORMAT_JPEG_RGB || format == PTM_FORMAT_JPEG_LRGB; }

bool is_jpegls(int format) {
  return format == PTM_FORMAT_JPEGLS_RGB || format == PTM_FORMAT_JPEGLS_LRGB;
}

// "--format jpeg" and "--format jpegls": the codec alone, the family to be
// the map's. Until the map is read the format stands for the RGB member.
struct FamilyPick {
  const char* name;
  int rgb_format;
  int lrgb_format;
};
constexpr FamilyPick family_picks[] = {
    {"jpeg", PTM_FORMAT_JPEG_RGB, PTM_FORMAT_JPEG_LRGB},
    {"jpegls", PTM_FORMAT_JPEGLS_RGB, PTM_FORMAT_JPEGLS_LRGB},
};

// The format of a family pick for this map: RGB keeps RGB; LRGB (and the
// table formats, LRGB once read) keeps LRGB. A LUM map has no such format
// of its own; both are fits, so the user must say which.
int picked_format(const FamilyPick& pick, const ConvertOptions& options, const Ptm& map) {
  if (map.format == PTM_FORMAT_RGB) return pick.rgb_format;
  if (map.format == PTM_FORMAT_LRGB) return pick.lrgb_format;
  throw UsageError(std::string("--format ") + pick.name +
                   " keeps the family of an RGB or LRGB map; " + options.input + " is " +
                   ptm_format_name(map.format) + ": give " + ptm_format_name(pick.rgb_format) +
                   " or " + ptm_format_name(pick.lrgb_format));
}

// What can only be checked against the map itself; usage errors too, since
// the arguments asked for something this map cannot give.
void check_against_map(ConvertOptions& options, const Ptm& map) {
  if (options.family_pick >= 0) {
    options.format = picked_format(family_picks[options.family_pick], options, map);
  }
  if (options.format == PTM_FORMAT_LUM && map.format != PTM_FORMAT_LUM) {
    throw UsageError("--format lum needs a LUM map; " + options.input + " is " +
                     ptm_format_name(map.format));
  }
  const PtmRect& r = options.region;
  if (options.crop && (static_cast<std::int64_t>(r.xs) + r.w > map.width ||
                       static_cast<std::int64_t>(r.ys) + r.h > map.height)) {
    throw UsageError("--crop " + std::to_string(r.xs) + "," + std::to_string(r.ys) + "," +
                     std::to_string(r.w) + "," + std::to_string(r.h) + " is not inside the " +
                     std::to_string(map.width) + " x " + std::to_string(map.height) + " map " +
                     options.input);
  }
}

}  // namespace

ConvertOptions parse_convert_options(ArgumentList& arguments) {
  std::vector<const char*> operands;
  const char* output = nullptr;
  const char* format = nullptr;
  const char* quality = nullptr;
  const char* near = nullptr;
  const char* crop = nullptr;
  while (!arguments.done()) {
    const char* argument = arguments.next();
    if (!arguments.is_option()) {
      operands.push_back(argument);
      continue;
    }
    if (arguments.common_option(argument)) continue;
    if (std::strcmp(argument, "-o") == 0) {
      output = arguments.value();
    } else if (std::strcmp(argument, "--format") == 0) {
      format = arguments.value();
    } else if (std::strcmp(argument, "--quality") == 0) {
      quality = arguments.value();
    } else if (std::strcmp(argument, "--near") == 0) {
      near = arguments.value();
    } else if (std::strcmp(argument, "--crop") == 0) {
      crop = arguments.value();
    } else {
      arguments.unknown_option();
    }
  }
  if (operands.empty()) throw UsageError("the map to convert is missing");
  if (operands.size() > 1) {
    throw UsageError("one map at a time: " + std::to_string(operands.size()) + " were given");
  }
  if (output == nullptr) throw UsageError("the output (-o OUT.ptm) is missing");
  if (file_extension(output) != "ptm") {
    throw UsageError(std::string("the output ") + output + " does not end in .ptm");
  }
  if (format == nullptr) throw UsageError("the format (--format F) is missing");

  ConvertOptions options;
  options.input = operands[0];
  options.output = output;
  std::vector<const char*> names;
  for (int f = PTM_FORMAT_RGB; f <= PTM_FORMAT_JPEGLS_LRGB; ++f) names.push_back(ptm_format_name(f));
  for (const FamilyPick& pick : family_picks) names.push_back(pick.name);
  const int choice = parse_choice(format, names, "--format");
  if (choice > PTM_FORMAT_JPEGLS_LRGB) {
    options.family_pick = choice - PTM_FORMAT_JPEGLS_LRGB - 1;
    options.format = family_picks[options.family_pick].rgb_format;
  } else {
    options.format = choice;
  }
  if (quality != nullptr) {
    if (!is_jpeg(options.format)) {
      throw UsageError(std::string("--quality applies to jpeg, jpeg-rgb and jpeg-lrgb, not ") +
                       format);
    }
    options.quality = static_cast<int>(parse_integer(quality, 1, 100, "--quality"));
  }
  if (near != nullptr) {
    if (!is_jpegls(options.format)) {
      throw UsageError(std::string("--near applies to jpegls, jpegls-rgb and jpegls-lrgb, not ") +
                       format);
    }
    options.near = static_cast<int>(parse_integer(near, 0, 127, "--near"));
  }
  if (crop != nullptr) {
    const std::vector<std::int64_t> r = parse_integer_list(crop, 4, 0, INT32_MAX, "--crop");
    if (r[2] == 0 || r[3] == 0) {
      throw UsageError(std::string("--crop \"") + crop + "\" has no pixels (W and H must be 1 or more)");
    }
    options.crop = true;
    options.region = {static_cast<int>(r[0]), static_cast<int>(r[1]), static_cast<int>(r[2]),
                      static_cast<int>(r[3])};
  }
  return options;
}

int run_convert(ArgumentList& arguments) {
  ConvertOptions options = parse_convert_options(arguments);
  const char* input = options.input.c_str();
  const char* output = options.output.c_str();
  check_output_is_not_input(input, output);
  // Copying or palettizing the stored bytes needs nothing else of the map:
  // it is read without its integer form, no larger than its file. A fit or
  // a requantisation evaluates it.
  const int memory_format = map_memory_format(input);
  const ConversionKind kind = options.family_pick >= 0
                                  ? ConversionKind::copy
                                  : conversion_kind(memory_format, options.format);
  const bool stored = kind == ConversionKind::copy || kind == ConversionKind::palettize;
  const OwnedPtm map(read_map(input,
                              stored ? CoefRepresentation::stored : preferred_representation(),
                              arguments.threads()));
  if (!map) return 1;
  check_against_map(options, *map);

  ProgressBar bar("Converting");
  ConversionOptions conversion;
  conversion.format = options.format;
  conversion.quality = options.quality;
  conversion.near = options.near;
  conversion.whole_map = !options.crop;
  conversion.region = options.region;
  // The bar's line ends with the work, before the writer's closing message.
  conversion.threads = arguments.threads();
  conversion.progress = [&bar](std::uint64_t done, std::uint64_t total) {
    bar.update(done, total);
    if (done >= total) bar.finish();
  };
  ConversionReport report;
  const bool written =
      run_core_step([&] { return write_converted_ptm(*map, conversion, output, report); });
  bar.finish();
  if (!written) {
    report_file_error(output, "not written");
    return 1;
  }
  if (report.kind == ConversionKind::fit) {
    const int width = options.crop ? options.region.w : map->width;
    const int height = options.crop ? options.region.h : map->height;
    std::fprintf(stderr, "Fitted the %d x %d map to %d lights: RMS error %.2f grey levels\n", width,
                 height, report.fit_lights, report.rms_error);
  }
  return 0;
}
