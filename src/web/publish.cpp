#include "web/publish.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "common/base64.h"
#include "common/output_file.h"
#include "common/output_folder.h"
#include "web/deep_zoom.h"
#include "web/iiif_level0.h"
#include "web/map_description.h"
#include "web/page_assets.h"
#include "web/published_map.h"
#include "web/single_page.h"
#include "web/tile_pyramid.h"

namespace {

// Neighbouring plane tiles share a pixel, so that filtering across a
// tile's edge finds its neighbour's pixel there.
constexpr int plane_overlap = 1;

// A file of the site that could not be written; the message names it.
struct PublishError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string error_text(const std::string& path) { return path + ": " + std::strerror(errno); }

void write_file(const std::string& path, const void* bytes, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw PublishError(error_text(path));
  const bool written = std::fwrite(bytes, 1, size, file) == size && std::fflush(file) == 0;
  const int write_error = errno;
  if (std::fclose(file) != 0 || !written) {
    if (!written) errno = write_error;
    throw PublishError(error_text(path));
  }
}

void write_text(const std::string& path, std::string_view text) {
  write_file(path, text.data(), text.size());
}

void make_folder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) throw PublishError(error_text(path));
}

// The progress of one pyramid among several, as a share of all tiles.
struct ProgressShare {
  const ProgressFn* overall;
  std::uint64_t before;
  std::uint64_t total;

  ProgressFn part() const {
    if (!*overall) return {};
    return [this](std::uint64_t done, std::uint64_t) { (*overall)(before + done, total); };
  }
};

PyramidPlan plane_plan(const Ptm& map, const WebPublishOptions& options) {
  return {map.width,
          map.height,
          options.tile_size,
          plane_overlap,
          deep_zoom_max_level(map.width, map.height) + 1,
          options.threads};
}

PyramidPlan iiif_plan(const IiifLayout& layout, int threads) {
  return {layout.width, layout.height, layout.tile_size, 0, layout.levels, threads};
}

// Where a plane's tile goes once coded: its Deep Zoom level and position.
using PlaneTileStore = std::function<void(const std::string& plane, int level, int column, int row,
                                          const std::vector<std::uint8_t>& bytes)>;

void build_plane_pyramids(const PublishedMap& published, const WebPublishOptions& options,
                          const PlaneTileStore& store, ProgressShare& share) {
  const Ptm& map = *published.source;
  const PyramidPlan plan = plane_plan(map, options);
  const int max_level = plan.levels - 1;
  const std::vector<std::string> names = published_plane_names(published);
  for (int plane = 0; plane < static_cast<int>(names.size()); ++plane) {
    const std::string& name = names[plane];
    build_tile_pyramid(
        plan,
        [&](int top, int count, std::uint8_t* out) {
          fill_plane_rows(published, plane, top, count, out);
        },
        [&](const TilePixels& tile) {
          std::vector<std::uint8_t> bytes;
          if (!encode_tile(options.tiles, tile, bytes)) {
            throw PublishError("a tile of " + name + " could not be coded");
          }
          store(name, deep_zoom_level(max_level, tile.level), tile.column, tile.row, bytes);
        },
        share.part());
    share.before += static_cast<std::uint64_t>(pyramid_tile_count(plan));
  }
}

std::uint64_t plane_tile_total(const PublishedMap& published, const WebPublishOptions& options) {
  return static_cast<std::uint64_t>(pyramid_tile_count(plane_plan(*published.source, options))) *
         published_plane_names(published).size();
}

MapDescription describe(const PublishedMap& published, const WebPublishOptions& options,
                        bool with_iiif) {
  MapDescription description;
  description.published = &published;
  description.tile_size = options.tile_size;
  description.overlap = plane_overlap;
  description.levels = plane_plan(*published.source, options).levels;
  description.tile_format = tile_extension(options.tiles);
  description.planes = published_plane_names(published);
  description.view = options.view;
  description.title = options.title;
  if (with_iiif) description.iiif = "iiif/info.json";
  return description;
}

std::string iiif_id(const WebPublishOptions& options) {
  if (options.iiif_base.empty()) return "iiif";
  std::string base = options.iiif_base;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/iiif";
}

void write_jpeg_paths(const std::string& folder, const std::vector<std::string>& paths,
                      const std::uint8_t* top_left, std::ptrdiff_t row_step, int width,
                      int height) {
  std::vector<std::uint8_t> bytes;
  if (!encode_jpeg(top_left, row_step, width, height, 3, iiif_quality, ChromaSampling::halved,
                   bytes)) {
    throw PublishError("a picture tile could not be coded");
  }
  for (const std::string& path : paths) {
    const std::filesystem::path file = std::filesystem::path(folder) / path;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) throw PublishError(file.parent_path().string() + ": " + error.message());
    write_file(file.string(), bytes.data(), bytes.size());
  }
}

// The map lit from its default view, as a picture service under iiif/.
void write_iiif_service(Ptm& map, const WebPublishOptions& options, const std::string& folder,
                        ProgressShare& share) {
  RgbImage* picture = render_relit_picture(map, options.view);
  if (picture == nullptr) throw PublishError("the map could not be lit for its picture");
  const std::unique_ptr<RgbImage, void (*)(RgbImage*)> owned(picture, free_rgb_image);
  const std::string iiif = folder + "/iiif";
  make_folder(iiif);
  const IiifLayout layout = iiif_layout(map.width, map.height, iiif_tile_size);
  const std::size_t row_bytes = static_cast<std::size_t>(picture->width) * 3;
  // The picture is bottom-up in memory; its rows are read top first.
  const std::uint8_t* top_row = picture->pixels + (picture->height - 1) * row_bytes;
  const auto up = -static_cast<std::ptrdiff_t>(row_bytes);
  if (layout.max_level == 0) {
    write_jpeg_paths(iiif, iiif_whole_picture_paths(layout), top_row, up, picture->width,
                     picture->height);
  }
  build_tile_pyramid(
      iiif_plan(layout, options.threads),
      [&](int top, int count, std::uint8_t* out) {
        for (int r = 0; r < count; ++r) {
          std::memcpy(out + r * row_bytes, top_row + (top + r) * up, row_bytes);
        }
      },
      [&](const TilePixels& tile) {
        write_jpeg_paths(iiif, iiif_tile_paths(layout, tile.level, tile.column, tile.row),
                         tile.top_left, static_cast<std::ptrdiff_t>(tile.row_bytes), tile.width,
                         tile.height);
      },
      share.part(),
      [&](int level, const std::uint8_t* pixels, int width, int height) {
        if (level == layout.max_level) {
          write_jpeg_paths(iiif, iiif_whole_picture_paths(layout), pixels,
                           static_cast<std::ptrdiff_t>(width) * 3, width, height);
        }
      });
  share.before += static_cast<std::uint64_t>(pyramid_tile_count(iiif_plan(layout, 1)));
  write_text(iiif + "/info.json", iiif_info_json(layout, iiif_id(options)));
}

void write_site(Ptm& map, const WebPublishOptions& options, const std::string& folder) {
  const PublishedMap published = published_map_of(map, options.threads);
  const IiifLayout layout = iiif_layout(map.width, map.height, iiif_tile_size);
  ProgressShare share{&options.progress, 0,
                      plane_tile_total(published, options) +
                          static_cast<std::uint64_t>(pyramid_tile_count(iiif_plan(layout, 1)))};

  write_iiif_service(map, options, folder, share);

  const PyramidPlan plan = plane_plan(map, options);
  const char* extension = tile_extension(options.tiles);
  for (const std::string& name : published_plane_names(published)) {
    write_text(folder + "/" + name + ".dzi",
               deep_zoom_descriptor(map.width, map.height, options.tile_size, plane_overlap,
                                    extension));
    make_folder(folder + "/" + name + "_files");
    for (int level = 0; level < plan.levels; ++level) {
      make_folder(folder + "/" + deep_zoom_level_folder(name, level));
    }
  }
  build_plane_pyramids(
      published, options,
      [&](const std::string& plane, int level, int column, int row,
          const std::vector<std::uint8_t>& bytes) {
        write_file(folder + "/" + deep_zoom_tile_path(plane, level, column, row, extension),
                   bytes.data(), bytes.size());
      },
      share);

  write_text(folder + "/map.json", map_description_json(describe(published, options, true)));
  for (std::size_t i = 0; i < page_asset_count; ++i) {
    write_file(folder + "/" + page_assets[i].name, page_assets[i].bytes, page_assets[i].size);
  }
}

}  // namespace

bool publish_web_folder(Ptm& map, const WebPublishOptions& options, const char* path) {
  OutputFolder folder;
  if (!folder.open(path, options.replace)) {
    std::fprintf(stderr, "Cannot publish to %s: %s\n", path, folder.error().c_str());
    return false;
  }
  try {
    write_site(map, options, folder.path());
  } catch (const PublishError& error) {
    std::fprintf(stderr, "Error writing %s: %s; no folder was written\n", path, error.what());
    return false;
  }
  if (!folder.commit()) {
    std::fprintf(stderr, "Error writing %s: %s; no folder was written\n", path,
                 folder.error().c_str());
    return false;
  }
  return true;
}

bool publish_web_page(Ptm& map, const WebPublishOptions& options, const char* path) {
  const std::int64_t pixels = static_cast<std::int64_t>(map.width) * map.height;
  if (pixels > max_single_page_pixels) {
    std::fprintf(stderr,
                 "Cannot publish to %s: a single-file page holds maps of at most %lld pixels and "
                 "this one has %lld (%d x %d); publish it to a folder instead (-o FOLDER)\n",
                 path, static_cast<long long>(max_single_page_pixels),
                 static_cast<long long>(pixels), map.width, map.height);
    return false;
  }
  const PublishedMap published = published_map_of(map, options.threads);
  ProgressShare share{&options.progress, 0, plane_tile_total(published, options)};
  // Tiles arrive from several threads; kept by name, they come out in one
  // order whatever the thread count.
  std::map<std::string, std::string> tiles;
  std::mutex tiles_mutex;
  try {
    build_plane_pyramids(
        published, options,
        [&](const std::string& plane, int level, int column, int row,
            const std::vector<std::uint8_t>& bytes) {
          std::string text;
          append_base64(bytes.data(), bytes.size(), text);
          const std::string key = plane + "/" + std::to_string(level) + "/" +
                                  std::to_string(column) + "_" + std::to_string(row);
          const std::lock_guard<std::mutex> lock(tiles_mutex);
          tiles.emplace(key, std::move(text));
        },
        share);
  } catch (const PublishError& error) {
    std::fprintf(stderr, "Error writing %s: %s; no file was written\n", path, error.what());
    return false;
  }
  // "<" can only stand in the description's strings (the title), where
  // JSON's \u003c says the same; so nothing in the data ends its script
  // element.
  std::string description;
  for (const char c : map_description_json(describe(published, options, false))) {
    if (c == '<') {
      description += "\\u003c";
    } else {
      description += c;
    }
  }
  std::string data = "{\"map\": " + description + ", \"tiles\": {";
  bool first = true;
  for (const auto& [key, text] : tiles) {
    data += first ? "\n\"" : ",\n\"";
    data += key + "\": \"" + text + "\"";
    first = false;
  }
  data += "}}";
  const std::string html = single_page_html(data);
  if (html.empty()) {
    std::fprintf(stderr, "Error writing %s: the page's files in this program are damaged\n", path);
    return false;
  }
  OutputFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "Can't open %s for writing: %s\n", path, std::strerror(file.error()));
    return false;
  }
  std::fwrite(html.data(), 1, html.size(), file.get());
  if (!file.commit()) {
    report_write_failure("web page", path, file.error());
    return false;
  }
  return true;
}
