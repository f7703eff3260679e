#include "render/render_source.h"

#include <cstdio>

#include "analysis/normals.h"
#include "common/checked_alloc.h"
#include "common/parallel.h"
#include "ptm/resized_ptm.h"

RenderSource::~RenderSource() { free_ptm(resampled_); }

bool RenderSource::prepare(Ptm& map, const RelitSettings& view, int width, int height,
                           int threads) {
  map_ = &map;
  if (width != map.width || height != map.height) {
    resampled_ = resize_ptm(map, width, height);
    if (resampled_ == nullptr) {
      std::fprintf(stderr, "The map cannot be resampled to %d x %d: too large for this machine\n",
                   width, height);
      return false;
    }
    map_ = resampled_;
  }
  const bool needs_normals = view.mode == RelitMode::specular || view.mode == RelitMode::gain ||
                             view.mode == RelitMode::normals;
  if (needs_normals && map_->normals == nullptr) {
    map_->normals = checked_alloc_array<std::int8_t>(pixel_count(*map_) * 3);
    compute_normal_field(*map_, map_->normals, threads);
  }
  return true;
}

std::vector<RgbImage*> RenderSource::render_lit_by(const RelitSettings& view,
                                                   const std::vector<RelitLight>& lights,
                                                   int threads) const {
  RelitSettings native = view;
  native.width = 0;
  native.height = 0;
  std::vector<RgbImage*> pictures(lights.size(), nullptr);
  parallel_blocks(threads, static_cast<std::int64_t>(lights.size()), 1,
                  [&](std::int64_t begin, std::int64_t end) {
                    RelitSettings one = native;
                    for (std::int64_t i = begin; i < end; ++i) {
                      one.lights = {lights[static_cast<std::size_t>(i)]};
                      pictures[static_cast<std::size_t>(i)] = render_relit_picture(*map_, one);
                    }
                  });
  return pictures;
}
