#include "analysis/cob_mesh.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/decimal_text.h"
#include "common/output_file.h"
#include "common/write_buffer.h"

namespace {

// The chunk identifiers tie the material to the polygon and the shader box
// to the material.
constexpr const char* header_and_polygon =
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

constexpr const char* polygon_end_and_material =
    "DrawFlags 1\n"
    "Radiosity Quality: 0\n"
    "Mat1 V0.06 Id 24310020 Parent 24201236 Size -1\n"
    "mat# 0\n"
    "shader: phong  facet: faceted\n"
    "rgb 1,1,1\n"
    "alpha 1  ka 0.1  ks 0.1  exp 0  ior 1\n";

constexpr const char* shader_parameters =
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

// "<i,i>", one index for the position and the texture coordinate alike.
char* append_vertex_reference(char* out, std::uint32_t index) {
  *out++ = '<';
  char* digits = out;
  out = append_unsigned(out, index);
  const std::size_t length = static_cast<std::size_t>(out - digits);
  *out++ = ',';
  std::memcpy(out, digits, length);
  out += length;
  *out++ = '>';
  return out;
}

// One cell's two triangles (d, e, f) and (f, e, g); the third vertex of
// each shares its line with what follows.
char* append_cell(char* out, std::uint32_t d, std::uint32_t a_plus_1) {
  static constexpr std::string_view face = "Face verts 3 flags 0 mat 0\n";
  const std::uint32_t e = d + a_plus_1;
  const std::uint32_t f = d + 1;
  const std::uint32_t g = e + 1;
  const std::uint32_t triangles[2][3] = {{d, e, f}, {f, e, g}};
  for (const auto& triangle : triangles) {
    std::memcpy(out, face.data(), face.size());
    out += face.size();
    out = append_vertex_reference(out, triangle[0]);
    *out++ = ' ';
    out = append_vertex_reference(out, triangle[1]);
    *out++ = '\n';
    out = append_vertex_reference(out, triangle[2]);
    *out++ = ' ';
  }
  return out;
}

// Coordinate of pixel `at` along an axis of `size` pixels, scaled to 0..span;
// 0 when the axis has one pixel (there is nothing to divide by).
double axis_position(int at, int size, double span) {
  return size > 1 ? span * at / (size - 1) : 0.0;
}

bool cell_kept(const std::uint8_t* mask, int x, int y, int width, int height) {
  return mask == nullptr ||
         mask[static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) +
              static_cast<std::size_t>(x)] != 0;
}

std::size_t index_of(int x, int y, int width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

}  // namespace

bool write_cob_mesh(const float* depth, const std::uint8_t* mask, int width, int height,
                    const char* texture, const char* path) {
  std::printf("Writing Truespace File\n");
  for (int y = 0; y < height; y += 4) {
    for (int x = 0; x < width; x += 4) {
      if (!std::isfinite(depth[index_of(x, y, width)])) {
        std::printf(
            "Depth value at pixel (%d, %d) is not a finite number: no Truespace file written\n", x,
            y);
        return false;
      }
    }
  }
  OutputFile file;
  if (!file.open(path)) {
    std::printf("Can't open Truespace file %s for writing\n", path);
    return false;
  }
  const int a = (width - 1) / 4;
  const auto columns = static_cast<std::uint32_t>(a + 1);
  const auto rows = static_cast<std::uint32_t>((height - 1) / 4 + 1);
  const std::uint32_t vertices = columns * rows;
  std::uint32_t cells = 0;
  for (int y = 0; y < height - 4; y += 4) {
    for (int x = 0; x < width - 4; x += 4) cells += cell_kept(mask, x, y, width, height) ? 1 : 0;
  }
  {
    WriteBuffer text(file.get());
    auto append_count = [&](std::string_view label, std::uint32_t count) {
      text.append(label);
      char* out = text.room(16);
      out = append_unsigned(out, count);
      *out++ = '\n';
      text.advance(out);
    };
    text.append(header_and_polygon);

    // One line per vertex, rows then columns: the numbers of pixel (x, y),
    // each with six decimals.
    auto append_vertex_lines = [&](std::string_view label, auto numbers_of) {
      append_count(label, vertices);
      for (int y = 0; y < height; y += 4) {
        for (int x = 0; x < width; x += 4) {
          const auto numbers = numbers_of(x, y);
          char* out = text.room(numbers.size() * (six_decimals_max_length + 1));
          for (double number : numbers) {
            out = append_six_decimals(out, number);
            *out++ = ' ';
          }
          out[-1] = '\n';
          text.advance(out);
        }
      }
    };
    append_vertex_lines("World Vertices ", [&](int x, int y) {
      // The centre's depth, 0, lies at z = 1.27; farther points lie lower.
      const double d = depth[index_of(x, y, width)];
      return std::array<double, 3>{axis_position(x, width, 2.0), axis_position(y, height, 2.0),
                                   0.27 - d + 1.0};
    });
    append_vertex_lines("Texture Vertices ", [&](int x, int y) {
      return std::array<double, 2>{axis_position(x, width, 1.0), axis_position(y, height, 1.0)};
    });

    append_count("Faces ", 2 * cells);
    for (int y = 0; y < height - 4; y += 4) {
      for (int x = 0; x < width - 4; x += 4) {
        if (!cell_kept(mask, x, y, width, height)) continue;
        const std::uint32_t d =
            columns * static_cast<std::uint32_t>(y / 4) + static_cast<std::uint32_t>(x / 4);
        char* out = text.room(256);
        text.advance(append_cell(out, d, columns));
      }
    }

    text.append(polygon_end_and_material);
    text.append("texture: ");
    char* out = text.room(16);
    text.advance(append_unsigned(out, static_cast<std::uint32_t>(std::strlen(texture))));
    text.append(texture);
    text.append(
        "\noffset 0,0  repeats 1,1  flags 10\n"
        "ShBx V0.01 Id 24310021 Parent 24310020 Size -1\n"
        "Shader class: color\n"
        "Shader name: \"texture map\" (caligari texture)\n"
        "Number of parameters: 7\n"
        "file name: string \"");
    text.append(texture);
    text.append("\"\n");
    text.append(shader_parameters);
  }
  if (!file.commit()) {
    report_write_failure("Truespace file", path, file.error());
    return false;
  }
  return true;
}
