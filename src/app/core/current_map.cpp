#include "app/core/current_map.h"

#include <cstdio>

#include "analysis/normals.h"
#include "app/core/viewer_state.h"
#include "common/checked_alloc.h"
#include "ptm/six_images.h"

Ptm* load_ptm(const char* name) {
  viewer.current_ptm = load_ptm_or_ppms(name);
  return viewer.current_ptm;
}

void compute_normals() {
  if (viewer.normals_valid) return;
  Ptm* ptm = viewer.current_ptm;
  if (ptm == nullptr) return;
  viewer.normals_valid = 1;
  ptm->normals = checked_alloc_array<std::int8_t>(pixel_count(*ptm) * 3);
  std::printf("Computing Normals from PTM\n");
  compute_normal_field(*ptm, ptm->normals);
}
