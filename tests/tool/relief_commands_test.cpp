// relumo-tool normals, depth and mesh run as a user runs them, their files
// read back here: the PFM layout against the map's normals, the rings
// depth against the viewer's reconstruction, the meshes parsed, and what
// bad input leaves behind.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/depth.h"
#include "analysis/normals.h"
#include "common/checked_alloc.h"
#include "imageio/png_image.h"
#include "ptm/reader.h"
#include "render/evaluate.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"

namespace {

constexpr int map_width = 9;
constexpr int map_height = 7;

// An LRGB map of a smooth, lopsided bump: each pixel's model is the
// Lambertian response k (nx u + ny v + nz (1 - (u^2 + v^2) / 2)) of the
// bump's normal, so the normals vary slowly and differ in every row and
// column. Stored with unit scales and bias 128.
std::string bump_map_bytes(int width, int height) {
  PtmFixture f;
  f.format = PTM_FORMAT_LRGB;
  f.format_word = "PTM_FORMAT_LRGB";
  f.width = width;
  f.height = height;
  f.bias_line = "128 128 128 128 128 128\n";
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double e = std::exp(-((x - 3.0) * (x - 3.0) + (y - 4.5) * (y - 4.5)) / 8.0);
      const double hx = -0.75 * (x - 3.0) * e + 0.2;
      const double hy = -0.75 * (y - 4.5) * e;
      const double length = std::sqrt(hx * hx + hy * hy + 1.0);
      const double nx = -hx / length, ny = -hy / length, nz = 1.0 / length;
      const double k = 100.0;
      for (double a : {-k * nz / 2, -k * nz / 2, 0.0, k * nx, k * ny, k * nz}) {
        f.coefficients[0].push_back(static_cast<std::uint8_t>(std::lround(a) + 128));
      }
      for (int c = 0; c < 3; ++c)
        f.colour.push_back(static_cast<std::uint8_t>(40 + 20 * x + 9 * y + 50 * c));
    }
  }
  return ptm_fixture_bytes(f);
}

struct MapFiles {
  ScratchDirectory scratch{"relief-commands"};
  std::string map = scratch.file("bump.ptm");
  std::string camera = scratch.file("bump.cam");  // the name the viewer reads
  explicit MapFiles(int width = map_width, int height = map_height) {
    write_file_bytes(map, bump_map_bytes(width, height));
  }
  // The mask beside the map: a PPM (top row first) whose red byte is 0
  // outside the object.
  void write_mask(int width, int height, bool (*inside)(int x, int y)) const {
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int row = 0; row < height; ++row) {
      for (int x = 0; x < width; ++x)
        ppm += std::string(3, inside(x, height - 1 - row) ? '\xff' : '\0');
    }
    write_file_bytes(scratch.file("bumpmask.ppm"), ppm);
  }
};

ProgramRun tool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), RELUMO_TOOL_BINARY);
  return run_program(arguments);
}

float little_endian_float(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (int b = 0; b < 4; ++b)
    bits |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + b])) << (8 * b);
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::int32_t little_endian_int(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (int b = 0; b < 4; ++b)
    bits |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + b])) << (8 * b);
  return static_cast<std::int32_t>(bits);
}

// The floats of a PFM file after its three header lines, which must be
// `header`.
std::vector<float> pfm_values(const std::string& file, const std::string& header) {
  EXPECT_EQ(file.substr(0, header.size()), header);
  std::vector<float> values;
  for (std::size_t at = header.size(); at + 4 <= file.size(); at += 4) {
    values.push_back(little_endian_float(file, at));
  }
  return values;
}

std::vector<std::int8_t> byte_normals(const Ptm& ptm) {
  std::vector<std::int8_t> normals(pixel_count(ptm) * 3);
  compute_normal_field(ptm, normals.data());
  return normals;
}

TEST(NormalsCommand, PfmHoldsTheUnitNormalsTheStoredBytesTruncateBottomRowFirst) {
  MapFiles files;
  const std::string out = files.scratch.file("n.pfm");
  const ProgramRun run = tool({"normals", files.map, "-o", out});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const std::string file = read_file_bytes(out);
  const std::string header = "PF\n9 7\n-1.0\n";
  ASSERT_EQ(file.size(), header.size() + 9 * 7 * 3 * 4);
  const std::vector<float> values = pfm_values(file, header);

  Ptm* ptm = read_ptm_file(files.map.c_str());
  ASSERT_NE(ptm, nullptr);
  const std::vector<std::int8_t> bytes = byte_normals(*ptm);
  // PFM's first row is the bottom one, map row 0: the file's order is the
  // map's pixel order.
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE("pixel " + std::to_string(i / 3) + " component " + std::to_string(i % 3));
    EXPECT_EQ(static_cast<int>(std::trunc(127.0 * values[i])), bytes[i]);
  }
  for (std::size_t p = 0; p < values.size(); p += 3) {
    EXPECT_NEAR(
        values[p] * values[p] + values[p + 1] * values[p + 1] + values[p + 2] * values[p + 2], 1.0,
        1e-6);
  }
  EXPECT_NE(bytes[0], bytes[3 * 9 * 6]) << "rows 0 and 6 must differ for the order to be seen";
  free_ptm(ptm);
}

TEST(NormalsCommand, PngAndPpmHoldTheStoredBytesPlus128TopRowFirst) {
  MapFiles files;
  const std::string png = files.scratch.file("n.png");
  const std::string ppm = files.scratch.file("n.ppm");
  ASSERT_EQ(tool({"normals", files.map, "-o", png}).exit_status, 0);
  ASSERT_EQ(tool({"normals", files.map, "-o", ppm}).exit_status, 0);
  Ptm* ptm = read_ptm_file(files.map.c_str());
  ASSERT_NE(ptm, nullptr);
  const std::vector<std::int8_t> bytes = byte_normals(*ptm);
  RgbImage* picture = read_png_rgb(png.c_str());  // bottom-up
  ASSERT_NE(picture, nullptr);
  const std::string file = read_file_bytes(ppm);
  const std::string header = "P6\n9 7\n255\n";
  ASSERT_EQ(file.size(), header.size() + 9 * 7 * 3);
  EXPECT_EQ(file.substr(0, header.size()), header);
  for (int y = 0; y < map_height; ++y) {
    for (int x = 0; x < map_width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const std::size_t i = static_cast<std::size_t>((y * map_width + x) * 3 + c);
        const auto expected = static_cast<std::uint8_t>(bytes[i] + 128);
        EXPECT_EQ(picture->pixels[i], expected);
        const std::size_t in_file =
            header.size() +
            static_cast<std::size_t>(((map_height - 1 - y) * map_width + x) * 3 + c);
        EXPECT_EQ(static_cast<std::uint8_t>(file[in_file]), expected);
      }
    }
  }
  free_rgb_image(picture);
  free_ptm(ptm);
}

// The viewer's reconstruction of the same normals, smoothed once.
std::vector<float> viewer_depth(const Ptm& ptm, const CameraParameters& camera) {
  const std::vector<std::int8_t> normals = byte_normals(ptm);
  float* depth = reconstruct_depth(normals.data(), ptm.mask, ptm.width, ptm.height, camera);
  EXPECT_NE(depth, nullptr);
  if (depth == nullptr) return {};
  smooth_depth(depth, ptm.width, ptm.height);
  std::vector<float> values(depth, depth + pixel_count(ptm));
  checked_free(depth);
  return values;
}

bool left_of_column_two(int x, int) { return x >= 2; }

TEST(DepthCommand, RingsAreTheViewersReconstructionWithTheMaskedPixelsNaN) {
  MapFiles files(11, 11);  // square and odd: the rings reach every pixel
  files.write_mask(11, 11, left_of_column_two);
  write_file_bytes(files.camera,
                   "focal length 50\nimage width 36,\nimage height 36,\nestimated depth 2\n"
                   "initial distance 600\n");
  const std::string other_camera = files.scratch.file("other.cam");
  write_file_bytes(other_camera,
                   "focal length 20\nimage width 10\nimage height 10\nestimated depth 0.5\n"
                   "initial distance 90\n");
  Ptm* ptm = read_ptm_file(files.map.c_str());
  ASSERT_NE(ptm, nullptr);
  ASSERT_NE(ptm->mask, nullptr);
  struct Case {
    std::vector<std::string> camera_option;
    CameraParameters camera;
  };
  const Case cases[] = {{{}, {50, 36, 36, 2, 600}},
                        {{"--camera", other_camera}, {20, 10, 10, 0.5f, 90}}};
  std::vector<float> results[2];
  for (int k = 0; k < 2; ++k) {
    const std::string out = files.scratch.file("d" + std::to_string(k) + ".pfm");
    std::vector<std::string> arguments = {"depth", files.map, "-o", out, "--method", "rings"};
    arguments.insert(arguments.end(), cases[k].camera_option.begin(), cases[k].camera_option.end());
    const ProgramRun run = tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    results[k] = pfm_values(read_file_bytes(out), "Pf\n11 11\n-1.0\n");
    const std::vector<float> expected = viewer_depth(*ptm, cases[k].camera);
    ASSERT_EQ(results[k].size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE("pixel " + std::to_string(i));
      if (i % 11 < 2) {
        EXPECT_TRUE(std::isnan(results[k][i]));
      } else {
        EXPECT_EQ(results[k][i], expected[i]);
      }
    }
  }
  EXPECT_NE(results[0][60], results[1][60]) << "--camera must be the camera used";
  free_ptm(ptm);
}

bool right_half(int x, int) { return x >= 4; }

// The PNG spans the object's heights from 0 (farthest) to 65535
// (nearest); read back through the 8-bit reader, each sample shows as its
// high byte. Outside the mask it is 0, and NaN in the PFM.
TEST(DepthCommand, PngSpansTheObjectsHeightsWithTheMaskedPixelsBlack) {
  MapFiles files;
  files.write_mask(9, 7, right_half);
  const std::string pfm = files.scratch.file("d.pfm");
  const std::string png = files.scratch.file("d.png");
  ASSERT_EQ(tool({"depth", files.map, "-o", pfm}).exit_status, 0);
  ASSERT_EQ(tool({"depth", files.map, "-o", png, "--method", "poisson"}).exit_status, 0);
  const std::vector<float> heights = pfm_values(read_file_bytes(pfm), "Pf\n9 7\n-1.0\n");
  ASSERT_EQ(heights.size(), 63u);
  RgbImage* picture = read_png_rgb(png.c_str());
  ASSERT_NE(picture, nullptr);
  float lowest = 1e30f;
  float highest = -1e30f;
  for (std::size_t i = 0; i < heights.size(); ++i) {
    if (i % 9 < 4) continue;
    lowest = std::fmin(lowest, heights[i]);
    highest = std::fmax(highest, heights[i]);
  }
  ASSERT_LT(lowest, highest);
  for (std::size_t i = 0; i < heights.size(); ++i) {
    SCOPED_TRACE("pixel " + std::to_string(i));
    const std::uint8_t grey = picture->pixels[3 * i];
    if (i % 9 < 4) {
      EXPECT_TRUE(std::isnan(heights[i]));
      EXPECT_EQ(grey, 0);
      continue;
    }
    const double level = std::round((heights[i] - lowest) / (highest - lowest) * 65535.0);
    EXPECT_EQ(grey, static_cast<int>(level) / 256);
  }
  free_rgb_image(picture);
}

// The vertices of a PLY or OBJ file.
struct Vertex {
  float x, y, z;
  std::uint8_t rgb[3];
};

struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<std::array<int, 3>> triangles;
  std::vector<std::array<double, 2>> texture;
  std::string material;
};

Mesh parse_ply(const std::string& file) {
  Mesh mesh;
  const std::size_t end = file.find("end_header\n");
  if (end == std::string::npos) {
    ADD_FAILURE() << "no PLY header";
    return mesh;
  }
  std::istringstream header(file.substr(0, end));
  std::string line;
  std::size_t vertex_count = 0;
  std::size_t face_count = 0;
  std::vector<std::string> properties;
  while (std::getline(header, line)) {
    if (line.rfind("element vertex ", 0) == 0) vertex_count = std::stoul(line.substr(15));
    if (line.rfind("element face ", 0) == 0) face_count = std::stoul(line.substr(13));
    if (line.rfind("property ", 0) == 0 || line.rfind("format ", 0) == 0)
      properties.push_back(line);
  }
  const std::vector<std::string> expected_properties = {"format binary_little_endian 1.0",
                                                        "property float x",
                                                        "property float y",
                                                        "property float z",
                                                        "property uchar red",
                                                        "property uchar green",
                                                        "property uchar blue",
                                                        "property list uchar int vertex_indices"};
  EXPECT_EQ(properties, expected_properties);
  std::size_t at = end + 11;
  EXPECT_EQ(file.size(), at + vertex_count * 15 + face_count * 13);
  if (file.size() != at + vertex_count * 15 + face_count * 13) return mesh;
  for (std::size_t v = 0; v < vertex_count; ++v, at += 15) {
    Vertex vertex{little_endian_float(file, at),
                  little_endian_float(file, at + 4),
                  little_endian_float(file, at + 8),
                  {}};
    std::memcpy(vertex.rgb, file.data() + at + 12, 3);
    mesh.vertices.push_back(vertex);
  }
  for (std::size_t f = 0; f < face_count; ++f, at += 13) {
    EXPECT_EQ(file[at], 3);
    mesh.triangles.push_back({little_endian_int(file, at + 1), little_endian_int(file, at + 5),
                              little_endian_int(file, at + 9)});
  }
  return mesh;
}

Mesh parse_obj(const std::string& file) {
  Mesh mesh;
  std::istringstream lines(file);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "v") {
      Vertex v{};
      words >> v.x >> v.y >> v.z;
      mesh.vertices.push_back(v);
    } else if (kind == "vt") {
      std::array<double, 2> t{};
      words >> t[0] >> t[1];
      mesh.texture.push_back(t);
    } else if (kind == "f") {
      std::array<int, 3> triangle{};
      for (int& index : triangle) {
        std::string corner;
        words >> corner;
        const std::size_t slash = corner.find('/');
        index = std::stoi(corner.substr(0, slash)) - 1;
        EXPECT_EQ(corner.substr(slash + 1), std::to_string(index + 1)) << "vt of the same number";
      }
      mesh.triangles.push_back(triangle);
    } else if (kind == "mtllib") {
      words >> mesh.material;
    }
  }
  return mesh;
}

TEST(MeshCommand, PlyAndObjHoldTheHeightsOnTheGridWithColoursAndTextureCoordinates) {
  MapFiles files;
  const std::string heights_file = files.scratch.file("h.pfm");
  ASSERT_EQ(tool({"depth", files.map, "-o", heights_file}).exit_status, 0);
  const std::vector<float> heights = pfm_values(read_file_bytes(heights_file), "Pf\n9 7\n-1.0\n");
  ASSERT_EQ(heights.size(), 63u);

  const std::string ply = files.scratch.file("m.ply");
  const std::string obj = files.scratch.file("m.obj");
  ProgramRun run = tool({"mesh", files.map, "-o", ply, "--step", "2"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  run = tool({"mesh", files.map, "--step", "2", "-o", obj});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const Mesh from_ply = parse_ply(read_file_bytes(ply));
  const Mesh from_obj = parse_obj(read_file_bytes(obj));

  // Columns 0, 2, 4, 6, 8 and rows 0, 2, 4, 6: 20 vertices, 4 x 3 cells.
  ASSERT_EQ(from_ply.vertices.size(), 20u);
  ASSERT_EQ(from_obj.vertices.size(), 20u);
  ASSERT_EQ(from_obj.texture.size(), 20u);
  ASSERT_EQ(from_ply.triangles.size(), 24u);
  EXPECT_EQ(from_obj.triangles, from_ply.triangles);
  // The first cell: vertices 0, 1 (x = 2) and 5, 6 (y = 2), counter-clockwise.
  EXPECT_EQ(from_ply.triangles[0], (std::array<int, 3>{0, 1, 6}));
  EXPECT_EQ(from_ply.triangles[1], (std::array<int, 3>{0, 6, 5}));
  // The last: vertices 13, 14 (row 4) and 18, 19 (row 6).
  EXPECT_EQ(from_ply.triangles[22], (std::array<int, 3>{13, 14, 19}));
  EXPECT_EQ(from_ply.triangles[23], (std::array<int, 3>{13, 19, 18}));

  Ptm* ptm = read_ptm_file(files.map.c_str());
  ASSERT_NE(ptm, nullptr);
  const EvaluatePtmFn evaluate = select_evaluator(*ptm);
  const LightWeights head_on = light_weights_for(0, 0);
  RgbImage* texture = read_png_rgb(files.scratch.file("m.png").c_str());
  ASSERT_NE(texture, nullptr);
  ASSERT_EQ(texture->width, 9);
  ASSERT_EQ(texture->height, 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 9; ++x) {
      std::uint8_t rgb[3];
      evaluate(*ptm, head_on, x, y, rgb[0], rgb[1], rgb[2]);
      EXPECT_EQ(0, std::memcmp(texture->pixels + (y * 9 + x) * 3, rgb, 3)) << x << ", " << y;
      if (x % 2 != 0 || y % 2 != 0) continue;
      const std::size_t v = static_cast<std::size_t>(y / 2 * 5 + x / 2);
      SCOPED_TRACE("vertex " + std::to_string(v));
      const Vertex& p = from_ply.vertices[v];
      EXPECT_EQ(p.x, x);
      EXPECT_EQ(p.y, y);
      EXPECT_EQ(p.z, heights[static_cast<std::size_t>(y * 9 + x)]);
      EXPECT_EQ(0, std::memcmp(p.rgb, rgb, 3));
      const Vertex& o = from_obj.vertices[v];
      EXPECT_EQ(o.x, x);
      EXPECT_EQ(o.y, y);
      EXPECT_NEAR(o.z, p.z, 5e-7);
      EXPECT_NEAR(from_obj.texture[v][0], (x + 0.5) / 9, 5e-7);
      EXPECT_NEAR(from_obj.texture[v][1], (y + 0.5) / 7, 5e-7);
    }
  }
  EXPECT_EQ(from_obj.material, "m.mtl");
  EXPECT_NE(read_file_bytes(files.scratch.file("m.mtl")).find("\nmap_Kd m.png\n"),
            std::string::npos);
  free_rgb_image(texture);
  free_ptm(ptm);
}

// With the map's scale (4 pixels a millimetre, or the same as 101.6 dots
// an inch) the mesh and the Poisson heights are in millimetres: every
// coordinate a quarter of its value in pixels.
TEST(MeshCommand, WithAScaleCoordinatesAndHeightsAreInMillimetres) {
  MapFiles files;
  const std::string pixels_ply = files.scratch.file("px.ply");
  const std::string mm_ply = files.scratch.file("mm.ply");
  ASSERT_EQ(tool({"mesh", files.map, "-o", pixels_ply, "--step", "2"}).exit_status, 0);
  ASSERT_EQ(tool({"mesh", files.map, "-o", mm_ply, "--step", "2", "--ppmm", "4"}).exit_status, 0);
  const Mesh in_pixels = parse_ply(read_file_bytes(pixels_ply));
  const Mesh in_mm = parse_ply(read_file_bytes(mm_ply));
  ASSERT_EQ(in_mm.vertices.size(), in_pixels.vertices.size());
  ASSERT_EQ(in_mm.vertices.size(), 20u);
  for (std::size_t v = 0; v < in_mm.vertices.size(); ++v) {
    EXPECT_FLOAT_EQ(in_mm.vertices[v].x, in_pixels.vertices[v].x / 4);
    EXPECT_FLOAT_EQ(in_mm.vertices[v].y, in_pixels.vertices[v].y / 4);
    EXPECT_FLOAT_EQ(in_mm.vertices[v].z, in_pixels.vertices[v].z / 4);
  }
  EXPECT_EQ(in_mm.triangles, in_pixels.triangles);
  const std::string pixels_pfm = files.scratch.file("px.pfm");
  const std::string mm_pfm = files.scratch.file("mm.pfm");
  ASSERT_EQ(tool({"depth", files.map, "-o", pixels_pfm}).exit_status, 0);
  ASSERT_EQ(tool({"depth", files.map, "-o", mm_pfm, "--dpi", "101.6"}).exit_status, 0);
  const std::vector<float> h = pfm_values(read_file_bytes(pixels_pfm), "Pf\n9 7\n-1.0\n");
  const std::vector<float> h_mm = pfm_values(read_file_bytes(mm_pfm), "Pf\n9 7\n-1.0\n");
  ASSERT_EQ(h.size(), h_mm.size());
  for (std::size_t i = 0; i < h.size(); ++i) EXPECT_FLOAT_EQ(h_mm[i], h[i] / 4) << i;
}

bool nowhere(int, int) { return false; }

TEST(MeshCommand, CellsWithAMaskedCornerAreLeftOut) {
  struct Case {
    bool (*inside)(int, int);
    std::size_t vertices;
    std::size_t triangles;
  };
  // Columns 4..8 of 9 x 7 at step 1: 5 x 7 vertices, 4 x 6 cells.
  for (const Case& c : {Case{nowhere, 0, 0}, Case{right_half, 35, 48}}) {
    MapFiles files;
    files.write_mask(9, 7, c.inside);
    const std::string ply = files.scratch.file("m.ply");
    const std::string obj = files.scratch.file("m.obj");
    ASSERT_EQ(tool({"mesh", files.map, "-o", ply}).exit_status, 0);
    ASSERT_EQ(tool({"mesh", files.map, "-o", obj}).exit_status, 0);
    const Mesh from_ply = parse_ply(read_file_bytes(ply));
    const Mesh from_obj = parse_obj(read_file_bytes(obj));
    EXPECT_EQ(from_ply.vertices.size(), c.vertices);
    EXPECT_EQ(from_ply.triangles.size(), c.triangles);
    EXPECT_EQ(from_obj.vertices.size(), c.vertices);
    EXPECT_EQ(from_obj.triangles.size(), c.triangles);
    for (const Vertex& v : from_ply.vertices) EXPECT_GE(v.x, 4);
  }
}

TEST(ReliefCommands, BadInputIsRefusedWithAMessageAndNoFile) {
  struct Case {
    std::string label;
    std::vector<std::string> arguments;  // "MAP", "OUT/" and "DIR/" are replaced
    const char* camera_text;             // written beside the map, or null
    int exit_status;
    std::string message;
  };
  const std::string good_camera =
      "focal length 50\nimage width 36\nimage height 27\nestimated depth 10\ninitial distance "
      "600\n";
  const std::vector<Case> cases = {
      {"camera value not a number",
       {"depth", "MAP", "-o", "OUT/d.png", "--method", "rings"},
       "focal length fifty\nimage width 36\nimage height 27\nestimated depth 10\n"
       "initial distance 600\n",
       1,
       "bump.cam"},
      {"estimated depth 0",
       {"mesh", "MAP", "-o", "OUT/m.cob"},
       "focal length 50\nimage width 36\nimage height 27\nestimated depth 0\ninitial distance "
       "600\n",
       1,
       "bump.cam"},
      {"no camera for rings",
       {"depth", "MAP", "-o", "OUT/d.pfm", "--method", "rings"},
       nullptr,
       1,
       "bump.cam"},
      {"named camera missing",
       {"mesh", "MAP", "-o", "OUT/m.ply", "--method", "rings", "--camera", "DIR/none.cam"},
       good_camera.c_str(),
       1,
       "none.cam"},
      {"step 0", {"mesh", "MAP", "-o", "OUT/m.ply", "--step", "0"}, nullptr, 2, "--step"},
      {"step not whole", {"mesh", "MAP", "-o", "OUT/m.obj", "--step", "2.5"}, nullptr, 2, "--step"},
      {"step with cob",
       {"mesh", "MAP", "-o", "OUT/m.cob", "--step", "4"},
       good_camera.c_str(),
       2,
       "--step"},
      {"poisson cob",
       {"mesh", "MAP", "-o", "OUT/m.cob", "--method", "poisson"},
       good_camera.c_str(),
       2,
       "rings"},
      {"unknown method",
       {"depth", "MAP", "-o", "OUT/d.png", "--method", "sfs"},
       nullptr,
       2,
       "--method"},
      {"unknown extension", {"normals", "MAP", "-o", "OUT/n.jpg"}, nullptr, 2, ".png"},
      {"no output", {"depth", "MAP"}, nullptr, 2, "-o"},
      {"missing map", {"normals", "DIR/none.ptm", "-o", "OUT/n.png"}, nullptr, 1, "none.ptm"},
      {"missing map for mesh", {"mesh", "DIR/none.ptm", "-o", "OUT/m.obj"}, nullptr, 1, "none.ptm"},
      {"normals, no dir", {"normals", "MAP", "-o", "DIR/no/n.pfm"}, nullptr, 1, "no/n.pfm"},
      {"depth, no dir", {"depth", "MAP", "-o", "DIR/no/d.png"}, nullptr, 1, "no/d.png"},
      {"ply, no dir", {"mesh", "MAP", "-o", "DIR/no/m.ply"}, nullptr, 1, "no/m.ply"},
      {"obj, no dir", {"mesh", "MAP", "-o", "DIR/no/m.obj"}, nullptr, 1, "no/m.obj"},
      // The texture picture cannot take the place of a directory of its
      // name: neither the mesh nor its material may stay behind.
      {"obj, bad texture", {"mesh", "MAP", "-o", "OUT/m.obj"}, nullptr, 1, "m.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MapFiles files;
    ScratchDirectory out("relief-output");
    if (c.camera_text != nullptr) write_file_bytes(files.camera, c.camera_text);
    if (c.label == "obj, bad texture") {
      std::filesystem::create_directory(out.file("m.png"));
    }
    std::vector<std::string> arguments;
    for (std::string a : c.arguments) {
      if (a == "MAP") a = files.map;
      if (a.rfind("OUT/", 0) == 0) a = out.file(a.substr(4));
      if (a.rfind("DIR/", 0) == 0) a = files.scratch.file(a.substr(4));
      arguments.push_back(a);
    }
    const std::set<std::string> map_directory_before = file_names_in(files.scratch.path);
    const std::set<std::string> out_before = file_names_in(out.path);
    const ProgramRun run = tool(arguments);
    EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(file_names_in(out.path), out_before);
    EXPECT_EQ(file_names_in(files.scratch.path), map_directory_before);
  }
}

}  // namespace
