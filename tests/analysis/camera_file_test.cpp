// The camera file: its name beside the map, the five values with and
// without their commas, and every kind of broken file.
#include "analysis/camera_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/files.h"

namespace {

TEST(CameraFile, TheNameIsTheMapNameWithItsLastThreeCharactersReplaced) {
  struct Case {
    std::string map_name;
    bool named;
    std::string camera_name;
  };
  const Case cases[] = {
      {"object.ptm", true, "object.cam"},
      {"../maps/v1.2/stone.ptm", true, "../maps/v1.2/stone.cam"},
      {"coins", true, "cocam"},
      {"abc", true, "cam"},
      {"ab", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    std::string name = "unchanged";
    EXPECT_EQ(camera_file_name(c.map_name, name), c.named) << c.map_name;
    EXPECT_EQ(name, c.named ? c.camera_name : "unchanged") << c.map_name;
  }
}

TEST(CameraFile, FiveScansTakeTheValuesWithOrWithoutTheCommas) {
  ScratchDirectory scratch("camera");
  const std::string path = scratch.file("map.cam");
  struct Case {
    std::string text;
    CameraParameters expected;
  };
  const Case cases[] = {
      {"focal length 50\nimage width 36\n,image height 24\n,estimated depth 10\n"
       "initial distance 600\n",
       {50, 36, 24, 10, 600}},
      {"focal length 50\nimage width 36,\nimage height 24,\nestimated depth 10\n"
       "initial distance 600\n",
       {50, 36, 24, 10, 600}},
      // No commas, and a file without a last line end.
      {"focal length 35.5\nimage width 24.25\nimage height 16\nestimated depth 2.5\n"
       "initial distance 1e3",
       {35.5f, 24.25f, 16, 2.5f, 1000}},
      // Commas on the value's own line, any white space (or none) between
      // the keywords, one long line, negative values.
      {"focal   length\t-20 image width 4 , image height 3,estimated depth -1 initial "
       "distance 7 trailing words",
       {-20, 4, 3, -1, 7}},
      {"focallength 1\r\nimagewidth 2,\r\nimageheight 3,\r\nestimateddepth 4\r\n"
       "initialdistance 5\r\n",
       {1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    write_file_bytes(path, c.text);
    CameraParameters camera{};
    ASSERT_TRUE(read_camera_file(path.c_str(), camera));
    EXPECT_EQ(camera.focal_length, c.expected.focal_length);
    EXPECT_EQ(camera.image_width, c.expected.image_width);
    EXPECT_EQ(camera.image_height, c.expected.image_height);
    EXPECT_EQ(camera.estimated_depth, c.expected.estimated_depth);
    EXPECT_EQ(camera.initial_distance, c.expected.initial_distance);
  }
}

TEST(CameraFile, MissingTruncatedGarbageAndOutOfRangeFilesAreRefusedWithTheirReason) {
  ScratchDirectory scratch("camera");
  const std::string path = scratch.file("map.cam");
  const std::string good =
      "focal length 50\nimage width 36,\nimage height 24,\nestimated depth 10\n"
      "initial distance 600\n";
  struct Case {
    std::string text;
    std::string reason;  // what follows "Camera file <path>: "
  };
  const std::string abort = ", aborting depth calculation\n";
  const Case cases[] = {
      {"", "no number after \"focal length\"" + abort},
      {good.substr(0, 20), "no number after \"image width\"" + abort},
      {good.substr(0, good.find("initial") + 9), "no number after \"initial distance\"" + abort},
      {good.substr(0, good.find("600")), "no number after \"initial distance\"" + abort},
      {"focal length fifty\n", "no number after \"focal length\"" + abort},
      {"focal length 50\nimage height 24\n", "no number after \"image width\"" + abort},
      {std::string("\x89PNG\r\n\x1a\n\0\0", 10), "no number after \"focal length\"" + abort},
      {"focal length 50\nimage width nan\n", "the image width is not a finite number" + abort},
      {"focal length inf\n", "the focal length is not a finite number" + abort},
      {"focal length 50\nimage width 36\nimage height 1e39\n",
       "the image height is not a finite number" + abort},
      // Thousands of digits overflow single precision too.
      {"focal length 1" + std::string(5000, '0') + "\n",
       "the focal length is not a finite number" + abort},
      {"focal length 50\nimage width 36\nimage height 24\nestimated depth 0\n"
       "initial distance 600\n",
       "the estimated depth is 0, but every depth is divided by it; aborting depth "
       "calculation\n"},
      {"focal length 50\nimage width 36\nimage height 24\nestimated depth -0.0\n"
       "initial distance 600\n",
       "the estimated depth is 0, but every depth is divided by it; aborting depth "
       "calculation\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    write_file_bytes(path, c.text);
    CameraParameters camera{};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(read_camera_file(path.c_str(), camera));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Camera file " + path + ": " + c.reason);
  }

  const std::string missing = scratch.file("none.cam");
  CameraParameters camera{};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read_camera_file(missing.c_str(), camera));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unable to open " + missing + " camera file, aborting depth calculation\n");
}

}  // namespace
