// The Truespace mesh file, byte for byte.
#include "analysis/cob_mesh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/write_failures.h"

namespace {

const std::string head =
    "Caligari V00.01ALH             \n"
    "PolH V0.06 Id 24201236 Parent 0 Size -1\n"
    "Name Pvobj\n"
    "center 0 0 0\n"
    "x axis 1 0 0\n"
    "y axis 0 1 0\n"
    "z axis 0 0 1\n"
    "Transform\n"
    "1 0 0 0\n"
    "0 1 0 0\n"
    "0 0 1 0\n"
    "0 0 0 1\n";

// Everything after the faces, for the depth command's texture name.
const std::string tail =
    "DrawFlags 1\n"
    "Radiosity Quality: 0\n"
    "Mat1 V0.06 Id 24310020 Parent 24201236 Size -1\n"
    "mat# 0\n"
    "shader: phong  facet: faceted\n"
    "rgb 1,1,1\n"
    "alpha 1  ka 0.1  ks 0.1  exp 0  ior 1\n"
    "texture: 22R:\\sample18\\18-001.tga\n"
    "offset 0,0  repeats 1,1  flags 10\n"
    "ShBx V0.01 Id 24310021 Parent 24310020 Size -1\n"
    "Shader class: color\n"
    "Shader name: \"texture map\" (caligari texture)\n"
    "Number of parameters: 7\n"
    "file name: string \"R:\\sample18\\18-001.tga\"\n"
    "S repeat: float 1\n"
    "T repeat: float 1\n"
    "S offset: float 0\n"
    "T offset: float 0\n"
    "animate: bool 0\n"
    "filter: bool 1\n"
    "Shader class: transparency\n"
    "Shader name: \"none\" (none)\n"
    "Number of parameters: 0\n"
    "Shader class: reflectance\n"
    "Shader name: \"phong\" (phong)\n"
    "Number of parameters: 5\n"
    "ambient factor: float 0.1\n"
    "diffuse factor: float 0.9\n"
    "specular factor: float 0.1\n"
    "exponent: float 3\n"
    "specular colour: color (255, 255, 255)\n"
    "Shader class: displacement\n"
    "Shader name: \"none\" (none)\n"
    "Number of parameters: 0\n"
    "END  V1.00 Id 0 Parent 0 Size        0";

const char* texture = "R:\\sample18\\18-001.tga";

class CobMesh : public testing::Test {
 protected:
  // The file written for `depth` (and `mask`), with what was printed.
  std::string written(const std::vector<float>& depth, const std::vector<std::uint8_t>& mask,
                      int width, int height) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(write_cob_mesh(depth.data(), mask.empty() ? nullptr : mask.data(), width, height,
                               texture, path.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing Truespace File\n");
    return read_file_bytes(path);
  }

  ScratchDirectory scratch{"cob-mesh"};
  std::string path = scratch.file("tsdepthascii.cob");
};

TEST_F(CobMesh, FiveByFiveMapIsOneCellOfTwoTriangles) {
  // Corners (0, 0), (4, 0), (0, 4), (4, 4) at depths 0, 0.5, -0.25, 1.
  std::vector<float> depth(25, 9.0f);
  depth[0] = 0.0f;
  depth[4] = 0.5f;
  depth[20] = -0.25f;
  depth[24] = 1.0f;
  EXPECT_EQ(written(depth, {}, 5, 5), head +
                                          "World Vertices 4\n"
                                          "0.000000 0.000000 1.270000\n"
                                          "2.000000 0.000000 0.770000\n"
                                          "0.000000 2.000000 1.520000\n"
                                          "2.000000 2.000000 0.270000\n"
                                          "Texture Vertices 4\n"
                                          "0.000000 0.000000\n"
                                          "1.000000 0.000000\n"
                                          "0.000000 1.000000\n"
                                          "1.000000 1.000000\n"
                                          "Faces 2\n"
                                          "Face verts 3 flags 0 mat 0\n"
                                          "<0,0> <2,2>\n"
                                          "<1,1> Face verts 3 flags 0 mat 0\n"
                                          "<1,1> <2,2>\n"
                                          "<3,3> " +
                                          tail);
}

TEST_F(CobMesh, TheMaskByteOfACellsLowerLeftPixelOnTheOppositeRowDecidesIt) {
  // 9 x 6: vertices at x = 0, 4, 8 and y = 0, 4; cells at (0, 0) and
  // (4, 0). Mask row 5 is map row 0: the cell at (0, 0) is left out; mask
  // row 0 (map row 5) is 0 at x = 4, which must not matter.
  std::vector<std::uint8_t> mask(9 * 6, 1);
  mask[5 * 9 + 0] = 0;
  mask[0 * 9 + 4] = 0;
  const std::vector<float> depth(9 * 6, 0.125f);
  const std::string vertices =
      "World Vertices 6\n"
      "0.000000 0.000000 1.145000\n"
      "1.000000 0.000000 1.145000\n"
      "2.000000 0.000000 1.145000\n"
      "0.000000 1.600000 1.145000\n"
      "1.000000 1.600000 1.145000\n"
      "2.000000 1.600000 1.145000\n"
      "Texture Vertices 6\n"
      "0.000000 0.000000\n"
      "0.500000 0.000000\n"
      "1.000000 0.000000\n"
      "0.000000 0.800000\n"
      "0.500000 0.800000\n"
      "1.000000 0.800000\n";
  EXPECT_EQ(written(depth, mask, 9, 6), head + vertices +
                                            "Faces 2\n"
                                            "Face verts 3 flags 0 mat 0\n"
                                            "<1,1> <4,4>\n"
                                            "<2,2> Face verts 3 flags 0 mat 0\n"
                                            "<2,2> <4,4>\n"
                                            "<5,5> " +
                                            tail);

  // A mask of 0 everywhere keeps no cell.
  const std::vector<std::uint8_t> nothing(9 * 6, 0);
  EXPECT_EQ(written(depth, nothing, 9, 6), head + vertices + "Faces 0\n" + tail);
}

TEST_F(CobMesh, MapsNarrowerThanACellHaveVerticesAndNoFacesAndOnePixelAxesAreZero) {
  struct Case {
    int width, height;
    std::string vertices;  // positions, then texture coordinates
  };
  const Case cases[] = {
      {3, 7,
       "World Vertices 2\n"
       "0.000000 0.000000 1.270000\n"
       "0.000000 1.333333 1.270000\n"
       "Texture Vertices 2\n"
       "0.000000 0.000000\n"
       "0.000000 0.666667\n"},
      {1, 5,
       "World Vertices 2\n"
       "0.000000 0.000000 1.270000\n"
       "0.000000 2.000000 1.270000\n"
       "Texture Vertices 2\n"
       "0.000000 0.000000\n"
       "0.000000 1.000000\n"},
      {6, 1,
       "World Vertices 2\n"
       "0.000000 0.000000 1.270000\n"
       "1.600000 0.000000 1.270000\n"
       "Texture Vertices 2\n"
       "0.000000 0.000000\n"
       "0.800000 0.000000\n"},
      {1, 1,
       "World Vertices 1\n"
       "0.000000 0.000000 1.270000\n"
       "Texture Vertices 1\n"
       "0.000000 0.000000\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const std::vector<float> depth(c.width * c.height, 0.0f);
    EXPECT_EQ(written(depth, {}, c.width, c.height), head + c.vertices + "Faces 0\n" + tail);
  }
}

TEST_F(CobMesh, FailuresAreReportedAndLeaveNoFile) {
  const std::vector<float> depth(400 * 400, 0.5f);
  // Opening.
  const std::string nowhere = scratch.file("no-such-folder/tsdepthascii.cob");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(write_cob_mesh(depth.data(), nullptr, 400, 400, texture, nowhere.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing Truespace File\nCan't open Truespace file " + nowhere + " for writing\n");
  // Writing: the disk fills part way.
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  bool written = true;
  {
    FileSizeLimit limit(10000);
    written = write_cob_mesh(depth.data(), nullptr, 400, 400, texture, path.c_str());
  }
  testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(written);
  EXPECT_NE(err.find("Error writing Truespace file " + path), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(path));
  // A depth that is not a number is not written as "nan".
  std::vector<float> broken(25, 0.0f);
  broken[4] = std::numeric_limits<float>::infinity();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(write_cob_mesh(broken.data(), nullptr, 5, 5, texture, path.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing Truespace File\n"
            "Depth value at pixel (4, 0) is not a finite number: no Truespace file written\n");
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
