#include "app/core/ptm_transform.h"

#include "app/core/viewer_state.h"
#include "render/diffuse_gain.h"

void ptm_transform() {
  const Ptm& current = *viewer.current_ptm;
  // A zoomed map has the view's size; the transform is of the whole map.
  Ptm* shown = viewer.display_ptm;
  if (shown != nullptr && (shown->width != current.width || shown->height != current.height)) {
    free_derived_ptm_of(shown, current);
    viewer.display_ptm = nullptr;
  }
  if (viewer.display_ptm == nullptr) {
    viewer.display_ptm = create_derived_ptm_shared(current);
  }
  diffuse_gain_transform(*viewer.current_ptm, *viewer.display_ptm, viewer.diffuse_gain,
                         viewer.color_discarded ? &viewer.discarded_constant_term : nullptr);
  viewer.display_ptm_transformed = 1;
}
