#include "render/render_source.h"

#include <cstdio>

#include "analysis/normals.h"
#include "common/checked_alloc.h"
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
