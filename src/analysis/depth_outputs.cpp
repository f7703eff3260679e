#include "analysis/depth_outputs.h"

#include <cstdio>

#include "analysis/camera_file.h"
#include "analysis/cob_mesh.h"
#include "analysis/depth_export.h"
#include "analysis/depth_image.h"
#include "analysis/normal_image.h"
#include "common/checked_alloc.h"

bool write_depth_outputs(const Ptm& ptm, const std::string& map_name,
                         const DepthOutputNames& names) {
  const bool normal_image_written = write_normal_image_fixed(ptm, names.normal_image);
  std::string camera_name;
  if (!camera_file_name(map_name, camera_name)) {
    std::fprintf(stderr,
                 "The name %s is too short to name a camera file (its last three characters "
                 "become \"cam\"), aborting depth calculation\n",
                 map_name.c_str());
    return false;
  }
  CameraParameters camera{};
  if (!read_camera_file(camera_name.c_str(), camera)) return false;
  float* depth = rings_depth(ptm, camera);
  if (depth == nullptr) return false;
  const bool depth_image_written =
      write_depth_image(depth, ptm.width, ptm.height, names.depth_image);
  const bool mesh_written =
      write_cob_mesh(depth, ptm.mask, ptm.width, ptm.height, names.texture, names.mesh);
  checked_free(depth);
  if (normal_image_written && depth_image_written && mesh_written) {
    std::printf("Complete\n");
    return true;
  }
  std::printf("Depth calculation finished, but not every file was written\n");
  return false;
}
