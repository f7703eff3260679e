#include "support/ridge_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "common/parallel.h"
#include "support/files.h"
#include "support/jpeg_fixture.h"

std::vector<LightDirection> ridge_capture_lights(int count) {
  std::vector<LightDirection> lights;
  const int per_ring = std::max(1, count / 3);
  for (int i = 0; i < count; ++i) {
    const double radius = i < per_ring ? 0.34 : i < 2 * per_ring ? 0.71 : 0.94;
    const double angle = 2 * 3.141592653589793 * (i % per_ring) / per_ring + radius;
    lights.push_back({static_cast<float>(radius * std::cos(angle)),
                      static_cast<float>(radius * std::sin(angle))});
  }
  return lights;
}

Photograph render_ridges(int width, int height, const LightDirection& light, int threads) {
  Photograph image;
  allocate_photograph_samples(image, width, height, 8);
  const double lz = std::sqrt(std::max(0.0, 1.0 - light.u * light.u - light.v * light.v));
  parallel_blocks(threads, height, 64, [&](std::int64_t first, std::int64_t last) {
    for (auto y = static_cast<int>(first); y < last; ++y) {
      std::uint8_t* p = image.samples8.data() + 3 * static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x, p += 3) {
        const double nx = 0.4 * std::sin(x * 0.013) * std::cos(y * 0.007);
        const double ny = 0.3 * std::cos(x * 0.005 + y * 0.011);
        const double shade = std::max(0.0, nx * light.u + ny * light.v + lz) /
                             std::sqrt(nx * nx + ny * ny + 1);
        // A texture of 0..15 grey levels from a hash of the position.
        std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^
                          static_cast<std::uint32_t>(y) * 0x85EBCA77u;
        h ^= h >> 15;
        h *= 0xC2B2AE3Du;
        const int texture = static_cast<int>(h >> 28);
        p[0] = static_cast<std::uint8_t>(std::min(255.0, 230 * shade + texture));
        p[1] = static_cast<std::uint8_t>(std::min(255.0, 180 * shade + texture));
        p[2] = static_cast<std::uint8_t>(std::min(255.0, 120 * shade + texture));
      }
    }
  });
  return image;
}

std::string ridge_jpeg(const Photograph& photograph,
                       const std::vector<std::string>& app2_payloads) {
  JpegFixture fixture;
  fixture.width = photograph.width;
  fixture.height = photograph.height;
  fixture.samples = photograph.samples8;
  fixture.quality = 92;
  fixture.app2_payloads = app2_payloads;
  return jpeg_fixture_bytes(fixture);
}

std::string write_ridge_capture(const std::string& folder, int count, int width, int height,
                                int threads) {
  const std::vector<LightDirection> lights = ridge_capture_lights(count);
  std::string text = std::to_string(count) + "\n";
  for (int i = 0; i < count; ++i) {
    const double z = std::sqrt(1.0 - lights[i].u * lights[i].u - lights[i].v * lights[i].v);
    char line[128];
    std::snprintf(line, sizeof line, "shot%d.jpg %.8f %.8f %.8f\n", i, lights[i].u, lights[i].v,
                  z);
    text += line;
  }
  // Two photographs at a time, each rendered and compressed on its own
  // thread: memory for two, whatever their size.
  parallel_blocks(std::min(threads, 2), count, 1, [&](std::int64_t first, std::int64_t) {
    const int i = static_cast<int>(first);
    const Photograph photograph = render_ridges(width, height, lights[i], 1);
    write_file_bytes(folder + "/shot" + std::to_string(i) + ".jpg", ridge_jpeg(photograph, {}));
  });
  const std::string path = folder + "/capture.lp";
  write_file_bytes(path, text);
  return path;
}
