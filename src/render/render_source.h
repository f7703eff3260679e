// The map behind many renders of one view at one size (the panels of a
// sheet, the frames of a video): resampled once to that size rather than
// once per picture, its normals computed once when the mode needs them.
#pragma once

#include <vector>

#include "ptm/ptm.h"
#include "render/relit_picture.h"

class RenderSource {
 public:
  RenderSource() = default;
  ~RenderSource();
  RenderSource(const RenderSource&) = delete;
  RenderSource& operator=(const RenderSource&) = delete;

  // Prepares `map` for pictures of `view`'s mode at width x height: the
  // map itself at its own size (its normals filled in when the mode needs
  // them and it has none, on `threads` threads), else a resampled copy
  // owned here. False after a message on standard error when the copy
  // does not fit in memory.
  bool prepare(Ptm& map, const RelitSettings& view, int width, int height, int threads);

  // The map to render from, at the pictures' size.
  Ptm& map() const { return *map_; }

  // Pictures of `view` at the prepared size, picture i lit by lights[i]
  // alone, rendered on up to `threads` threads at once (the renders read
  // nothing but their arguments). The caller frees them. At the map's own
  // size a render needs no memory beyond its picture, so none is null.
  std::vector<RgbImage*> render_lit_by(const RelitSettings& view,
                                       const std::vector<RelitLight>& lights, int threads) const;

 private:
  Ptm* map_ = nullptr;
  Ptm* resampled_ = nullptr;
};
