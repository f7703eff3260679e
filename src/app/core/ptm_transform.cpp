#include "app/core/ptm_transform.h"

#include "app/core/viewer_state.h"
#include "render/diffuse_gain.h"

void ptm_transform() {
  if (viewer.display_ptm == nullptr) {
    viewer.display_ptm = create_derived_ptm_shared(*viewer.current_ptm);
  }
  diffuse_gain_transform(*viewer.current_ptm, *viewer.display_ptm, viewer.diffuse_gain,
                         viewer.color_discarded ? &viewer.discarded_constant_term : nullptr);
  viewer.display_ptm_transformed = 1;
}
