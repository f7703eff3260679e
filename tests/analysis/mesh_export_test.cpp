// The relief files when the disk fills part way: each writer reports the
// failure and leaves nothing behind, and an OBJ mesh takes its material
// and picture with it.
#include "analysis/mesh_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/rgb_image.h"
#include "imageio/pfm_image.h"
#include "support/files.h"
#include "support/write_failures.h"

namespace {

TEST(ReliefFiles, AWriteThatFailsPartWayLeavesNoFile) {
  constexpr int side = 64;
  std::vector<float> heights(side * side);
  for (std::size_t i = 0; i < heights.size(); ++i) heights[i] = 0.01f * static_cast<float>(i);
  RgbImage* colours = new_rgb_image(side, side);
  for (int i = 0; i < side * side * 3; ++i) colours->pixels[i] = static_cast<std::uint8_t>(i);
  ScratchDirectory scratch("relief-files");
  struct Case {
    const char* name;
    std::function<bool(const std::string&)> write;
  };
  const Case cases[] = {
      {"d.pfm",
       [&](const std::string& p) { return write_pfm(heights.data(), 1, side, side, p.c_str()); }},
      {"m.ply",
       [&](const std::string& p) {
         return write_ply_mesh(heights.data(), *colours, 1, MeshUnit{}, p.c_str());
       }},
      {"m.obj",
       [&](const std::string& p) {
         return write_obj_mesh(heights.data(), *colours, 1, MeshUnit{}, p.c_str());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool written = true;
    testing::internal::CaptureStderr();
    {
      // Every file is larger than this; the OBJ's material file is not.
      FileSizeLimit limit(4096);
      written = c.write(scratch.file(c.name));
    }
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(written);
    EXPECT_NE(messages.find(c.name), std::string::npos) << messages;
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path)) << messages;
    // Without the limit the same call writes the file (and for OBJ its
    // two companions).
    EXPECT_TRUE(c.write(scratch.file(c.name)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path),
                            std::filesystem::directory_iterator()),
              std::string(c.name) == "m.obj" ? 3 : 1);
    std::filesystem::remove_all(scratch.path);
    std::filesystem::create_directory(scratch.path);
  }
  free_rgb_image(colours);
}

}  // namespace
