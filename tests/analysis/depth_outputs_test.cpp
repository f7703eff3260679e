// The depth command's three files from a map with normals, and what is
// left out when the camera file is missing or unusable or a file cannot be
// written.
#include "analysis/depth_outputs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/checked_alloc.h"
#include "support/files.h"

namespace {

class DepthOutputs : public testing::Test {
 protected:
  // A map of width x height whose normals tilt to the right and up.
  void SetUp() override {
    ptm = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::wide);
    ptm->normals = checked_alloc_array<std::int8_t>(pixel_count(*ptm) * 3);
    for (std::size_t p = 0; p < pixel_count(*ptm); ++p) {
      const int x = static_cast<int>(p % width);
      ptm->normals[3 * p] = static_cast<std::int8_t>(3 * x - 15);
      ptm->normals[3 * p + 1] = 12;
      ptm->normals[3 * p + 2] = 120;
    }
    names.normal_image = normal_image.c_str();
    names.depth_image = depth_image.c_str();
    names.mesh = mesh.c_str();
  }
  void TearDown() override { free_ptm(ptm); }

  struct Run {
    bool complete;
    std::string out;
    std::string err;
  };
  Run run(const std::string& map_name) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool complete = write_depth_outputs(*ptm, map_name, names);
    const std::string out = testing::internal::GetCapturedStdout();
    return {complete, out, testing::internal::GetCapturedStderr()};
  }

  // Column 0 of the even width is grown last, but column 1 is not known:
  // its 7 pixels, counted in one line.
  const std::string column_zero_has_no_points =
      "GrowTo Error: no points to grow from, at 7 pixels\n";
  static constexpr int width = 12;
  static constexpr int height = 7;
  Ptm* ptm = nullptr;
  ScratchDirectory scratch{"depth-outputs"};
  std::string map = scratch.file("map.ptm");
  std::string camera = scratch.file("map.cam");
  std::string normal_image = scratch.file("normalimage.ppm");
  std::string depth_image = scratch.file("depthimage.ppm");
  std::string mesh = scratch.file("tsdepthascii.cob");
  DepthOutputNames names;
};

// 12 x 7 is not square: the rings stop at side 7, and columns 0..2 and
// 10..11 are never reached (column 0 not even by the even-width pass).
TEST_F(DepthOutputs, AMapThatIsNotSquareGivesFiniteFilesWithTheWholeGreyRange) {
  write_file_bytes(camera,
                   "focal length 30\nimage width 12\nimage height 7\nestimated depth 0.5\n"
                   "initial distance 50\n");
  const Run result = run(map);
  EXPECT_TRUE(result.complete) << result.err;
  EXPECT_EQ(result.err, column_zero_has_no_points);
  EXPECT_EQ(result.out, "Writing Truespace File\nComplete\n");
  EXPECT_EQ(read_file_bytes(normal_image).substr(0, 13), "P6\n12\n7\n255\n\x71")
      << "the first pixel is map pixel (0, 6), normal x -15";
  const std::string grey = read_file_bytes(depth_image);
  const std::string header = "P6\n12\n7\n255\n";
  ASSERT_EQ(grey.size(), header.size() + 12 * 7 * 3);
  EXPECT_EQ(grey.substr(0, header.size()), header);
  // File row r is map row 6 - r; the pixels outside the reached square
  // (here the left column of the top row, map (0, 6)) lie at the far end,
  // black, and the nearest reached pixel is white.
  int white = 0, black = 0;
  for (std::size_t i = header.size(); i < grey.size(); i += 3) {
    white += static_cast<std::uint8_t>(grey[i]) == 255 ? 1 : 0;
    black += grey[i] == 0 ? 1 : 0;
  }
  EXPECT_GT(white, 0);
  EXPECT_GT(black, 0);
  EXPECT_EQ(grey[header.size()], 0);
  const std::string text = read_file_bytes(mesh);
  EXPECT_EQ(text.find("nan"), std::string::npos);
  EXPECT_EQ(text.find("inf"), std::string::npos);
  EXPECT_NE(text.find("World Vertices 6\n"), std::string::npos);
  EXPECT_NE(text.find("Faces 4\n"), std::string::npos);
}

TEST_F(DepthOutputs, WithoutAUsableCameraFileOnlyTheNormalImageIsWritten) {
  struct Case {
    std::string map_name;
    std::string camera_text;  // empty: no camera file
    std::string message;
  };
  const Case cases[] = {
      {map, "", "Unable to open " + camera + " camera file, aborting depth calculation\n"},
      {"ab", "",
       "The name ab is too short to name a camera file (its last three characters become "
       "\"cam\"), aborting depth calculation\n"},
      {map, "focal length 30\nimage width twelve\n",
       "Camera file " + camera +
           ": no number after \"image width\", aborting depth "
           "calculation\n"},
      {map,
       "focal length 0\nimage width 12\nimage height 7\nestimated depth 1\n"
       "initial distance 50\n",
       "The focal length 0 makes the perspective ratio's denominator 0 at pixel (5, 3): no "
       "depth there; aborting depth calculation\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::filesystem::remove(camera);
    std::filesystem::remove(normal_image);
    if (!c.camera_text.empty()) write_file_bytes(camera, c.camera_text);
    const Run result = run(c.map_name);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.message);
    EXPECT_TRUE(std::filesystem::exists(normal_image));
    EXPECT_FALSE(std::filesystem::exists(depth_image));
    EXPECT_FALSE(std::filesystem::exists(mesh));
  }
}

TEST_F(DepthOutputs, AFileThatCannotBeWrittenIsReportedTheOthersAreWrittenAndNotComplete) {
  write_file_bytes(camera,
                   "focal length 30\nimage width 12\nimage height 7\nestimated depth 0.5\n"
                   "initial distance 50\n");
  const std::string nowhere = scratch.file("no-such-folder/depthimage.ppm");
  names.depth_image = nowhere.c_str();
  const Run result = run(map);
  EXPECT_FALSE(result.complete);
  EXPECT_EQ(result.err,
            column_zero_has_no_points + "Can't write in folder " + scratch.file("no-such-folder/") +
                ": No such file or directory\nUnable to open file for writing: " + nowhere + "\n");
  EXPECT_EQ(result.out,
            "Writing Truespace File\n"
            "Depth calculation finished, but not every file was written\n");
  EXPECT_TRUE(std::filesystem::exists(normal_image));
  EXPECT_TRUE(std::filesystem::exists(mesh));
}

}  // namespace
