// relumo-tool web: a map published as a static web site, or as one page.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/file_names.h"
#include "tool/commands.h"
#include "tool/map_arguments.h"
#include "tool/progress_bar.h"
#include "tool/tool_io.h"
#include "tool/view_options.h"
#include "tool/web_options.h"

const char web_usage[] =
    "Usage: relumo-tool web MAP -o OUT [options]\n"
    "\n"
    "Publishes MAP for the web, relit in the browser (WebGL) with the desktop's\n"
    "arithmetic. OUT ending in .html is one page that opens from disk (maps of\n"
    "at most 8388608 pixels); anything else is a folder for any static web\n"
    "server, under any path:\n"
    "  index.html and its scripts   the viewer\n"
    "  map.json                     the map's format, size, scales, pyramids, default view\n"
    "  NAME.dzi, NAME_files/        each coefficient plane and the normals as a Deep\n"
    "                               Zoom pyramid (PNG tiles, or JPEG with --tiles jpeg)\n"
    "  iiif/                        the map lit from its default view as an IIIF Image\n"
    "                               API 3.0 level 0 service (info.json, static JPEG tiles)\n"
    "The folder is built beside OUT under a temporary name and renamed at the end.\n"
    "\n"
    "  -o OUT           the folder, or the page (.html)\n"
    "  --force          replace OUT when it is a folder that is not empty\n"
    "  --tiles T        png (default: the planes exactly) or jpeg (smaller, lossy)\n"
    "  --quality Q      jpeg tiles: libjpeg's quality 1..100 (default 90)\n"
    "  --tile-size N    Deep Zoom tile side, even, 64..2046 (default 510; the tiles\n"
    "                   are N + 2 with their one-pixel overlap)\n"
    "  --iiif-base URL  the address the folder will be served from, for the IIIF\n"
    "                   service's id (without it the id is the relative \"iiif\")\n"
    "  --light U,V[,I]  the default view's light, |U|, |V| <= 3 (default 0,0), and\n"
    "                   its intensity I (0..255, default 1)\n"
    "  --mode M         the default view's mode: plain (default), specular, gain,\n"
    "                   normals\n"
    "\n"
    "Exit status: 0 published, 1 the map could not be read or OUT written (nothing\n"
    "is left then), 2 a usage error.\n";

namespace {

bool is_http_url(const char* text) {
  return std::strncmp(text, "http://", 7) == 0 || std::strncmp(text, "https://", 8) == 0;
}

}  // namespace

WebOptions parse_web_arguments(ArgumentList& arguments) {
  WebOptions options;
  WebPublishOptions& publish = options.publish;
  publish.view = default_relit_settings();
  const char* quality = nullptr;
  const char* iiif_base = nullptr;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* option) {
    if (std::strcmp(option, "--force") == 0) {
      publish.replace = true;
    } else if (std::strcmp(option, "--tiles") == 0) {
      publish.tiles.kind =
          parse_choice(arguments.value(), {"png", "jpeg"}, "--tiles") == 0 ? TileKind::png
                                                                          : TileKind::jpeg;
    } else if (std::strcmp(option, "--quality") == 0) {
      quality = arguments.value();
    } else if (std::strcmp(option, "--tile-size") == 0) {
      const char* text = arguments.value();
      publish.tile_size =
          static_cast<int>(parse_integer(text, min_tile_size, max_tile_size, "--tile-size"));
      if (publish.tile_size % 2 != 0) {
        throw UsageError(std::string("--tile-size \"") + text + "\" is odd: tiles halve into "
                         "whole pixels only at an even size");
      }
    } else if (std::strcmp(option, "--iiif-base") == 0) {
      iiif_base = arguments.value();
    } else if (std::strcmp(option, "--light") == 0) {
      publish.view.lights = {parse_light(arguments.value())};
    } else if (std::strcmp(option, "--mode") == 0) {
      const int mode = parse_choice(arguments.value(), {"plain", "specular", "gain", "normals"},
                                    "--mode");
      const RelitMode modes[] = {RelitMode::plain, RelitMode::specular, RelitMode::gain,
                                 RelitMode::normals};
      publish.view.mode = modes[mode];
    } else {
      return false;
    }
    return true;
  });
  const char* output = options.output.c_str();
  options.single_page = file_extension(output) == "html";
  if (quality != nullptr) {
    if (publish.tiles.kind != TileKind::jpeg) {
      throw UsageError("--quality applies to --tiles jpeg");
    }
    publish.tiles.quality = static_cast<int>(parse_integer(quality, 1, 100, "--quality"));
  }
  if (iiif_base != nullptr) {
    if (options.single_page) {
      throw UsageError("--iiif-base applies to a folder; a single page has no IIIF service");
    }
    if (!is_http_url(iiif_base)) {
      throw UsageError(std::string("--iiif-base \"") + iiif_base +
                       "\" is not an http:// or https:// address");
    }
    publish.iiif_base = iiif_base;
  }
  // --force would take the map away with the folder it replaces.
  if (!options.single_page && is_inside_folder(options.map.c_str(), options.output.c_str())) {
    throw UsageError("the output folder " + options.output + " holds the map " + options.map);
  }
  return options;
}

int run_web(ArgumentList& arguments) {
  WebOptions options = parse_web_arguments(arguments);
  Ptm* map = read_map(options.map.c_str(), preferred_representation(), arguments.threads());
  if (map == nullptr) return 1;
  WebPublishOptions& publish = options.publish;
  publish.threads = arguments.threads();
  publish.view.threads = arguments.threads();
  publish.title = options.map.substr(file_name_start(options.map));
  ProgressBar bar("Publishing tiles");
  publish.progress = bar.callback();
  const bool written = options.single_page
                           ? publish_web_page(*map, publish, options.output.c_str())
                           : publish_web_folder(*map, publish, options.output.c_str());
  bar.finish();
  free_ptm(map);
  if (!written) {
    report_file_error(options.output.c_str(), "nothing was published");
    return 1;
  }
  return 0;
}
