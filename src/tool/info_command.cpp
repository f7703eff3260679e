// relumo-tool info: what each map holds, as text for a person or as one
// JSON object per line for a script.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "ptm/compressed_header.h"
#include "ptm/ptm_file_info.h"
#include "tool/commands.h"
#include "tool/info_options.h"
#include "common/json_text.h"
#include "tool/tool_io.h"

const char info_usage[] =
    "Usage: relumo-tool info [--json] MAP...\n"
    "\n"
    "Describes each map: its path, the format word stored in the file and the\n"
    "format in memory (rgb, lum or lrgb), the version, width x height, the six\n"
    "scales and biases, whether a mask image was found beside it, the file size,\n"
    "and for a compressed map how each plane is coded (codec, I or P, reference,\n"
    "transform, motion in half pixels, side information, stored bytes).\n"
    "\n"
    "  --json       one JSON object per map, one per line\n"
    "\n"
    "A map that cannot be read is reported on standard error; the others are\n"
    "still described, and the exit status is 1.\n";

namespace {

// k / 256 exactly, without trailing zeros: "%.8f" holds every 1/256 step.
std::string scale_text(double scale) {
  char text[64];
  std::snprintf(text, sizeof text, "%.8f", scale);
  std::string result = text;
  result.erase(result.find_last_not_of('0') + 1);
  if (result.back() == '.') result.pop_back();
  return result == "-0" ? "0" : result;
}

const char* codec_name(int compression_type) {
  return compression_type == compression_jpegls ? "jpegls" : "jpeg";
}

std::string version_text(const PtmFileInfo& info) {
  return "1." + std::to_string(info.version_minor);
}

void print_text(std::FILE* out, const std::string& path, const PtmFileInfo& info) {
  std::fprintf(out, "%s\n", path.c_str());
  std::fprintf(out, "  format:    %s (in memory %s)\n", info.format_word.c_str(),
               ptm_format_name(info.format));
  std::fprintf(out, "  version:   %s\n", version_text(info).c_str());
  std::fprintf(out, "  size:      %d x %d\n", info.width, info.height);
  std::fprintf(out, "  scale:    ");
  for (double scale : info.scale) std::fprintf(out, " %s", scale_text(scale).c_str());
  std::fprintf(out, "\n  bias:     ");
  for (std::int32_t bias : info.bias) std::fprintf(out, " %" PRId32, bias);
  std::fprintf(out, "\n  mask:      %s\n", info.mask ? "yes" : "no");
  std::fprintf(out, "  file size: %" PRIu64 " bytes\n", info.file_size);
  if (info.planes.empty()) return;
  std::fprintf(out, "  planes:    index codec  type reference transform motion side-info bytes\n");
  for (const PtmPlaneInfo& plane : info.planes) {
    const std::string motion = std::to_string(plane.motion_x) + "," + std::to_string(plane.motion_y);
    std::fprintf(out, "             %5d %-6s %-4s %9d %9d %6s %-9s %" PRId64 "\n", plane.index,
                 codec_name(plane.compression_type), plane.intra ? "I" : "P", plane.reference,
                 plane.transform, motion.c_str(), plane.side_info ? "yes" : "no", plane.bytes);
  }
}

std::string json_line(const std::string& path, const PtmFileInfo& info) {
  std::string line = "{\"path\":" + json_string(path) +
                     ",\"format_word\":" + json_string(info.format_word) +
                     ",\"format\":" + json_string(ptm_format_name(info.format)) +
                     ",\"version\":" + json_string(version_text(info)) +
                     ",\"width\":" + std::to_string(info.width) +
                     ",\"height\":" + std::to_string(info.height) + ",\"scale\":[";
  for (int k = 0; k < 6; ++k) {
    if (k > 0) line += ',';
    line += scale_text(info.scale[k]);
  }
  line += "],\"bias\":[";
  for (int k = 0; k < 6; ++k) {
    if (k > 0) line += ',';
    line += std::to_string(info.bias[k]);
  }
  line += std::string("],\"mask\":") + (info.mask ? "true" : "false") +
          ",\"file_size\":" + std::to_string(info.file_size);
  if (!info.planes.empty()) {
    line += ",\"planes\":[";
    for (const PtmPlaneInfo& plane : info.planes) {
      line += (plane.index ? ",{" : "{") + std::string("\"index\":") +
              std::to_string(plane.index) + ",\"codec\":\"" + codec_name(plane.compression_type) +
              "\",\"type\":\"" + (plane.intra ? "I" : "P") +
              "\",\"reference\":" + std::to_string(plane.reference) +
              ",\"transform\":" + std::to_string(plane.transform) + ",\"motion\":[" +
              std::to_string(plane.motion_x) + "," + std::to_string(plane.motion_y) +
              "],\"side_info\":" + (plane.side_info ? "true" : "false") +
              ",\"bytes\":" + std::to_string(plane.bytes) + "}";
    }
    line += "]";
  }
  return line + "}\n";
}

}  // namespace

InfoOptions parse_info_arguments(ArgumentList& arguments) {
  InfoOptions options;
  while (!arguments.done()) {
    const char* argument = arguments.next();
    if (!arguments.is_option()) {
      options.maps.emplace_back(argument);
      continue;
    }
    if (arguments.common_option(argument)) continue;
    if (std::strcmp(argument, "--json") == 0) {
      options.json = true;
    } else {
      arguments.unknown_option();
    }
  }
  if (options.maps.empty()) throw UsageError("no map given");
  return options;
}

int run_info(ArgumentList& arguments) {
  const InfoOptions options = parse_info_arguments(arguments);
  int status = 0;
  bool first = true;
  for (const std::string& path : options.maps) {
    // The map is read whole, so that a damaged one is found; the stored
    // bytes are all that takes.
    Ptm* map = read_map(path.c_str(), CoefRepresentation::stored, arguments.threads());
    PtmFileInfo info;
    if (map == nullptr || !describe_ptm_file(path.c_str(), *map, info)) {
      if (map != nullptr) report_file_error(path.c_str(), "its header cannot be read again");
      free_ptm(map);
      status = 1;
      continue;
    }
    free_ptm(map);
    std::FILE* out = result_output();
    if (options.json) {
      std::fputs(json_line(path, info).c_str(), out);
    } else {
      if (!first) std::fputc('\n', out);
      print_text(out, path, info);
    }
    first = false;
    // Each map's result is out before the next map's messages.
    std::fflush(out);
  }
  return status;
}
