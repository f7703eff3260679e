#include "analysis/mesh_export.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "analysis/cob_mesh.h"
#include "analysis/depth_outputs.h"
#include "common/checked_alloc.h"
#include "common/decimal_text.h"
#include "common/output_file.h"
#include "common/parallel.h"
#include "common/write_buffer.h"
#include "imageio/png_image.h"
#include "render/relit_picture.h"

namespace {

constexpr std::uint32_t no_vertex = std::numeric_limits<std::uint32_t>::max();

// PLY indices are written as "int": a mesh needs fewer vertices than that.
constexpr std::uint64_t most_vertices = std::numeric_limits<std::int32_t>::max();

// The sampled pixels and the vertex number of each (no_vertex without a
// height), in grid order: rows upward, columns rightward.
struct MeshGrid {
  int width = 0;
  int step = 1;
  int columns = 0;
  int rows = 0;
  std::vector<std::uint32_t> vertex;
  std::uint64_t vertex_count = 0;
  std::uint64_t triangle_count = 0;

  std::uint32_t at(int column, int row) const {
    return vertex[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                  static_cast<std::size_t>(column)];
  }
  std::size_t pixel(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(step) *
               static_cast<std::size_t>(width) +
           static_cast<std::size_t>(column) * static_cast<std::size_t>(step);
  }
  // The corners of the cell whose lower-left vertex is (column, row):
  // lower left, lower right, upper left, upper right; false when one of
  // them is no vertex.
  bool cell(int column, int row, std::uint32_t corners[4]) const {
    corners[0] = at(column, row);
    corners[1] = at(column + 1, row);
    corners[2] = at(column, row + 1);
    corners[3] = at(column + 1, row + 1);
    return corners[0] != no_vertex && corners[1] != no_vertex && corners[2] != no_vertex &&
           corners[3] != no_vertex;
  }
};

MeshGrid make_grid(const float* heights, int width, int height, int step) {
  MeshGrid grid;
  grid.width = width;
  grid.step = step;
  grid.columns = (width - 1) / step + 1;
  grid.rows = (height - 1) / step + 1;
  grid.vertex.resize(static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows));
  std::uint32_t next = 0;
  for (int r = 0; r < grid.rows; ++r) {
    for (int c = 0; c < grid.columns; ++c) {
      const bool has_height = std::isfinite(heights[grid.pixel(c, r)]);
      grid.vertex[static_cast<std::size_t>(r) * static_cast<std::size_t>(grid.columns) +
                  static_cast<std::size_t>(c)] = has_height ? next++ : no_vertex;
    }
  }
  grid.vertex_count = next;
  std::uint32_t corners[4];
  for (int r = 0; r + 1 < grid.rows; ++r) {
    for (int c = 0; c + 1 < grid.columns; ++c)
      grid.triangle_count += grid.cell(c, r, corners) ? 2 : 0;
  }
  return grid;
}

// The two triangles of a cell, counter-clockwise seen from above.
void cell_triangles(const std::uint32_t corners[4], std::uint32_t triangles[2][3]) {
  triangles[0][0] = corners[0];
  triangles[0][1] = corners[1];
  triangles[0][2] = corners[3];
  triangles[1][0] = corners[0];
  triangles[1][1] = corners[3];
  triangles[1][2] = corners[2];
}

template <typename EachTriangle>
void for_each_triangle(const MeshGrid& grid, EachTriangle each_triangle) {
  std::uint32_t corners[4];
  std::uint32_t triangles[2][3];
  for (int r = 0; r + 1 < grid.rows; ++r) {
    for (int c = 0; c + 1 < grid.columns; ++c) {
      if (!grid.cell(c, r, corners)) continue;
      cell_triangles(corners, triangles);
      each_triangle(triangles[0]);
      each_triangle(triangles[1]);
    }
  }
}

template <typename EachVertex>
void for_each_vertex(const MeshGrid& grid, EachVertex each_vertex) {
  for (int r = 0; r < grid.rows; ++r) {
    for (int c = 0; c < grid.columns; ++c) {
      if (grid.at(c, r) != no_vertex) each_vertex(c * grid.step, r * grid.step, grid.pixel(c, r));
    }
  }
}

bool grid_fits(const MeshGrid& grid, const char* path) {
  if (grid.vertex_count <= most_vertices) return true;
  std::fprintf(stderr, "Can't write mesh %s: %llu vertices are more than a mesh file indexes\n",
               path, static_cast<unsigned long long>(grid.vertex_count));
  return false;
}

bool open_mesh_file(OutputFile& file, const char* what, const char* path) {
  if (file.open(path)) return true;
  std::fprintf(stderr, "Can't open %s %s for writing: %s\n", what, path,
               std::strerror(file.error()));
  return false;
}

char* put_little_endian(char* out, std::uint32_t value) {
  for (int b = 0; b < 4; ++b) *out++ = static_cast<char>(value >> (8 * b));
  return out;
}

char* put_float(char* out, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return put_little_endian(out, bits);
}

std::string file_name_part(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether everything written so far reached the file (the commit finds
// errors too, but the OBJ's companions must know before the picture is
// written).
bool flushed(OutputFile& file) {
  return std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0;
}

std::string unit_comment(const MeshUnit& unit) {
  return std::string("relumo-tool mesh: x and y in ") + unit.name + " (y upward), z the height in " +
         unit.name;
}

void write_obj_text(std::FILE* file, const float* heights, const MeshGrid& grid, int width,
                    int height, const MeshUnit& unit, const std::string& material_name) {
  WriteBuffer text(file);
  text.append("# " + unit_comment(unit) + "\n");
  text.append("mtllib ");
  text.append(material_name);
  text.append("\nusemtl relit\n");
  for_each_vertex(grid, [&](int x, int y, std::size_t pixel) {
    char* out = text.room(2 + 3 * (six_decimals_max_length + 1));
    *out++ = 'v';
    for (double value : {x * unit.pixel_length, y * unit.pixel_length,
                         static_cast<double>(heights[pixel])}) {
      *out++ = ' ';
      out = append_six_decimals(out, value);
    }
    *out++ = '\n';
    text.advance(out);
  });
  // The centre of each pixel in the picture, whose bottom left is (0, 0).
  for_each_vertex(grid, [&](int x, int y, std::size_t) {
    char* out = text.room(3 + 2 * (six_decimals_max_length + 1));
    *out++ = 'v';
    *out++ = 't';
    *out++ = ' ';
    out = append_six_decimals(out, (x + 0.5) / width);
    *out++ = ' ';
    out = append_six_decimals(out, (y + 0.5) / height);
    *out++ = '\n';
    text.advance(out);
  });
  // OBJ counts vertices from 1; each vertex has the texture coordinate of
  // the same number.
  for_each_triangle(grid, [&](const std::uint32_t triangle[3]) {
    char* out = text.room(2 + 3 * 23);
    *out++ = 'f';
    for (int i = 0; i < 3; ++i) {
      *out++ = ' ';
      out = append_unsigned(out, triangle[i] + 1);
      *out++ = '/';
      out = append_unsigned(out, triangle[i] + 1);
    }
    *out++ = '\n';
    text.advance(out);
  });
}

// The PLY mesh of a width x height field of heights, the colour of the
// vertex of grid column c and row r (pixel `pixel` of the field) from
// colour(c, r, pixel).
bool write_ply_grid(
    const float* heights, int width, int height, int step, const MeshUnit& unit, const char* path,
    const std::function<const std::uint8_t*(int column, int row, std::size_t pixel)>& colour) {
  const MeshGrid grid = make_grid(heights, width, height, step);
  if (!grid_fits(grid, path)) return false;
  OutputFile file;
  if (!open_mesh_file(file, "PLY file", path)) return false;
  std::fprintf(file.get(),
               "ply\n"
               "format binary_little_endian 1.0\n"
               "comment %s\n"
               "element vertex %llu\n"
               "property float x\n"
               "property float y\n"
               "property float z\n"
               "property uchar red\n"
               "property uchar green\n"
               "property uchar blue\n"
               "element face %llu\n"
               "property list uchar int vertex_indices\n"
               "end_header\n",
               unit_comment(unit).c_str(), static_cast<unsigned long long>(grid.vertex_count),
               static_cast<unsigned long long>(grid.triangle_count));
  {
    WriteBuffer data(file.get());
    for_each_vertex(grid, [&](int x, int y, std::size_t pixel) {
      char* out = data.room(15);
      out = put_float(out, static_cast<float>(x * unit.pixel_length));
      out = put_float(out, static_cast<float>(y * unit.pixel_length));
      out = put_float(out, heights[pixel]);
      std::memcpy(out, colour(x / grid.step, y / grid.step, pixel), 3);
      data.advance(out + 3);
    });
    for_each_triangle(grid, [&](const std::uint32_t triangle[3]) {
      char* out = data.room(13);
      *out++ = 3;
      for (int i = 0; i < 3; ++i) out = put_little_endian(out, triangle[i]);
      data.advance(out);
    });
  }
  if (!file.commit()) {
    report_write_failure("PLY file", path, file.error());
    return false;
  }
  return true;
}

// The OBJ mesh of a width x height field of heights, its material and its
// picture, which write_texture(path) writes.
bool write_obj_files(const float* heights, int width, int height, int step, const MeshUnit& unit,
                     const char* path,
                     const std::function<bool(const char* texture_path)>& write_texture) {
  const MeshGrid grid = make_grid(heights, width, height, step);
  if (!grid_fits(grid, path)) return false;
  const ObjFileNames names = obj_file_names(path);
  OutputFile obj;
  OutputFile material;
  if (!open_mesh_file(obj, "OBJ file", path) ||
      !open_mesh_file(material, "material file", names.material.c_str())) {
    return false;
  }
  write_obj_text(obj.get(), heights, grid, width, height, unit, file_name_part(names.material));
  std::fprintf(material.get(), "newmtl relit\nKa 1 1 1\nKd 1 1 1\nKs 0 0 0\nmap_Kd %s\n",
               file_name_part(names.texture).c_str());
  // The mesh and its material reach their temporary files in full before
  // the picture is written; the renames that follow rarely fail, and when
  // one does the files already renamed are taken away again.
  if (!flushed(obj)) {
    report_write_failure("OBJ file", path, errno);
    return false;
  }
  if (!flushed(material)) {
    report_write_failure("material file", names.material.c_str(), errno);
    return false;
  }
  if (!write_texture(names.texture.c_str())) return false;
  if (!material.commit()) {
    std::remove(names.texture.c_str());
    report_write_failure("material file", names.material.c_str(), material.error());
    return false;
  }
  if (!obj.commit()) {
    std::remove(names.texture.c_str());
    std::remove(names.material.c_str());
    report_write_failure("OBJ file", path, obj.error());
    return false;
  }
  return true;
}

}  // namespace

ObjFileNames obj_file_names(const std::string& obj_path) {
  const std::size_t slash = obj_path.find_last_of('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = obj_path.find_last_of('.');
  const std::string stem =
      dot != std::string::npos && dot > name_start ? obj_path.substr(0, dot) : obj_path;
  return {stem + ".mtl", stem + ".png"};
}

bool write_ply_mesh(const float* heights, const RgbImage& colours, int step, const MeshUnit& unit,
                    const char* path) {
  return write_ply_grid(heights, colours.width, colours.height, step, unit, path,
                        [&](int, int, std::size_t pixel) { return colours.pixels + 3 * pixel; });
}

bool write_obj_mesh(const float* heights, const RgbImage& texture, int step, const MeshUnit& unit,
                    const char* path) {
  return write_obj_files(
      heights, texture.width, texture.height, step, unit, path,
      [&](const char* texture_path) { return write_png_rgb(texture, texture_path); });
}

bool write_map_mesh(const Ptm& ptm, MeshFormat format, const DepthSettings& settings,
                    const CameraParameters& camera, int step, const char* path) {
  const int threads = settings.threads;
  if (format == MeshFormat::cob) {
    float* depth = rings_depth(ptm, camera, threads);
    if (depth == nullptr) return false;
    const bool written =
        write_cob_mesh(depth, ptm.mask, ptm.width, ptm.height, DepthOutputNames{}.texture, path);
    checked_free(depth);
    return written;
  }
  float* heights = map_heights(ptm, settings, camera);
  if (heights == nullptr) return false;
  // The map relit from straight above: the viewer's first picture.
  RelitSettings relit = default_relit_settings();
  relit.threads = threads;
  MeshUnit unit;
  if (settings.pixels_per_mm > 0) unit = {1 / settings.pixels_per_mm, "millimetres"};
  bool written = false;
  if (format == MeshFormat::ply) {
    // Only the grid's pixels are coloured: the rows of the grid are relit,
    // and of them only every step-th pixel kept.
    const int columns = (ptm.width - 1) / step + 1;
    const int rows = (ptm.height - 1) / step + 1;
    const std::size_t row_bytes = static_cast<std::size_t>(ptm.width) * 3;
    std::vector<std::uint8_t> grid_colours(static_cast<std::size_t>(columns) * rows * 3);
    parallel_blocks(threads, rows, std::max<std::int64_t>(1, rows_per_block(ptm.width)),
                    [&](std::int64_t first, std::int64_t end) {
                      std::vector<std::uint8_t> row(row_bytes);
                      for (std::int64_t r = first; r < end; ++r) {
                        const int y = static_cast<int>(r) * step;
                        render_relit_rows(ptm, relit, y, y + 1, row.data());
                        std::uint8_t* out = grid_colours.data() + r * columns * 3;
                        for (int c = 0; c < columns; ++c) {
                          std::memcpy(out + 3 * c,
                                      row.data() + 3 * static_cast<std::size_t>(c) * step, 3);
                        }
                      }
                    });
    written = write_ply_grid(
        heights, ptm.width, ptm.height, step, unit, path, [&](int column, int row, std::size_t) {
          return grid_colours.data() + (static_cast<std::size_t>(row) * columns + column) * 3;
        });
  } else {
    written = write_obj_files(
        heights, ptm.width, ptm.height, step, unit, path, [&](const char* texture_path) {
          return write_relit_picture(ptm, relit, PictureFormat::png, texture_path);
        });
  }
  checked_free(heights);
  return written;
}
